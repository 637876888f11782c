// A host that renders into a cairo image surface and takes synthetic input (tests, benchmarks).
#pragma once

#include "ui_framework/host.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace skin {

class OffscreenLayeredWindow;

class OffscreenHost : public WindowHost {
public:
    // `clock` drives the window's timers (a GLib timer service when null).
    explicit OffscreenHost(std::shared_ptr<ManualClock> clock = nullptr, bool composited = true);
    ~OffscreenHost() override;

    bool Create(HostEvents* events, const HostCreateParams& params) override;
    void Destroy() override;
    bool Exists() const override { return events_ != nullptr; }
    void Show(bool show, bool activate) override;
    bool IsVisible() const override { return visible_; }
    void SetState(WindowState state) override;
    WindowState GetState() const override { return state_; }
    Rect GetScreenRect() const override { return rect_; }
    void SetScreenRect(const Rect& rect) override;
    Rect GetWorkArea() const override { return workArea_; }
    void SetTitle(const std::wstring& title) override { title_ = title; }
    void Invalidate(const Rect& rect) override;
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool IsEnabled() const override { return enabled_; }
    void Activate() override;
    void SetTopmost(bool topmost) override { topmost_ = topmost; }
    void SetIcon(const Bytes& png) override { icon_ = png; }
    void SetShape(const Shape& shape) override { shape_ = shape; }
    void BeginMoveDrag(Point windowPoint) override { dragStarts_.push_back(windowPoint); }
    bool BeginTextEdit(const Rect&, const std::wstring&, const FontSpec&, Color, bool) override { return false; }
    void EndTextEdit() override {}
    void ShowPopupList(const Rect& area, const std::vector<std::wstring>& items, int current,
                       std::function<void(int)> onChosen) override;
    void* NativeHandle() const override { return nullptr; }
    std::unique_ptr<LayeredWindow> CreateLayeredWindow() override;
    TimerService& Timers() override { return *timers_; }

    // Paints what is invalid (everything the first time) and returns the image.
    cairo_surface_t* Render();
    // 0xAARRGGBB (premultiplied) of a rendered pixel.
    std::uint32_t Pixel(int x, int y);
    // How many times Render actually painted.
    int PaintCount() const { return paintCount_; }
    bool HasPendingPaint() const { return !dirty_.IsEmpty(); }
    bool SavePng(const char* path);

    // Synthetic input in window coordinates.
    void MouseMove(int x, int y);
    void MouseLeave();
    void MouseDown(int x, int y);
    void MouseUp(int x, int y);
    void Click(int x, int y);
    void KeyDown(unsigned virtualKey);
    void Type(std::wstring_view text);
    void RequestClose();
    void SetWorkArea(const Rect& area) { workArea_ = area; }
    void SetComposited(bool composited) { composited_ = composited; }

    const std::wstring& Title() const { return title_; }
    bool IsTopmost() const { return topmost_; }
    const Bytes& Icon() const { return icon_; }
    const Shape& CurrentShape() const { return shape_; }
    const std::vector<Point>& DragStarts() const { return dragStarts_; }
    // The open popup list, answered with ChoosePopupItem.
    const std::vector<std::wstring>& PopupItems() const { return popupItems_; }
    void ChoosePopupItem(int index);
    // The layered windows this host created (the most recent last); null when none.
    OffscreenLayeredWindow* LastLayeredWindow() const;

private:
    HostEvents* events_ = nullptr;
    std::shared_ptr<ManualClock> clock_;
    std::unique_ptr<TimerService> timers_;
    bool composited_;
    std::shared_ptr<cairo_surface_t> surface_;
    Rect rect_{};
    Rect normalRect_{};
    Rect workArea_{0, 0, 1920, 1040};
    Rect dirty_{};
    bool visible_ = false;
    bool enabled_ = true;
    bool topmost_ = false;
    WindowState state_ = WindowState::Normal;
    std::wstring title_;
    Bytes icon_;
    Shape shape_;
    std::vector<Point> dragStarts_;
    std::vector<std::wstring> popupItems_;
    std::function<void(int)> popupChosen_;
    int paintCount_ = 0;
    std::shared_ptr<std::vector<OffscreenLayeredWindow*>> layered_;
};

// A layered window that only records what it was told.
class OffscreenLayeredWindow : public LayeredWindow {
public:
    explicit OffscreenLayeredWindow(std::shared_ptr<std::vector<OffscreenLayeredWindow*>> registry);
    ~OffscreenLayeredWindow() override;
    void Update(const Rect& screenRect, const std::vector<std::uint32_t>& pixels) override;
    void Move(Point topLeft) override;
    void Show(bool show) override { shown_ = show; }
    bool IsShown() const override { return shown_; }
    Rect ScreenRect() const override { return rect_; }
    void* NativeHandle() const override { return nullptr; }

    const std::vector<std::uint32_t>& Pixels() const { return pixels_; }
    int UpdateCount() const { return updates_; }

private:
    std::weak_ptr<std::vector<OffscreenLayeredWindow*>> registry_;
    Rect rect_{};
    std::vector<std::uint32_t> pixels_;
    bool shown_ = false;
    int updates_ = 0;
};

}  // namespace skin
