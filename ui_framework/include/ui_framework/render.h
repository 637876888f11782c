// Drawing helpers on cairo and Pango: image descriptors, fonts and text.
#pragma once

#include "ui_framework/geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace skin {

// An image attribute: either a bare path or sub-keys, e.g.
//   file='res\a.png' dest='0,2,15,16' source='0,0,16,16' corner='2,2,2,2' mask='#FFFF00FF'
//   fade='128' hole='true' xtiled='true' ytiled='false'
// dest places the image inside the control (relative to its top-left); corner keeps those
// borders unscaled (nine-part scaling); hole leaves the middle part out; xtiled/ytiled tile
// the middle part instead of stretching it; fade is the opacity 0..255.
struct ImageDescriptor {
    std::wstring file;
    std::optional<Rect> dest;
    std::optional<Rect> source;
    Rect corner{};
    std::optional<Color> mask;
    int fade = 255;
    bool hole = false;
    bool xtiled = false;
    bool ytiled = false;

    static ImageDescriptor Parse(std::wstring_view text);
    bool IsEmpty() const { return file.empty(); }
};

// Draws `image` into `area` (a control's rectangle). Nothing happens when the file is missing.
// Returns true when something was drawn.
bool DrawImage(cairo_t* cr, const Rect& area, const ImageDescriptor& image);
// Draws the part `source` of a loaded surface into `dest` with nine-part scaling.
struct NinePart {
    Rect corner{};
    bool hole = false;
    bool xtiled = false;
    bool ytiled = false;
};
void DrawSurfaceNinePart(cairo_t* cr, cairo_surface_t* surface, const Rect& source, const Rect& dest,
                         const NinePart& mode, double opacity = 1.0);

// Premultiplied ARGB32 pixels (rows of `width`) of a skin image stretched over width x height with
// `corner` kept unscaled; the part inside `holeInsets` (insets from the edges) stays transparent
// when given. False when the image cannot be loaded.
bool RenderNinePartImage(std::wstring_view file, int width, int height, const Rect& corner,
                         const std::optional<Rect>& holeInsets, std::vector<std::uint32_t>& pixels);

// A font of the layout's "Font" table.
struct FontSpec {
    std::wstring face = L"Sans";
    int size = 12;  // pixels
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// Text style flags of labels and buttons.
enum TextStyle : unsigned {
    kTextLeft = 0x0,
    kTextCenter = 0x1,
    kTextRight = 0x2,
    kTextTop = 0x0,
    kTextVCenter = 0x4,
    kTextBottom = 0x8,
    kTextSingleLine = 0x20,
    kTextWordBreak = 0x10,
    kTextEndEllipsis = 0x8000,
};

void SetSourceColor(cairo_t* cr, Color color);
void FillRect(cairo_t* cr, const Rect& rect, Color color);
void StrokeRect(cairo_t* cr, const Rect& rect, Color color, int width, int round);

// Draws text inside `rect` with the flags of TextStyle.
void DrawText(cairo_t* cr, const Rect& rect, std::wstring_view text, const FontSpec& font, Color color,
              unsigned style);
// The extent of `text` (single line unless kTextWordBreak without kTextSingleLine, then wrapped at `maxWidth`).
Size MeasureText(std::wstring_view text, const FontSpec& font, unsigned style, int maxWidth = -1);

}  // namespace skin
