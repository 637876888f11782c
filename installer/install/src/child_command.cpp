#include "install/child_command.h"

#include "utils/command_line.h"

namespace {

constexpr std::size_t kProtocolValueCapacity = 771;

// Where an unquoted trailing folder item ("/D=..." or "_?=...") starts, or npos.
std::size_t TrailingFolderItem(std::wstring_view arguments) {
    for (std::wstring_view marker : {std::wstring_view(L" /D="), std::wstring_view(L" _?=")}) {
        const std::size_t at = arguments.rfind(marker);
        if (at != std::wstring_view::npos && arguments.find(L'"', at) == std::wstring_view::npos) return at + 1;
    }
    return std::wstring_view::npos;
}

}  // namespace

std::vector<std::wstring> BuildChildArgv(std::wstring_view program, std::wstring_view arguments) {
    std::vector<std::wstring> argv{std::wstring(program)};
    const std::size_t folderItem = TrailingFolderItem(arguments);
    // The splitter treats its first token as a program name; give it a placeholder.
    const std::wstring head = L"x " + std::wstring(arguments.substr(0, folderItem));
    std::vector<std::wstring> tokens = Utils::SplitCommandLine(head);
    argv.insert(argv.end(), tokens.begin() + 1, tokens.end());
    if (folderItem != std::wstring_view::npos) argv.emplace_back(arguments.substr(folderItem));
    return argv;
}

std::wstring ProtocolValue(std::wstring_view text) { return std::wstring(text.substr(0, kProtocolValueCapacity)); }

std::wstring TrimReportedPath(std::wstring_view path) {
    while (!path.empty() && (path.back() == L'\r' || path.back() == L'\n' || path.back() == L' ' || path.back() == L'\t'))
        path.remove_suffix(1);
    return std::wstring(path);
}
