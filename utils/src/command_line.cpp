#include "utils/command_line.h"

#include "utils/text.h"

namespace Utils {
namespace {

bool IsSeparator(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> tokens;
    std::size_t i = 0;
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i == line.size()) return tokens;

    // The program name: no escapes, quotes only group.
    std::wstring program;
    if (line[i] == L'"') {
        ++i;
        while (i < line.size() && line[i] != L'"') program.push_back(line[i++]);
        if (i < line.size()) ++i;
    } else {
        while (i < line.size() && !IsSeparator(line[i])) program.push_back(line[i++]);
    }
    tokens.push_back(std::move(program));

    while (true) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        if (i == line.size()) break;
        std::wstring token;
        bool quoted = false;
        while (i < line.size() && (quoted || !IsSeparator(line[i]))) {
            if (line[i] == L'\\') {
                std::size_t backslashes = 0;
                while (i < line.size() && line[i] == L'\\') ++backslashes, ++i;
                if (i < line.size() && line[i] == L'"') {
                    token.append(backslashes / 2, L'\\');
                    if (backslashes % 2 == 1) {
                        token.push_back(L'"');
                        ++i;
                    }
                    // An even run leaves the quote to the quote handling below.
                } else {
                    token.append(backslashes, L'\\');
                }
            } else if (line[i] == L'"') {
                ++i;
                if (quoted && i < line.size() && line[i] == L'"') {
                    // Two quotes inside a quoted run: a literal quote, and the run ends.
                    token.push_back(L'"');
                    ++i;
                    quoted = false;
                } else {
                    quoted = !quoted;
                }
            } else {
                token.push_back(line[i++]);
            }
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

CommandLineArgs::CommandLineArgs(std::wstring_view commandLine) : CommandLineArgs(SplitCommandLine(commandLine)) {}

CommandLineArgs::CommandLineArgs(const std::vector<std::wstring>& tokens) {
    for (const auto& token : tokens) Insert(token);
}

void CommandLineArgs::Insert(const std::wstring& token) {
    std::wstring name = token, value;
    if (!token.empty() && token[0] == L'-') {
        if (auto equals = token.find(L'='); equals != std::wstring::npos) {
            name = token.substr(0, equals);
            value = token.substr(equals + 1);
        }
    }
    if (!Find(name)) entries_.emplace_back(std::move(name), std::move(value));
}

const std::wstring* CommandLineArgs::Find(std::wstring_view name) const {
    for (const auto& [key, value] : entries_)
        if (key == name) return &value;
    return nullptr;
}

bool CommandLineArgs::Has(std::wstring_view name) const { return Find(name) != nullptr; }

std::wstring CommandLineArgs::GetString(std::wstring_view name) const {
    const std::wstring* value = Find(name);
    return value ? *value : std::wstring();
}

std::int32_t CommandLineArgs::GetInt(std::wstring_view name) const {
    std::int32_t result = 0;
    const std::wstring* value = Find(name);
    return value && ParseInt32(*value, result) ? result : 0;
}

double CommandLineArgs::GetDouble(std::wstring_view name, double fallback) const {
    double result = 0.0;
    const std::wstring* value = Find(name);
    return value && ParseDouble(*value, result) ? result : fallback;
}

bool CommandLineArgs::GetBool(std::wstring_view name) const {
    const std::wstring* value = Find(name);
    return value && *value == L"true";
}

}  // namespace Utils
