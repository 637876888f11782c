// Plain geometry, colours and the attribute value syntax of skin layouts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

struct Point {
    int x = 0;
    int y = 0;
};

struct Size {
    int cx = 0;
    int cy = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    // Moves every edge inwards by the matching member of `insets`.
    Rect Deflate(const Rect& insets) const {
        return {left + insets.left, top + insets.top, right - insets.right, bottom - insets.bottom};
    }
    Rect Intersect(const Rect& other) const;
    Rect Union(const Rect& other) const;
    bool operator==(const Rect&) const = default;
};

// 0xAARRGGBB, not premultiplied.
using Color = std::uint32_t;

// One row of a window shape: the inside pixels [left, right); empty rows have no value.
using RowSpan = std::optional<std::pair<int, int>>;
using Shape = std::vector<RowSpan>;

// The shape of a width x height window with elliptic corners of cx x cy pixels
// ("roundcorner"); corners of 2 pixels or less leave the rectangle.
Shape RoundRectShape(int width, int height, int cornerWidth, int cornerHeight);

// Attribute values. Every parser answers false (and leaves `out` alone) when the text does not fit.
// "#AARRGGBB" or "0xAARRGGBB"; six digits mean an opaque colour.
bool ParseColor(std::wstring_view text, Color& out);
// "l,t,r,b" (any single separator between the numbers).
bool ParseRect(std::wstring_view text, Rect& out);
// "cx,cy".
bool ParseSize(std::wstring_view text, Size& out);
// A leading decimal integer; text after the number is ignored; no number gives 0.
int ParseLeadingInt(std::wstring_view text);
// "true" in any case.
bool IsTrueText(std::wstring_view text);
// ASCII case-insensitive comparison (attribute and element names).
bool NameEquals(std::wstring_view a, std::wstring_view b);

// Pairs of key='value' or key="value" (image descriptors, "Default" element values).
std::vector<std::pair<std::wstring, std::wstring>> ParseAttributeList(std::wstring_view text);

// Wide text of UTF-8 (invalid sequences become U+FFFD) and back.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text);

}  // namespace skin
