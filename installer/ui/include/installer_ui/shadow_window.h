// The drop shadow of a skinned frame: a click-through, per-pixel-alpha window that
// follows the frame (move, size, show, minimise, destroy). Without a compositor there
// is no shadow and the frame works as usual.
#pragma once

#include <ui_framework/window.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Colour-mode shadow parameters. The colour is 0x00BBGGRR (low byte red); its top byte is ignored.
struct ShadowParams {
    std::uint32_t color = 0;
    int darkness = 150;  // alpha of the darkest pixel, 0..255
    int sharpness = 5;   // width of the soft edge, 0..20
    int size = 0;        // extent beyond the window, -20..20
    int xOffset = 5;     // -20..20
    int yOffset = 5;     // -20..20
};

// Premultiplied ARGB32 pixels, rows of `width`.
struct ShadowBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0;
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
};

// The shadow of a window of `windowWidth` x `windowHeight` whose outline is `windowShape`:
// the shape placed at (size, size), shrunk by sharpness - size when that is positive, edged
// with a round kernel of radius max(size, sharpness), filled inside with full darkness, and
// transparent wherever the window itself lies (after the shift by the offsets).
ShadowBitmap ComputeShadowBitmap(const ShadowParams& params, const skin::Shape& windowShape, int windowWidth,
                                 int windowHeight);

class CShadowWindow : private skin::WindowObserver {
public:
    enum Status : std::uint8_t { kEnabled = 1, kVisible = 2, kParentVisible = 4 };

    CShadowWindow();
    ~CShadowWindow() override;
    CShadowWindow(const CShadowWindow&) = delete;
    CShadowWindow& operator=(const CShadowWindow&) = delete;

    // Makes shadows possible in this process; a second call does nothing.
    static void Initialize();
    static bool IsInitialized();

    // Attaches to a created frame: creates the shadow window when the screen can show it
    // (nothing otherwise) and follows the frame from now on.
    void Create(skin::SkinWindowBase* parent);

    // Setters answer false and keep the previous value outside their range; a visible
    // shadow is redrawn at once.
    bool SetColor(std::uint32_t color);
    bool SetDarkness(int darkness);
    bool SetSharpness(int sharpness);
    bool SetSize(int size);
    bool SetPosition(int x, int y);
    // Image mode: a skin image drawn nine-part over the shadow area with `corners` kept,
    // leaving the part inside `holeOffsets` transparent. False when the image cannot be loaded.
    bool SetImage(const std::wstring& file, const skin::Rect& corners, const skin::Rect& holeOffsets);

    const ShadowParams& Params() const { return params_; }
    std::uint8_t GetStatus() const { return status_; }
    bool HasImage() const { return image_.has_value(); }
    // The shadow window; null when none exists.
    skin::LayeredWindow* GetLayeredWindow() const { return layered_.get(); }
    // Draws the shadow for the parent's current place and size.
    void Update();

private:
    struct Image {
        std::wstring file;
        skin::Rect corners;
        skin::Rect holeOffsets;
    };

    void OnWindowMoved(skin::SkinWindowBase&) override;
    void OnWindowSized(skin::SkinWindowBase&, skin::Size size, skin::WindowState state) override;
    void OnWindowShown(skin::SkinWindowBase&, bool shown) override;
    void OnWindowActivated(skin::SkinWindowBase&) override;
    void OnWindowPainted(skin::SkinWindowBase&) override;
    void OnWindowDestroyed(skin::SkinWindowBase&) override;

    skin::Point ShadowTopLeft() const;
    void RedrawIfVisible();
    void Detach();

    skin::SkinWindowBase* parent_ = nullptr;
    std::unique_ptr<skin::LayeredWindow> layered_;
    std::uint8_t status_ = 0;
    ShadowParams params_;
    skin::Size parentSize_{};
    bool updatePending_ = false;
    std::optional<Image> image_;
};
