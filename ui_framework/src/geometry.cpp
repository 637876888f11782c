#include "ui_framework/geometry.h"

#include <utils/text.h>

#include <algorithm>
#include <cmath>
#include <cwctype>

namespace skin {

Rect Rect::Intersect(const Rect& other) const {
    Rect r{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
           std::min(bottom, other.bottom)};
    if (r.IsEmpty()) return {};
    return r;
}

Rect Rect::Union(const Rect& other) const {
    if (IsEmpty()) return other;
    if (other.IsEmpty()) return *this;
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

Shape RoundRectShape(int width, int height, int cornerWidth, int cornerHeight) {
    Shape shape(static_cast<std::size_t>(std::max(height, 0)));
    if (width <= 0) return shape;
    const bool rounded = cornerWidth > 2 && cornerHeight > 2;
    const double rx = std::min(cornerWidth, width) / 2.0;
    const double ry = std::min(cornerHeight, height) / 2.0;
    for (int y = 0; y < height; ++y) {
        int inset = 0;
        if (rounded) {
            // Distance of the pixel row's centre from the corner ellipse's centre line.
            const double centre = y + 0.5;
            double dy = 0;
            if (centre < ry) dy = ry - centre;
            if (centre > height - ry) dy = centre - (height - ry);
            if (dy > 0) {
                const double ratio = std::min(dy / ry, 1.0);
                inset = static_cast<int>(std::lround(rx - rx * std::sqrt(1.0 - ratio * ratio)));
            }
        }
        if (width - 2 * inset > 0) shape[static_cast<std::size_t>(y)] = std::make_pair(inset, width - inset);
    }
    return shape;
}

namespace {

bool ParseHex32(std::wstring_view digits, std::uint32_t& out) {
    if (digits.empty() || digits.size() > 8) return false;
    std::uint32_t value = 0;
    for (wchar_t c : digits) {
        int nibble;
        if (c >= L'0' && c <= L'9') nibble = c - L'0';
        else if (c >= L'a' && c <= L'f') nibble = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F') nibble = c - L'A' + 10;
        else return false;
        value = value << 4 | static_cast<std::uint32_t>(nibble);
    }
    out = value;
    return true;
}

// Reads the integers of "a,b,c,d" with one separator character between them.
bool ParseIntList(std::wstring_view text, int* values, int count) {
    std::size_t i = 0;
    for (int n = 0; n < count; ++n) {
        while (i < text.size() && text[i] == L' ') ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
        if (i >= text.size() || !std::iswdigit(text[i])) return false;
        long long value = 0;
        while (i < text.size() && std::iswdigit(text[i])) {
            value = value * 10 + (text[i++] - L'0');
            if (value > 1000000000) return false;
        }
        values[n] = static_cast<int>(negative ? -value : value);
        while (i < text.size() && text[i] == L' ') ++i;
        if (n + 1 < count) {
            if (i >= text.size()) return false;
            ++i;  // the separator
        }
    }
    return true;
}

}  // namespace

bool ParseColor(std::wstring_view text, Color& out) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    if (text.starts_with(L'#')) text.remove_prefix(1);
    else if (text.starts_with(L"0x") || text.starts_with(L"0X")) text.remove_prefix(2);
    else return false;
    std::uint32_t value = 0;
    if (text.size() != 8 && text.size() != 6) return false;
    if (!ParseHex32(text, value)) return false;
    out = text.size() == 6 ? (0xFF000000u | value) : value;
    return true;
}

bool ParseRect(std::wstring_view text, Rect& out) {
    int v[4];
    if (!ParseIntList(text, v, 4)) return false;
    out = {v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseSize(std::wstring_view text, Size& out) {
    int v[2];
    if (!ParseIntList(text, v, 2)) return false;
    out = {v[0], v[1]};
    return true;
}

int ParseLeadingInt(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    long long value = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        value = value * 10 + (text[i++] - L'0');
        if (value > 0x7FFFFFFFLL) return negative ? INT32_MIN : INT32_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

std::vector<std::pair<std::wstring, std::wstring>> ParseAttributeList(std::wstring_view text) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (;;) {
        while (!text.empty() && std::iswspace(text.front())) text.remove_prefix(1);
        const auto equals = text.find(L'=');
        if (text.empty() || equals == std::wstring_view::npos) break;
        std::wstring_view key = text.substr(0, equals);
        while (!key.empty() && std::iswspace(key.back())) key.remove_suffix(1);
        text.remove_prefix(equals + 1);
        while (!text.empty() && std::iswspace(text.front())) text.remove_prefix(1);
        if (text.empty() || (text.front() != L'\'' && text.front() != L'"')) break;
        const wchar_t quote = text.front();
        text.remove_prefix(1);
        const auto close = text.find(quote);
        if (close == std::wstring_view::npos) break;
        pairs.emplace_back(std::wstring(key), std::wstring(text.substr(0, close)));
        text.remove_prefix(close + 1);
    }
    return pairs;
}

bool NameEquals(std::wstring_view a, std::wstring_view b) { return Utils::EqualsIgnoreCase(a, b); }

bool IsTrueText(std::wstring_view text) { return NameEquals(text, L"true"); }

std::wstring Widen(std::string_view utf8) { return Utils::Utf8ToWideLenient(utf8); }

std::string Narrow(std::wstring_view text) { return Utils::WideToUtf8(text); }

}  // namespace skin
