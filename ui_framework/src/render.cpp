#include "ui_framework/render.h"

#include "ui_framework/resources.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace skin {

namespace {

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
struct FontDescriptionDeleter {
    void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
};
struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

LayoutPtr MakeLayout(cairo_t* cr, std::wstring_view text, const FontSpec& font, unsigned style, int width) {
    LayoutPtr layout(pango_cairo_create_layout(cr));
    std::unique_ptr<PangoFontDescription, FontDescriptionDeleter> description(pango_font_description_new());
    const std::string face = Narrow(font.face);
    pango_font_description_set_family(description.get(), face.c_str());
    pango_font_description_set_absolute_size(description.get(), std::max(font.size, 1) * PANGO_SCALE);
    pango_font_description_set_weight(description.get(), font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description.get(), font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout.get(), description.get());
    if (font.underline) {
        PangoAttrList* attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        pango_layout_set_attributes(layout.get(), attributes);
        pango_attr_list_unref(attributes);
    }
    std::string utf8 = Narrow(text);
    const bool multiline = (style & kTextWordBreak) && !(style & kTextSingleLine);
    if (!multiline) std::replace_if(utf8.begin(), utf8.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    pango_layout_set_text(layout.get(), utf8.c_str(), static_cast<int>(utf8.size()));
    if (width > 0) {
        pango_layout_set_width(layout.get(), width * PANGO_SCALE);
        if (multiline) pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
        else if (style & kTextEndEllipsis) pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
        if (style & kTextCenter) pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
        else if (style & kTextRight) pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);
    }
    return layout;
}

void DrawPart(cairo_t* cr, cairo_surface_t* surface, double sx, double sy, double sw, double sh, double dx,
              double dy, double dw, double dh, bool tileX, bool tileY, double opacity) {
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    cairo_save(cr);
    cairo_rectangle(cr, dx, dy, dw, dh);
    cairo_clip(cr);
    const double scaleX = tileX ? 1.0 : dw / sw;
    const double scaleY = tileY ? 1.0 : dh / sh;
    cairo_translate(cr, dx, dy);
    cairo_scale(cr, scaleX, scaleY);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
    cairo_matrix_t matrix;
    cairo_matrix_init_translate(&matrix, sx, sy);
    cairo_pattern_set_matrix(pattern, &matrix);
    if (tileX || tileY) {
        // Tiling repeats only the source part: draw it from a sub-surface.
        cairo_pattern_destroy(pattern);
        cairo_surface_t* part = cairo_surface_create_for_rectangle(surface, sx, sy, sw, sh);
        pattern = cairo_pattern_create_for_surface(part);
        cairo_surface_destroy(part);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    } else {
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    }
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, 0, 0, tileX ? dw : sw, tileY ? dh : sh);
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, opacity);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
}

}  // namespace

ImageDescriptor ImageDescriptor::Parse(std::wstring_view text) {
    ImageDescriptor image;
    if (text.find(L'=') == std::wstring_view::npos || text.find(L'\'') == std::wstring_view::npos) {
        image.file = text;
        return image;
    }
    for (const auto& [key, value] : ParseAttributeList(text)) {
        Rect rect;
        Color color;
        if (NameEquals(key, L"file") || NameEquals(key, L"res")) image.file = value;
        else if (NameEquals(key, L"dest") && ParseRect(value, rect)) image.dest = rect;
        else if (NameEquals(key, L"source") && ParseRect(value, rect)) image.source = rect;
        else if (NameEquals(key, L"corner") && ParseRect(value, rect)) image.corner = rect;
        else if (NameEquals(key, L"mask") && ParseColor(value, color)) image.mask = color;
        else if (NameEquals(key, L"fade")) image.fade = std::clamp(ParseLeadingInt(value), 0, 255);
        else if (NameEquals(key, L"hole")) image.hole = IsTrueText(value);
        else if (NameEquals(key, L"xtiled")) image.xtiled = IsTrueText(value);
        else if (NameEquals(key, L"ytiled")) image.ytiled = IsTrueText(value);
    }
    return image;
}

void DrawSurfaceNinePart(cairo_t* cr, cairo_surface_t* surface, const Rect& source, const Rect& dest,
                         const NinePart& mode, double opacity) {
    const Rect& c = mode.corner;
    const int sx[4] = {source.left, source.left + c.left, source.right - c.right, source.right};
    const int sy[4] = {source.top, source.top + c.top, source.bottom - c.bottom, source.bottom};
    const int dx[4] = {dest.left, dest.left + c.left, dest.right - c.right, dest.right};
    const int dy[4] = {dest.top, dest.top + c.top, dest.bottom - c.bottom, dest.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const bool middle = row == 1 && column == 1;
            if (middle && mode.hole) continue;
            DrawPart(cr, surface, sx[column], sy[row], sx[column + 1] - sx[column], sy[row + 1] - sy[row], dx[column],
                     dy[row], dx[column + 1] - dx[column], dy[row + 1] - dy[row], middle && mode.xtiled,
                     middle && mode.ytiled, opacity);
        }
    }
}

bool DrawImage(cairo_t* cr, const Rect& area, const ImageDescriptor& image) {
    if (image.IsEmpty() || image.fade == 0) return false;
    SurfaceRef surface = Resources::Instance().LoadImage(image.file, image.mask);
    if (!surface) return false;
    const int width = cairo_image_surface_get_width(surface.get());
    const int height = cairo_image_surface_get_height(surface.get());
    Rect source = image.source.value_or(Rect{0, 0, width, height}).Intersect({0, 0, width, height});
    Rect dest = image.dest ? image.dest->Offset(area.left, area.top) : area;
    if (source.IsEmpty() || dest.IsEmpty()) return false;
    DrawSurfaceNinePart(cr, surface.get(), source, dest, {image.corner, image.hole, image.xtiled, image.ytiled},
                        image.fade / 255.0);
    return true;
}

bool RenderNinePartImage(std::wstring_view file, int width, int height, const Rect& corner,
                         const std::optional<Rect>& holeInsets, std::vector<std::uint32_t>& pixels) {
    SurfaceRef image = Resources::Instance().LoadImage(file);
    if (!image || width <= 0 || height <= 0) return false;
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(target));
    const Rect source{0, 0, cairo_image_surface_get_width(image.get()), cairo_image_surface_get_height(image.get())};
    DrawSurfaceNinePart(cr.get(), image.get(), source, {0, 0, width, height}, {corner, false, false, false});
    if (holeInsets) {
        const Rect hole = Rect{0, 0, width, height}.Deflate(*holeInsets);
        if (!hole.IsEmpty()) {
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
            cairo_rectangle(cr.get(), hole.left, hole.top, hole.Width(), hole.Height());
            cairo_fill(cr.get());
        }
    }
    cr.reset();
    cairo_surface_flush(target);
    pixels.assign(static_cast<std::size_t>(width) * height, 0);
    const auto* data = cairo_image_surface_get_data(target);
    const int stride = cairo_image_surface_get_stride(target);
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width, data + y * stride,
                    static_cast<std::size_t>(width) * 4);
    cairo_surface_destroy(target);
    return true;
}

void SetSourceColor(cairo_t* cr, Color color) {
    cairo_set_source_rgba(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0,
                          ((color >> 24) & 0xFF) / 255.0);
}

void FillRect(cairo_t* cr, const Rect& rect, Color color) {
    if (rect.IsEmpty() || (color >> 24) == 0) return;
    SetSourceColor(cr, color);
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_fill(cr);
}

void StrokeRect(cairo_t* cr, const Rect& rect, Color color, int width, int round) {
    if (rect.IsEmpty() || width <= 0 || (color >> 24) == 0) return;
    SetSourceColor(cr, color);
    cairo_set_line_width(cr, width);
    const double half = width / 2.0;
    const double x = rect.left + half, y = rect.top + half, w = rect.Width() - width, h = rect.Height() - width;
    const double r = std::min({round / 2.0, w / 2, h / 2});
    if (r > 0) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, x + w - r, y + r, r, -G_PI / 2, 0);
        cairo_arc(cr, x + w - r, y + h - r, r, 0, G_PI / 2);
        cairo_arc(cr, x + r, y + h - r, r, G_PI / 2, G_PI);
        cairo_arc(cr, x + r, y + r, r, G_PI, 3 * G_PI / 2);
        cairo_close_path(cr);
    } else {
        cairo_rectangle(cr, x, y, w, h);
    }
    cairo_stroke(cr);
}

void DrawText(cairo_t* cr, const Rect& rect, std::wstring_view text, const FontSpec& font, Color color,
              unsigned style) {
    if (text.empty() || rect.IsEmpty()) return;
    LayoutPtr layout = MakeLayout(cr, text, font, style, rect.Width());
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout.get(), &width, &height);
    double y = rect.top;
    if (style & kTextVCenter) y = rect.top + (rect.Height() - height) / 2.0;
    else if (style & kTextBottom) y = rect.bottom - height;
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_clip(cr);
    SetSourceColor(cr, color);
    cairo_move_to(cr, rect.left, y);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
}

Size MeasureText(std::wstring_view text, const FontSpec& font, unsigned style, int maxWidth) {
    if (text.empty()) return {};
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(scratch));
    cairo_surface_destroy(scratch);
    const bool multiline = (style & kTextWordBreak) && !(style & kTextSingleLine);
    LayoutPtr layout = MakeLayout(cr.get(), text, font, style & ~(kTextCenter | kTextRight | kTextEndEllipsis),
                                  multiline ? maxWidth : -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout.get(), &width, &height);
    return {width, height};
}

}  // namespace skin
