// Draws every image of the installer skin and the window icon with cairo and Pango.
//
//   qv_skin_art <resources folder>
//
// writes <folder>/skin/res/... and <folder>/icon/quorvane.png. The output is committed
// beside this program; change the drawing here and run the program again (the build
// target `skin_art_regenerate` does that) instead of editing images by hand.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
constexpr double kPi = std::numbers::pi;
constexpr const char* kFontFamily = "WenQuanYi Micro Hei";

// One palette for every image: the layouts' blue and its shades, and greys.
constexpr std::uint32_t kBlue = 0xFF1675FE;
constexpr std::uint32_t kBlueHot = 0xFF3D8BFF;
constexpr std::uint32_t kBluePushed = 0xFF0E5FD8;
constexpr std::uint32_t kBlueLight = 0xFF6FA8FF;
constexpr std::uint32_t kBluePale = 0xFFF0F6FF;
constexpr std::uint32_t kBluePaler = 0xFFDDEAFF;
constexpr std::uint32_t kNavy = 0xFF282A43;
constexpr std::uint32_t kGrey = 0xFF606178;
constexpr std::uint32_t kGreyLight = 0xFF999CAE;
constexpr std::uint32_t kLine = 0xFFD5DCE8;
constexpr std::uint32_t kTrack = 0xFFE3EAF5;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFC3A4E;
constexpr std::uint32_t kRedPushed = 0xFFDE2436;
constexpr std::uint32_t kAmber = 0xFFFFA41B;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct FontOptionsDeleter {
    void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};
struct GObjectDeleter {
    void operator()(void* o) const { g_object_unref(o); }
};
struct FontDescriptionDeleter {
    void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
};
struct PatternDeleter {
    void operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
};
using PatternPtr = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

void SetColour(cairo_t* cr, std::uint32_t argb, double extraAlpha = 1.0) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                          ((argb >> 24) & 0xFF) / 255.0 * extraAlpha);
}

void AddStop(cairo_pattern_t* p, double offset, std::uint32_t argb, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(p, offset, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                                      (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0 * alpha);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min({r, w / 2, h / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// An ARGB image of a fixed size with a drawing context; Save writes it as PNG.
class Canvas {
public:
    Canvas(int width, int height)
        : width_(width),
          height_(height),
          surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
          cr_(cairo_create(surface_.get())) {}

    cairo_t* cr() const { return cr_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }

    bool Save(const fs::path& file) const {
        cairo_surface_flush(surface_.get());
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        return cairo_surface_write_to_png(surface_.get(), file.c_str()) == CAIRO_STATUS_SUCCESS;
    }

private:
    int width_;
    int height_;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface_;
    std::unique_ptr<cairo_t, ContextDeleter> cr_;
};

enum class Align { Left, Centre, Right };

struct TextStyle {
    double pixelSize = 14;
    std::uint32_t colour = kNavy;
    bool bold = false;
    Align align = Align::Centre;
};

// A Pango layout for `text` with fixed font options, so that every run draws the same pixels.
std::unique_ptr<PangoLayout, GObjectDeleter> MakeLayout(cairo_t* cr, const std::string& text, const TextStyle& style) {
    std::unique_ptr<PangoLayout, GObjectDeleter> layout(pango_cairo_create_layout(cr));
    std::unique_ptr<cairo_font_options_t, FontOptionsDeleter> options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    PangoContext* context = pango_layout_get_context(layout.get());
    pango_cairo_context_set_font_options(context, options.get());
    pango_cairo_context_set_resolution(context, 96);
    pango_layout_context_changed(layout.get());

    std::unique_ptr<PangoFontDescription, FontDescriptionDeleter> font(pango_font_description_new());
    pango_font_description_set_family(font.get(), kFontFamily);
    pango_font_description_set_absolute_size(font.get(), style.pixelSize * PANGO_SCALE);
    pango_font_description_set_weight(font.get(), style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout.get(), font.get());
    pango_layout_set_text(layout.get(), text.c_str(), -1);
    return layout;
}

double TextWidth(cairo_t* cr, const std::string& text, const TextStyle& style) {
    auto layout = MakeLayout(cr, text, style);
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    return logical.width;
}

// Draws one line of text inside the box, centred vertically on its ink.
void DrawText(cairo_t* cr, const std::string& text, const TextStyle& style, double x, double y, double w, double h) {
    auto layout = MakeLayout(cr, text, style);
    PangoRectangle ink{}, logical{};
    pango_layout_get_pixel_extents(layout.get(), &ink, &logical);
    double left = x;
    if (style.align == Align::Centre) left = x + (w - logical.width) / 2.0;
    if (style.align == Align::Right) left = x + w - logical.width;
    const double top = y + (h - ink.height) / 2.0 - ink.y;
    SetColour(cr, style.colour);
    cairo_move_to(cr, std::round(left), std::round(top));
    pango_cairo_show_layout(cr, layout.get());
}

PatternPtr LinearGradient(double x0, double y0, double x1, double y1, std::uint32_t from, std::uint32_t to,
                          double alphaFrom = 1.0, double alphaTo = 1.0) {
    PatternPtr p(cairo_pattern_create_linear(x0, y0, x1, y1));
    AddStop(p.get(), 0, from, alphaFrom);
    AddStop(p.get(), 1, to, alphaTo);
    return p;
}

// A soft round glow: a radial gradient that fades to nothing at its edge.
void Glow(cairo_t* cr, double cx, double cy, double radius, std::uint32_t colour, double alpha) {
    PatternPtr p(cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius));
    AddStop(p.get(), 0, colour, alpha);
    AddStop(p.get(), 0.55, colour, alpha * 0.55);
    AddStop(p.get(), 1, colour, 0);
    cairo_set_source(cr, p.get());
    cairo_arc(cr, cx, cy, radius, 0, 2 * kPi);
    cairo_fill(cr);
}

// --- The product mark: a rounded square with a white "Q" (a ring and a tail). ---

void DrawMark(cairo_t* cr, double x, double y, double size) {
    auto fill = LinearGradient(x, y, x + size, y + size, kBlueLight, kBluePushed);
    cairo_pattern_add_color_stop_rgba(fill.get(), 0.5, 0x16 / 255.0, 0x75 / 255.0, 0xFE / 255.0, 1);
    RoundedRect(cr, x, y, size, size, size * 0.24);
    cairo_set_source(cr, fill.get());
    cairo_fill(cr);

    // A light sheen on the upper half.
    RoundedRect(cr, x, y, size, size, size * 0.24);
    cairo_clip(cr);
    auto sheen = LinearGradient(x, y, x, y + size * 0.6, kWhite, kWhite, 0.22, 0.0);
    cairo_set_source(cr, sheen.get());
    cairo_paint(cr);
    cairo_reset_clip(cr);

    const double cx = x + size * 0.47, cy = y + size * 0.47, r = size * 0.25;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    SetColour(cr, kWhite);
    cairo_set_line_width(cr, size * 0.1);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_stroke(cr);
    cairo_move_to(cr, cx + r * 0.55, cy + r * 0.55);
    cairo_line_to(cr, cx + r * 1.3, cy + r * 1.3);
    cairo_stroke(cr);
}

Canvas Logo() {
    Canvas c(226, 56);
    const TextStyle name{30, kNavy, true, Align::Left};
    const double markSize = 48, gap = 12;
    const double textWidth = TextWidth(c.cr(), "Quorvane", name);
    const double left = std::round((c.width() - (markSize + gap + textWidth)) / 2);
    DrawMark(c.cr(), left, 4, markSize);
    DrawText(c.cr(), "Quorvane", name, left + markSize + gap, 0, textWidth + 2, 56);
    return c;
}

Canvas Icon() {
    Canvas c(256, 256);
    DrawMark(c.cr(), 8, 8, 240);
    return c;
}

// --- Backgrounds: white with a pale blue wash and soft glows, one variant per page. ---

struct SoftGlow {
    double x, y, radius, alpha;
};

Canvas Background(const std::vector<SoftGlow>& glows, bool wave) {
    Canvas c(600, 400);
    cairo_t* cr = c.cr();
    auto wash = LinearGradient(0, 0, 0, 400, 0xFFF2F7FF, kWhite);
    cairo_set_source(cr, wash.get());
    cairo_paint(cr);
    for (const auto& g : glows) Glow(cr, g.x, g.y, g.radius, kBlue, g.alpha);
    if (wave) {
        // Two faint waves along the bottom edge.
        for (int layer = 0; layer < 2; ++layer) {
            const double base = 352 + layer * 14;
            cairo_move_to(cr, 0, base);
            for (int x = 0; x <= 600; x += 6) {
                cairo_line_to(cr, x, base + 10 * std::sin((x + layer * 140) / 600.0 * 2 * kPi));
            }
            cairo_line_to(cr, 600, 400);
            cairo_line_to(cr, 0, 400);
            cairo_close_path(cr);
            SetColour(cr, kBlue, 0.035 + layer * 0.02);
            cairo_fill(cr);
        }
    }
    return c;
}

// --- Buttons with their caption drawn in. ---

enum class State { Normal, Hot, Pushed };

Canvas PrimaryButton(const std::string& caption, State state) {
    Canvas c(200, 46);
    cairo_t* cr = c.cr();
    const std::uint32_t from = state == State::Normal ? 0xFF3A8CFF : state == State::Hot ? 0xFF5A9FFF : 0xFF1468E6;
    const std::uint32_t to = state == State::Normal ? kBlue : state == State::Hot ? kBlueHot : kBluePushed;
    auto fill = LinearGradient(0, 0, 200, 46, from, to);
    RoundedRect(cr, 0, 0, 200, 46, 23);
    cairo_set_source(cr, fill.get());
    cairo_fill(cr);
    if (state != State::Pushed) {
        RoundedRect(cr, 0, 0, 200, 46, 23);
        cairo_clip(cr);
        auto sheen = LinearGradient(0, 0, 0, 23, kWhite, kWhite, 0.16, 0.0);
        cairo_set_source(cr, sheen.get());
        cairo_paint(cr);
        cairo_reset_clip(cr);
    }
    DrawText(cr, caption, {17, kWhite, false, Align::Centre}, 0, state == State::Pushed ? 1 : 0, 200, 46);
    return c;
}

Canvas BackButton(State state) {
    Canvas c(64, 30);
    cairo_t* cr = c.cr();
    const std::uint32_t ink = state == State::Normal ? kGrey : state == State::Hot ? kBlue : kBluePushed;
    if (state != State::Normal) {
        RoundedRect(cr, 0.5, 0.5, 63, 29, 15);
        SetColour(cr, state == State::Hot ? kBluePale : kBluePaler);
        cairo_fill(cr);
    }
    SetColour(cr, ink);
    cairo_set_line_width(cr, 1.8);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, 19, 9.5);
    cairo_line_to(cr, 13.5, 15);
    cairo_line_to(cr, 19, 20.5);
    cairo_stroke(cr);
    DrawText(cr, "返回", {14, ink, false, Align::Left}, 25, 0, 36, 30);
    return c;
}

Canvas OutlineButton(const std::string& caption, int width, int height, State state) {
    Canvas c(width, height);
    cairo_t* cr = c.cr();
    RoundedRect(cr, 0.5, 0.5, width - 1, height - 1, 4);
    SetColour(cr, state == State::Normal ? kWhite : state == State::Hot ? kBluePale : kBluePaler);
    cairo_fill_preserve(cr);
    SetColour(cr, state == State::Pushed ? kBluePushed : kBlue);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    DrawText(cr, caption, {14, state == State::Pushed ? kBluePushed : kBlue, false, Align::Centre}, 0, 0, width,
             height);
    return c;
}

Canvas Chevron(std::uint32_t colour) {
    Canvas c(16, 16);
    cairo_t* cr = c.cr();
    SetColour(cr, colour);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, 6, 4);
    cairo_line_to(cr, 10, 8);
    cairo_line_to(cr, 6, 12);
    cairo_stroke(cr);
    return c;
}

Canvas CheckBox(bool checked) {
    // 15 x 14: the layouts draw the box at 0,2,15,16.
    Canvas c(15, 14);
    cairo_t* cr = c.cr();
    if (checked) {
        RoundedRect(cr, 0.5, 0, 14, 14, 3);
        SetColour(cr, kBlue);
        cairo_fill(cr);
        SetColour(cr, kWhite);
        cairo_set_line_width(cr, 1.8);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_move_to(cr, 4, 7.2);
        cairo_line_to(cr, 6.6, 9.8);
        cairo_line_to(cr, 11.2, 4.4);
        cairo_stroke(cr);
    } else {
        RoundedRect(cr, 1, 0.5, 13, 13, 2.5);
        SetColour(cr, kWhite);
        cairo_fill_preserve(cr);
        SetColour(cr, 0xFFB4BDD0);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    return c;
}

Canvas EditFrame() {
    Canvas c(340, 32);
    cairo_t* cr = c.cr();
    RoundedRect(cr, 0.5, 0.5, 339, 31, 4);
    SetColour(cr, kWhite);
    cairo_fill_preserve(cr);
    SetColour(cr, kLine);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    return c;
}

Canvas ProgressTrack() {
    Canvas c(520, 8);
    RoundedRect(c.cr(), 0, 0, 520, 8, 4);
    SetColour(c.cr(), kTrack);
    cairo_fill(c.cr());
    return c;
}

Canvas ProgressFill() {
    Canvas c(520, 8);
    auto fill = LinearGradient(0, 0, 520, 0, kBlueLight, kBlue);
    RoundedRect(c.cr(), 0, 0, 520, 8, 4);
    cairo_set_source(c.cr(), fill.get());
    cairo_fill(c.cr());
    return c;
}

Canvas FinishedMark() {
    Canvas c(80, 80);
    cairo_t* cr = c.cr();
    SetColour(cr, kBlue, 0.12);
    cairo_arc(cr, 40, 40, 40, 0, 2 * kPi);
    cairo_fill(cr);
    auto fill = LinearGradient(12, 12, 68, 68, kBlueLight, kBluePushed);
    cairo_arc(cr, 40, 40, 31, 0, 2 * kPi);
    cairo_set_source(cr, fill.get());
    cairo_fill(cr);
    SetColour(cr, kWhite);
    cairo_set_line_width(cr, 5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, 27, 41);
    cairo_line_to(cr, 36, 50);
    cairo_line_to(cr, 54, 31);
    cairo_stroke(cr);
    return c;
}

Canvas AgreeFirstTip() {
    // A dark bubble whose tail points down at the agreement row.
    Canvas c(116, 32);
    cairo_t* cr = c.cr();
    RoundedRect(cr, 0, 0, 116, 26, 5);
    cairo_move_to(cr, 52, 26);
    cairo_line_to(cr, 58, 32);
    cairo_line_to(cr, 64, 26);
    cairo_close_path(cr);
    SetColour(cr, kNavy, 0.9);
    cairo_fill(cr);
    DrawText(cr, "请先同意用户协议", {12, kWhite, false, Align::Centre}, 0, 0, 116, 26);
    return c;
}

// --- Title bar buttons. ---

void Cross(cairo_t* cr, double cx, double cy, double half, double width, std::uint32_t colour) {
    SetColour(cr, colour);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, cx - half, cy - half);
    cairo_line_to(cr, cx + half, cy + half);
    cairo_move_to(cr, cx + half, cy - half);
    cairo_line_to(cr, cx - half, cy + half);
    cairo_stroke(cr);
}

Canvas MainCloseButton(State state) {
    Canvas c(24, 24);
    cairo_t* cr = c.cr();
    if (state != State::Normal) {
        RoundedRect(cr, 0, 0, 24, 24, 4);
        SetColour(cr, state == State::Hot ? kRed : kRedPushed);
        cairo_fill(cr);
    }
    Cross(cr, 12, 12, 5, 1.6, state == State::Normal ? kGrey : kWhite);
    return c;
}

Canvas MinimiseButton(State state) {
    Canvas c(24, 24);
    cairo_t* cr = c.cr();
    if (state != State::Normal) {
        RoundedRect(cr, 0, 0, 24, 24, 4);
        SetColour(cr, state == State::Hot ? 0xFFE4EAF4 : 0xFFD3DCEA);
        cairo_fill(cr);
    }
    SetColour(cr, state == State::Normal ? kGrey : kNavy);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 7, 12.5);
    cairo_line_to(cr, 17, 12.5);
    cairo_stroke(cr);
    return c;
}

Canvas DialogCloseButton(State state) {
    Canvas c(24, 24);
    cairo_t* cr = c.cr();
    if (state != State::Normal) {
        RoundedRect(cr, 0, 0, 24, 24, 4);
        SetColour(cr, state == State::Hot ? 0xFFE6EAF1 : 0xFFD6DCE6);
        cairo_fill(cr);
    }
    Cross(cr, 12, 12, 4.2, 1.4, state == State::Normal ? kGreyLight : kNavy);
    return c;
}

// --- Dialog icons, 40 x 40. ---

void IconDisc(cairo_t* cr, std::uint32_t light, std::uint32_t dark) {
    auto fill = LinearGradient(4, 4, 36, 36, light, dark);
    cairo_arc(cr, 20, 20, 19, 0, 2 * kPi);
    cairo_set_source(cr, fill.get());
    cairo_fill(cr);
}

Canvas QuestionIcon() {
    Canvas c(40, 40);
    IconDisc(c.cr(), kBlueLight, kBluePushed);
    DrawText(c.cr(), "?", {26, kWhite, true, Align::Centre}, 0, 0, 40, 40);
    return c;
}

Canvas WarningIcon() {
    Canvas c(40, 40);
    cairo_t* cr = c.cr();
    IconDisc(cr, 0xFFFFC05C, 0xFFF58A07);
    SetColour(cr, kWhite);
    cairo_set_line_width(cr, 4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 20, 10);
    cairo_line_to(cr, 20, 23);
    cairo_stroke(cr);
    cairo_arc(cr, 20, 30, 2.4, 0, 2 * kPi);
    cairo_fill(cr);
    return c;
}

Canvas NetworkIcon() {
    Canvas c(40, 40);
    cairo_t* cr = c.cr();
    IconDisc(cr, kBlueLight, kBluePushed);
    SetColour(cr, kWhite);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.6);
    for (double r : {6.0, 11.0, 16.0}) {
        cairo_arc(cr, 19, 28, r, -kPi * 0.75, -kPi * 0.25);
        cairo_new_sub_path(cr);
    }
    cairo_stroke(cr);
    cairo_arc(cr, 19, 28, 2.4, 0, 2 * kPi);
    cairo_fill(cr);
    // An amber badge: the connection is poor.
    cairo_arc(cr, 31, 30, 7.5, 0, 2 * kPi);
    SetColour(cr, kWhite);
    cairo_fill(cr);
    cairo_arc(cr, 31, 30, 6, 0, 2 * kPi);
    SetColour(cr, kAmber);
    cairo_fill(cr);
    SetColour(cr, kWhite);
    cairo_set_line_width(cr, 1.8);
    cairo_move_to(cr, 31, 26.5);
    cairo_line_to(cr, 31, 30.5);
    cairo_stroke(cr);
    cairo_arc(cr, 31, 33.2, 1.1, 0, 2 * kPi);
    cairo_fill(cr);
    return c;
}

// --- Progress animation: a comet arc that turns once per 24 frames around a bobbing arrow. ---

constexpr int kAnimationFrames = 24;

Canvas AnimationFrame(int frame) {
    Canvas c(160, 160);
    cairo_t* cr = c.cr();
    const double cx = 80, cy = 80, ringRadius = 62;
    const double phase = static_cast<double>(frame) / kAnimationFrames;

    Glow(cr, cx, cy, 78, kBlue, 0.10);
    SetColour(cr, kWhite);
    cairo_arc(cr, cx, cy, 50, 0, 2 * kPi);
    cairo_fill(cr);
    SetColour(cr, kTrack);
    cairo_set_line_width(cr, 7);
    cairo_arc(cr, cx, cy, ringRadius, 0, 2 * kPi);
    cairo_stroke(cr);

    // The comet: many short segments whose opacity rises towards the head.
    const double head = -kPi / 2 + phase * 2 * kPi;
    const double tail = kPi * 0.9;
    constexpr int kSegments = 90;
    cairo_set_line_width(cr, 7);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (int i = 0; i < kSegments; ++i) {
        const double t0 = static_cast<double>(i) / kSegments, t1 = static_cast<double>(i + 1) / kSegments;
        cairo_arc(cr, cx, cy, ringRadius, head - tail * (1 - t0), head - tail * (1 - t1) + 0.004);
        SetColour(cr, kBlue, t1 * t1);
        cairo_stroke(cr);
    }
    SetColour(cr, kBlue);
    cairo_arc(cr, cx + std::cos(head) * ringRadius, cy + std::sin(head) * ringRadius, 3.5, 0, 2 * kPi);
    cairo_fill(cr);

    // Download arrow and tray; the arrow bobs once per cycle.
    const double bob = 4 * std::sin(phase * 2 * kPi);
    SetColour(cr, kBlue);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 6);
    cairo_move_to(cr, cx, cy - 24 + bob);
    cairo_line_to(cr, cx, cy + 6 + bob);
    cairo_stroke(cr);
    cairo_move_to(cr, cx - 12, cy - 6 + bob);
    cairo_line_to(cr, cx, cy + 6 + bob);
    cairo_line_to(cr, cx + 12, cy - 6 + bob);
    cairo_stroke(cr);
    SetColour(cr, kBlueLight);
    cairo_set_line_width(cr, 5);
    cairo_move_to(cr, cx - 22, cy + 12);
    cairo_line_to(cr, cx - 22, cy + 22);
    cairo_line_to(cr, cx + 22, cy + 22);
    cairo_line_to(cr, cx + 22, cy + 12);
    cairo_stroke(cr);
    return c;
}

struct Image {
    std::string path;  // relative to the resources folder
    std::function<Canvas()> draw;
};

std::vector<Image> AllImages() {
    std::vector<Image> images;
    auto add = [&](std::string path, std::function<Canvas()> draw) { images.push_back({std::move(path), std::move(draw)}); };
    const State states[] = {State::Normal, State::Hot, State::Pushed};
    const std::string common = "skin/res/common/", main = "skin/res/mainWnd/", box = "skin/res/MessageBoxWnd/";

    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i + 1);
        const State s = states[i];
        add(common + "closebtn" + n + ".png", [s] { return MainCloseButton(s); });
        add(common + "closebtnM_" + n + ".png", [s] { return DialogCloseButton(s); });
        add(common + "minbtn" + n + ".png", [s] { return MinimiseButton(s); });
        add(main + "installBtn" + n + ".png", [s] { return PrimaryButton("立即安装", s); });
        add(main + "experienceBtn" + n + ".png", [s] { return PrimaryButton("立即体验", s); });
        add(main + "backBtn" + n + ".png", [s] { return BackButton(s); });
        add(main + "chDirBtn" + n + ".png", [s] { return OutlineButton("更改目录", 81, 32, s); });
    }
    add(box + "icoNetwork.png", NetworkIcon);
    add(box + "icoQuest.png", QuestionIcon);
    add(box + "icoWarn.png", WarningIcon);

    add(main + "bg1.png", [] { return Background({{590, -30, 260, 0.16}, {20, 420, 170, 0.08}}, true); });
    add(main + "bg2.png", [] { return Background({{10, -40, 240, 0.13}, {600, 410, 200, 0.08}}, true); });
    add(main + "bg3.png", [] { return Background({{300, 160, 230, 0.09}, {600, -20, 160, 0.08}}, false); });
    add(main + "bg4.png", [] { return Background({{300, 130, 250, 0.12}, {0, 400, 160, 0.06}}, true); });
    add(main + "logo.png", Logo);
    add(main + "customeBtn1.png", [] { return Chevron(kGrey); });
    add(main + "customeBtn2.png", [] { return Chevron(kNavy); });
    add(main + "Cb1.png", [] { return CheckBox(false); });
    add(main + "Cb2.png", [] { return CheckBox(true); });
    add(main + "installDirEdit.png", EditFrame);
    add(main + "installPrg1.png", ProgressTrack);
    add(main + "installPrg2.png", ProgressFill);
    add(main + "finished.png", FinishedMark);
    add(main + "tipLbl.png", AgreeFirstTip);
    for (int frame = 0; frame < kAnimationFrames; ++frame) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.png", frame);
        add(main + "installBtnAnimate/" + name, [frame] { return AnimationFrame(frame); });
    }
    add("icon/quorvane.png", Icon);
    return images;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    int failures = 0;
    for (const auto& image : AllImages()) {
        if (!image.draw().Save(root / image.path)) {
            std::fprintf(stderr, "cannot write %s\n", (root / image.path).c_str());
            ++failures;
        }
    }
    // Release the font caches so that leak checkers see a clean exit.
    pango_cairo_font_map_set_default(nullptr);
    cairo_debug_reset_static_data();
    FcFini();
    return failures == 0 ? 0 : 1;
}
