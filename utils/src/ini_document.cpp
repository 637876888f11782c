#include "ini_document.h"

#include "utils/text.h"

namespace Utils::detail {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::wstring wide;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        wide.push_back(static_cast<wchar_t>(unit));
    }
    return WideToUtf8(wide);
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool NeedsQuoting(std::wstring_view value) {
    if (value.empty()) return false;
    if (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == L'"' || value.front() == L'\'') return true;
    for (wchar_t c : value)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

}  // namespace

IniDocument IniDocument::Parse(std::string bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        bytes = Utf16LeToUtf8(std::string_view(bytes).substr(2));
    IniDocument document;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t stop = bytes.find_first_of("\r\n", start);
        if (stop == std::string::npos) {
            document.lines_.push_back({bytes.substr(start), ""});
            break;
        }
        std::size_t endLength = (bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n') ? 2 : 1;
        document.lines_.push_back({bytes.substr(start, stop - start), bytes.substr(stop, endLength)});
        start = stop + endLength;
    }
    return document;
}

IniDocument::Parsed IniDocument::ParseLine(const std::string& raw) {
    std::string_view bytes = raw;
    if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
    const std::wstring wide = Utf8ToWideLenient(bytes);
    const std::wstring_view text = Trim(wide);
    Parsed parsed;
    if (text.empty()) {
        parsed.kind = Kind::Blank;
    } else if (text.front() == L';') {
        parsed.kind = Kind::Comment;
    } else if (text.front() == L'[') {
        const std::size_t close = text.find(L']');
        if (close != std::wstring_view::npos) {
            parsed.kind = Kind::Section;
            parsed.name = Trim(text.substr(1, close - 1));
        }
    } else if (const std::size_t equals = text.find(L'='); equals != std::wstring_view::npos) {
        parsed.kind = Kind::Key;
        parsed.name = Trim(text.substr(0, equals));
        parsed.value = Trim(text.substr(equals + 1));
    }
    return parsed;
}

std::optional<std::wstring> IniDocument::Find(std::wstring_view section, std::wstring_view key) const {
    bool inSection = false, sectionSeen = false;
    for (const Line& line : lines_) {
        const Parsed parsed = ParseLine(line.text);
        if (parsed.kind == Kind::Section) {
            if (sectionSeen) return std::nullopt;  // only the first matching section counts
            inSection = EqualsIgnoreCase(parsed.name, section);
            sectionSeen = inSection;
        } else if (inSection && parsed.kind == Kind::Key && EqualsIgnoreCase(parsed.name, key)) {
            return parsed.value;
        }
    }
    return std::nullopt;
}

std::string IniDocument::LineEnd() const {
    for (const Line& line : lines_)
        if (line.end == "\r\n") return "\r\n";
    return "\n";
}

void IniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view encodedValue) {
    const std::string end = LineEnd();
    const auto keyLine = [&](std::wstring_view name) { return WideToUtf8(name) + "=" + WideToUtf8(encodedValue); };
    std::optional<std::size_t> sectionLine, insertAfter;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Parsed parsed = ParseLine(lines_[i].text);
        if (parsed.kind == Kind::Section) {
            if (sectionLine) break;
            if (EqualsIgnoreCase(parsed.name, section)) sectionLine = insertAfter = i;
        } else if (sectionLine && parsed.kind == Kind::Key) {
            if (EqualsIgnoreCase(parsed.name, key)) {
                lines_[i].text = keyLine(parsed.name);
                return;
            }
            insertAfter = i;
        }
    }
    if (sectionLine) {
        Line& previous = lines_[*insertAfter];
        if (previous.end.empty()) previous.end = end;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAfter) + 1, Line{keyLine(key), end});
        return;
    }
    if (!lines_.empty()) {
        if (lines_.back().end.empty()) lines_.back().end = end;
        if (ParseLine(lines_.back().text).kind != Kind::Blank) lines_.push_back({"", end});
    }
    lines_.push_back({"[" + WideToUtf8(section) + "]", end});
    lines_.push_back({keyLine(key), end});
}

std::string IniDocument::Serialize() const {
    std::string bytes;
    for (const Line& line : lines_) bytes += line.text + line.end;
    return bytes;
}

bool IniDocument::IsWellFormed() const {
    for (const Line& line : lines_) {
        if (ParseLine(line.text).kind == Kind::Other) return false;
        if (Utf8ToWide(line.text).empty() && !line.text.empty()) return false;
    }
    return true;
}

std::wstring DecodeIniValue(std::wstring_view raw) {
    if (raw.size() < 2 || raw.front() != raw.back() || (raw.front() != L'"' && raw.front() != L'\'')) return std::wstring(raw);
    const bool escapes = raw.front() == L'"';
    raw = raw.substr(1, raw.size() - 2);
    if (!escapes) return std::wstring(raw);
    std::wstring value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != L'\\' || i + 1 == raw.size()) {
            value.push_back(raw[i]);
            continue;
        }
        switch (raw[i + 1]) {
            case L'\\': value.push_back(L'\\'), ++i; break;
            case L'"': value.push_back(L'"'), ++i; break;
            case L'r': value.push_back(L'\r'), ++i; break;
            case L'n': value.push_back(L'\n'), ++i; break;
            case L't': value.push_back(L'\t'), ++i; break;
            case L'x':
                if (i + 3 < raw.size() && HexDigit(raw[i + 2]) >= 0 && HexDigit(raw[i + 3]) >= 0) {
                    value.push_back(static_cast<wchar_t>(HexDigit(raw[i + 2]) * 16 + HexDigit(raw[i + 3])));
                    i += 3;
                    break;
                }
                [[fallthrough]];
            default: value.push_back(L'\\'); break;  // not an escape: the backslash is literal
        }
    }
    return value;
}

std::wstring EncodeIniValue(std::wstring_view value) {
    if (!NeedsQuoting(value)) return std::wstring(value);
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring encoded = L"\"";
    for (wchar_t c : value) {
        switch (c) {
            case L'\\': encoded += L"\\\\"; break;
            case L'"': encoded += L"\\\""; break;
            case L'\r': encoded += L"\\r"; break;
            case L'\n': encoded += L"\\n"; break;
            case L'\t': encoded += L"\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    encoded += L"\\x";
                    encoded.push_back(kHex[c >> 4]);
                    encoded.push_back(kHex[c & 0xF]);
                } else {
                    encoded.push_back(c);
                }
        }
    }
    return encoded + L"\"";
}

}  // namespace Utils::detail
