// The line model behind the profile functions and the registry store.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Utils::detail {

class IniDocument {
public:
    // Splits UTF-8 (or UTF-16LE with a mark) text into lines; line ends are kept.
    static IniDocument Parse(std::string bytes);

    // The raw (still quoted or escaped) value text of the first matching key of
    // the first matching section; nullopt when absent.
    std::optional<std::wstring> Find(std::wstring_view section, std::wstring_view key) const;
    // Replaces the first matching key of the first matching section, or appends
    // the key to that section, or appends the section with the key.
    void Set(std::wstring_view section, std::wstring_view key, std::wstring_view encodedValue);

    std::string Serialize() const;
    // Every line is blank, a comment, a section header or a key line.
    bool IsWellFormed() const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\n", "\r\n", "\r" or "" for the last line
    };
    enum class Kind { Blank, Comment, Section, Key, Other };
    struct Parsed {
        Kind kind = Kind::Other;
        std::wstring name;   // section or key name, trimmed
        std::wstring value;  // key value, trimmed
    };
    static Parsed ParseLine(const std::string& text);
    std::string LineEnd() const;

    std::vector<Line> lines_;
};

// The text a reader gets from a raw value: outer quotes removed, quoted-form escapes resolved.
std::wstring DecodeIniValue(std::wstring_view raw);
// The text to store for `value` so that DecodeIniValue gives it back exactly.
std::wstring EncodeIniValue(std::wstring_view value);

}  // namespace Utils::detail
