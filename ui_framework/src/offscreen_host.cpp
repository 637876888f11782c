#include "ui_framework/offscreen_host.h"

#include <cairo.h>

#include <algorithm>

namespace skin {

OffscreenHost::OffscreenHost(std::shared_ptr<ManualClock> clock, bool composited)
    : clock_(std::move(clock)),
      composited_(composited),
      layered_(std::make_shared<std::vector<OffscreenLayeredWindow*>>()) {
    if (clock_) {
        // The window owns its timer service; this one forwards to the shared clock.
        struct Forward : TimerService {
            std::shared_ptr<ManualClock> clock;
            std::uint64_t Start(unsigned periodMs, std::function<void()> onFire) override {
                return clock->Start(periodMs, std::move(onFire));
            }
            void Stop(std::uint64_t handle) override { clock->Stop(handle); }
            std::uint64_t NowMs() const override { return clock->NowMs(); }
        };
        auto forward = std::make_unique<Forward>();
        forward->clock = clock_;
        timers_ = std::move(forward);
    } else {
        timers_ = MakeGLibTimerService();
    }
}

OffscreenHost::~OffscreenHost() = default;

bool OffscreenHost::Create(HostEvents* events, const HostCreateParams& params) {
    events_ = events;
    rect_ = params.rect;
    title_ = params.title;
    topmost_ = params.topmost;
    dirty_ = {0, 0, rect_.Width(), rect_.Height()};
    return true;
}

void OffscreenHost::Destroy() {
    visible_ = false;
    events_ = nullptr;
}

void OffscreenHost::Show(bool show, bool activate) {
    if (!events_ || show == visible_) {
        if (show && activate) Activate();
        return;
    }
    visible_ = show;
    events_->OnHostShown(show);
    if (show) {
        Invalidate({0, 0, rect_.Width(), rect_.Height()});
        if (activate) Activate();
    }
}

void OffscreenHost::SetState(WindowState state) {
    if (!events_ || state == state_) return;
    if (state_ == WindowState::Normal) normalRect_ = rect_;
    state_ = state;
    if (state == WindowState::Maximized) rect_ = workArea_;
    if (state == WindowState::Normal) rect_ = normalRect_;
    events_->OnHostResized({rect_.Width(), rect_.Height()}, state_);
}

void OffscreenHost::SetScreenRect(const Rect& rect) {
    const bool moved = rect.left != rect_.left || rect.top != rect_.top;
    const bool sized = rect.Width() != rect_.Width() || rect.Height() != rect_.Height();
    rect_ = rect;
    if (!events_) return;
    if (moved) events_->OnHostMoved();
    if (sized) events_->OnHostResized({rect_.Width(), rect_.Height()}, state_);
}

void OffscreenHost::Invalidate(const Rect& rect) {
    dirty_ = dirty_.Union(rect.Intersect({0, 0, rect_.Width(), rect_.Height()}));
}

void OffscreenHost::Activate() {
    if (events_) events_->OnHostActivated();
}

void OffscreenHost::ShowPopupList(const Rect&, const std::vector<std::wstring>& items, int,
                                  std::function<void(int)> onChosen) {
    popupItems_ = items;
    popupChosen_ = std::move(onChosen);
}

void OffscreenHost::ChoosePopupItem(int index) {
    auto chosen = std::move(popupChosen_);
    popupChosen_ = nullptr;
    popupItems_.clear();
    if (chosen) chosen(index);
}

std::unique_ptr<LayeredWindow> OffscreenHost::CreateLayeredWindow() {
    if (!composited_) return nullptr;
    return std::make_unique<OffscreenLayeredWindow>(layered_);
}

OffscreenLayeredWindow* OffscreenHost::LastLayeredWindow() const {
    return layered_->empty() ? nullptr : layered_->back();
}

cairo_surface_t* OffscreenHost::Render() {
    const int width = std::max(rect_.Width(), 1), height = std::max(rect_.Height(), 1);
    if (!surface_ || cairo_image_surface_get_width(surface_.get()) != width ||
        cairo_image_surface_get_height(surface_.get()) != height) {
        surface_ = std::shared_ptr<cairo_surface_t>(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height),
                                                    &cairo_surface_destroy);
        dirty_ = {0, 0, width, height};
    }
    // Painting may lay the tree out and so invalidate more; a second pass takes that in.
    for (int pass = 0; pass < 2 && events_ && !dirty_.IsEmpty(); ++pass) {
        const Rect dirty = dirty_;
        dirty_ = {};
        cairo_t* cr = cairo_create(surface_.get());
        cairo_rectangle(cr, dirty.left, dirty.top, dirty.Width(), dirty.Height());
        cairo_clip(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        events_->OnHostPaint(cr, dirty);
        cairo_destroy(cr);
        ++paintCount_;
    }
    cairo_surface_flush(surface_.get());
    return surface_.get();
}

std::uint32_t OffscreenHost::Pixel(int x, int y) {
    cairo_surface_t* surface = Render();
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface) || y >= cairo_image_surface_get_height(surface))
        return 0;
    const auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

bool OffscreenHost::SavePng(const char* path) {
    return cairo_surface_write_to_png(Render(), path) == CAIRO_STATUS_SUCCESS;
}

void OffscreenHost::MouseMove(int x, int y) {
    if (events_) events_->OnHostMouseMove({x, y});
}

void OffscreenHost::MouseLeave() {
    if (events_) events_->OnHostMouseLeave();
}

void OffscreenHost::MouseDown(int x, int y) {
    if (events_) events_->OnHostButtonDown({x, y});
}

void OffscreenHost::MouseUp(int x, int y) {
    if (events_) events_->OnHostButtonUp({x, y});
}

void OffscreenHost::Click(int x, int y) {
    MouseMove(x, y);
    MouseDown(x, y);
    MouseUp(x, y);
}

void OffscreenHost::KeyDown(unsigned virtualKey) {
    if (events_) events_->OnHostKeyDown(virtualKey);
}

void OffscreenHost::Type(std::wstring_view text) {
    for (wchar_t c : text)
        if (events_) events_->OnHostChar(c);
}

void OffscreenHost::RequestClose() {
    if (events_) events_->OnHostCloseRequest();
}

OffscreenLayeredWindow::OffscreenLayeredWindow(std::shared_ptr<std::vector<OffscreenLayeredWindow*>> registry)
    : registry_(registry) {
    registry->push_back(this);
}

OffscreenLayeredWindow::~OffscreenLayeredWindow() {
    if (auto registry = registry_.lock()) std::erase(*registry, this);
}

void OffscreenLayeredWindow::Update(const Rect& screenRect, const std::vector<std::uint32_t>& pixels) {
    rect_ = screenRect;
    pixels_ = pixels;
    ++updates_;
}

void OffscreenLayeredWindow::Move(Point topLeft) { rect_ = rect_.Offset(topLeft.x - rect_.left, topLeft.y - rect_.top); }

}  // namespace skin
