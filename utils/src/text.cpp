#include "utils/text.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <mutex>

namespace Utils {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(std::uint32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (!IsScalarValue(c)) c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at `pos`. Returns the number of bytes consumed
// (at least 1) and sets `ok` to false for an invalid or truncated sequence, in
// which case the maximal invalid prefix is consumed (the Unicode practice).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, std::uint32_t& c, bool& ok) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    ok = true;
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    // Lengths and the allowed range of the second byte (Unicode table 3-7): this
    // excludes overlong forms, surrogates and code points above U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        ok = false;
        return 1;
    }
    std::size_t i = 1;
    for (; i < length && pos + i < text.size(); ++i) {
        const unsigned char next = byte(pos + i);
        if (i == 1 ? (next < low || next > high) : (next & 0xC0) != 0x80) break;
        c = (c << 6) | (next & 0x3F);
    }
    ok = i == length;
    return i;
}

std::wstring DecodeUtf8Text(std::string_view text, bool strict) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        std::uint32_t c = 0;
        bool ok = true;
        pos += DecodeUtf8(text, pos, c, ok);
        if (!ok) {
            if (strict) return std::wstring();
            c = kReplacement;
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

// The codeset behind code page 0; empty means UTF-8.
std::string AnsiCodeset() {
    const char* codeset = ::nl_langinfo(CODESET);
    if (!codeset || !*codeset) return {};
    std::string name = codeset;
    if (name == "UTF-8" || name == "utf8" || name == "ANSI_X3.4-1968" || name == "ASCII") return {};
    return name;
}

// The iconv name for a code page, or empty for UTF-8.
std::string CodesetFor(unsigned codePage) {
    if (codePage == kCodePageUtf8) return {};
    if (codePage == kCodePageAnsi) return AnsiCodeset();
    return "CP" + std::to_string(codePage);
}

struct IconvCloser {
    void operator()(void* cd) const { ::iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const std::string& to, const std::string& from) {
    iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return IconvHandle(cd);
}

// Runs iconv over the whole input. `onInvalid` is called for each invalid or
// incomplete input unit; it returns how many input bytes to skip and may write
// a substitute into the output.
template <typename OnInvalid>
bool Convert(iconv_t cd, const char* input, std::size_t inputSize, std::string& output, OnInvalid onInvalid) {
    char* in = const_cast<char*>(input);
    std::size_t inLeft = inputSize;
    output.clear();
    std::size_t capacity = inputSize * 4 + 16;
    output.resize(capacity);
    std::size_t used = 0;
    while (true) {
        char* out = output.data() + used;
        std::size_t outLeft = capacity - used;
        std::size_t result = inLeft ? ::iconv(cd, &in, &inLeft, &out, &outLeft) : ::iconv(cd, nullptr, nullptr, &out, &outLeft);
        used = capacity - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) break;
            continue;
        }
        if (errno == E2BIG) {
            capacity *= 2;
            output.resize(capacity);
        } else if (errno == EILSEQ || errno == EINVAL) {
            output.resize(used);
            std::size_t skip = onInvalid(output);
            used = output.size();
            if (output.size() + 16 > capacity) capacity = output.size() * 2 + 16;
            output.resize(capacity);
            skip = std::min(skip, inLeft);
            in += skip;
            inLeft -= skip;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (inLeft == 0) break;
        } else {
            return false;
        }
    }
    output.resize(used);
    return true;
}

std::wstring ToWideThroughIconv(std::string_view text, const std::string& codeset) {
    IconvHandle cd = OpenIconv("WCHAR_T", codeset);
    if (!cd) return {};
    std::string bytes;
    const bool ok = Convert(static_cast<iconv_t>(cd.get()), text.data(), text.size(), bytes, [](std::string& out) {
        const wchar_t replacement = static_cast<wchar_t>(kReplacement);
        out.append(reinterpret_cast<const char*>(&replacement), sizeof replacement);
        return std::size_t{1};
    });
    if (!ok) return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

std::string ToMultiByteThroughIconv(std::wstring_view text, const std::string& codeset) {
    IconvHandle cd = OpenIconv(codeset, "WCHAR_T");
    if (!cd) return {};
    std::string bytes;
    const bool ok = Convert(static_cast<iconv_t>(cd.get()), reinterpret_cast<const char*>(text.data()),
                            text.size() * sizeof(wchar_t), bytes, [](std::string& out) {
                                out.push_back('?');
                                return sizeof(wchar_t);
                            });
    return ok ? bytes : std::string();
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f'; }

// The number prefix of `text` in plain ASCII (after blanks), for the C-locale parsers.
std::string NumberPrefix(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    std::string ascii;
    for (; i < text.size() && text[i] > 0 && text[i] < 0x80; ++i) ascii.push_back(static_cast<char>(text[i]));
    return ascii;
}

locale_t CLocale() {
    static locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

}  // namespace

void InitProcessLocale() { ::setlocale(LC_CTYPE, ""); }

std::wstring Utf8ToWide(std::string_view text) { return DecodeUtf8Text(text, true); }
std::wstring Utf8ToWideLenient(std::string_view text) { return DecodeUtf8Text(text, false); }

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) AppendUtf8(out, static_cast<std::uint32_t>(c));
    return out;
}

std::wstring ToWide(std::string_view text, unsigned codePage) {
    const std::string codeset = CodesetFor(codePage);
    if (codeset.empty()) return Utf8ToWideLenient(text);
    return ToWideThroughIconv(text, codeset);
}

std::string ToMultiByte(std::wstring_view text, unsigned codePage) {
    const std::string codeset = CodesetFor(codePage);
    if (codeset.empty()) return WideToUtf8(text);
    return ToMultiByteThroughIconv(text, codeset);
}

std::wstring UrlEncode(std::wstring_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = WideToUtf8(text);
    std::string encoded;
    encoded.reserve(utf8.size() * 3);
    for (unsigned char byte : utf8) {
        if (byte >= 0x21 && byte <= 0x7E) {
            encoded.push_back(static_cast<char>(byte));
        } else if (byte == 0x20) {
            encoded.push_back('+');
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        }
    }
    return Utf8ToWideLenient(encoded);
}

std::wstring ReplaceAll(std::wstring text, std::wstring_view pattern, std::wstring_view replacement) {
    if (pattern.empty()) return text;
    for (std::size_t pos = text.find(pattern); pos != std::wstring::npos; pos = text.find(pattern))
        text.replace(pos, pattern.size(), replacement);
    return text;
}

std::wstring ToDecimalText(std::uint32_t value) { return std::to_wstring(value); }

bool ParseInt32(std::wstring_view text, std::int32_t& value) {
    const std::string ascii = NumberPrefix(text);
    if (ascii.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = ::strtoll_l(ascii.c_str(), &end, 10, CLocale());
    if (end == ascii.c_str() || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool ParseDouble(std::wstring_view text, double& value) {
    const std::string ascii = NumberPrefix(text);
    if (ascii.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = ::strtod_l(ascii.c_str(), &end, CLocale());
    if (end == ascii.c_str()) return false;
    // Overflow is out of range; underflow to a tiny or zero value is an ordinary result.
    if (errno == ERANGE && std::isinf(parsed)) return false;
    value = parsed;
    return true;
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x += L'a' - L'A';
        if (y >= L'A' && y <= L'Z') y += L'a' - L'A';
        if (x != y) return false;
    }
    return true;
}

}  // namespace Utils
