// Window hosts put a control tree on a screen (GTK) or into an image (offscreen).
#pragma once

#include "ui_framework/geometry.h"
#include "ui_framework/render.h"
#include "ui_framework/resources.h"
#include "ui_framework/timers.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace skin {

enum class WindowState { Normal, Minimized, Maximized };

// Virtual key codes the hosts report.
enum VirtualKey : unsigned {
    kVkBack = 0x08,
    kVkTab = 0x09,
    kVkReturn = 0x0D,
    kVkEscape = 0x1B,
    kVkEnd = 0x23,
    kVkHome = 0x24,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
    kVkDelete = 0x2E,
};

// What a host reports to its window (on the window thread).
class HostEvents {
public:
    virtual ~HostEvents() = default;
    virtual void OnHostPaint(cairo_t* cr, const Rect& dirty) = 0;
    virtual void OnHostMouseMove(Point point) = 0;
    virtual void OnHostMouseLeave() = 0;
    virtual void OnHostButtonDown(Point point) = 0;
    virtual void OnHostButtonUp(Point point) = 0;
    virtual void OnHostKeyDown(unsigned virtualKey) = 0;
    virtual void OnHostChar(wchar_t character) = 0;
    virtual void OnHostTextEdited(std::wstring text) = 0;
    virtual void OnHostMoved() = 0;
    virtual void OnHostResized(Size size, WindowState state) = 0;
    virtual void OnHostShown(bool shown) = 0;
    virtual void OnHostActivated() = 0;
    virtual void OnHostCloseRequest() = 0;
    virtual void OnHostDestroyed() = 0;
};

// A borderless, click-through, per-pixel-alpha window (drop shadows). Exists only on a
// composited screen.
class LayeredWindow {
public:
    virtual ~LayeredWindow() = default;
    // Places the window at `screenRect` and shows `pixels` (premultiplied ARGB32, rows of
    // screenRect.Width() pixels).
    virtual void Update(const Rect& screenRect, const std::vector<std::uint32_t>& pixels) = 0;
    virtual void Move(Point topLeft) = 0;
    virtual void Show(bool show) = 0;
    virtual bool IsShown() const = 0;
    virtual Rect ScreenRect() const = 0;
    virtual void* NativeHandle() const = 0;
};

constexpr int kUseDefault = static_cast<int>(0x80000000);

struct HostCreateParams {
    std::wstring title;
    class WindowHost* owner = nullptr;
    Rect rect{};  // left/top may be kUseDefault
    bool topmost = false;
};

class WindowHost {
public:
    virtual ~WindowHost() = default;
    virtual bool Create(HostEvents* events, const HostCreateParams& params) = 0;
    virtual void Destroy() = 0;
    virtual bool Exists() const = 0;
    virtual void Show(bool show, bool activate) = 0;
    virtual bool IsVisible() const = 0;
    virtual void SetState(WindowState state) = 0;
    virtual WindowState GetState() const = 0;
    virtual Rect GetScreenRect() const = 0;
    virtual void SetScreenRect(const Rect& rect) = 0;
    // The work area of the monitor that holds the window (or the primary one).
    virtual Rect GetWorkArea() const = 0;
    virtual void SetTitle(const std::wstring& title) = 0;
    virtual void Invalidate(const Rect& rect) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;
    virtual void Activate() = 0;
    virtual void SetTopmost(bool topmost) = 0;
    virtual void SetIcon(const Bytes& png) = 0;
    // The window's outline (rounded corners); an empty shape means the full rectangle.
    virtual void SetShape(const Shape& shape) = 0;
    virtual void BeginMoveDrag(Point windowPoint) = 0;
    // A native text entry over `area`; false when the host has none (the edit then takes keys).
    virtual bool BeginTextEdit(const Rect& area, const std::wstring& text, const FontSpec& font, Color color,
                               bool password) = 0;
    virtual void EndTextEdit() = 0;
    virtual void ShowPopupList(const Rect& area, const std::vector<std::wstring>& items, int current,
                               std::function<void(int)> onChosen) = 0;
    virtual void* NativeHandle() const = 0;
    // Null when the screen cannot show per-pixel alpha windows.
    virtual std::unique_ptr<LayeredWindow> CreateLayeredWindow() = 0;
    virtual TimerService& Timers() = 0;
};

using HostFactory = std::function<std::unique_ptr<WindowHost>()>;
// Chooses the host of windows created from now on; an empty factory restores the default
// (GTK when a display can be opened, otherwise offscreen).
void SetHostFactory(HostFactory factory);
std::unique_ptr<WindowHost> CreateHost();

// The GTK host; null when GTK cannot open a display.
std::unique_ptr<WindowHost> CreateGtkHost();
// Initialises GTK once; true when it has a display.
bool GtkAvailable();
// True once GtkAvailable() succeeded; never initialises GTK itself.
bool GtkInitialised();

}  // namespace skin
