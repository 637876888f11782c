// The window base of skinned frames: builds the control tree from a layout, routes input,
// notifications, timers and messages, and drives a host.
//
// A window and its controls are used on the thread that created it (the window thread).
// PostMessage and PostNotification may be called from any thread.
#pragma once

#include "ui_framework/control.h"
#include "ui_framework/host.h"
#include "ui_framework/resources.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

// Message numbers (the classic values, so that callers may keep their own constants).
namespace msg {
constexpr unsigned kDestroy = 0x0002;
constexpr unsigned kClose = 0x0010;  // wParam = close result
constexpr unsigned kQuit = 0x0012;
constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kChar = 0x0102;
constexpr unsigned kSysCommand = 0x0112;
constexpr unsigned kTimer = 0x0113;
constexpr unsigned kUser = 0x0400;
}  // namespace msg

// System commands (wParam of msg::kSysCommand).
constexpr std::uintptr_t kScMinimize = 0xF020;
constexpr std::uintptr_t kScMaximize = 0xF030;
constexpr std::uintptr_t kScClose = 0xF060;
constexpr std::uintptr_t kScRestore = 0xF120;

// Style bits a frame keeps (only visible and topmost change what the hosts do).
constexpr std::uint32_t kWsMaximizeBox = 0x00010000;
constexpr std::uint32_t kWsMinimizeBox = 0x00020000;
constexpr std::uint32_t kWsThickFrame = 0x00040000;
constexpr std::uint32_t kWsSysMenu = 0x00080000;
constexpr std::uint32_t kWsCaption = 0x00C00000;
constexpr std::uint32_t kWsClipChildren = 0x02000000;
constexpr std::uint32_t kWsClipSiblings = 0x04000000;
constexpr std::uint32_t kWsVisible = 0x10000000;
constexpr std::uint32_t kWsExTopmost = 0x00000008;

struct Notification {
    std::wstring type;
    std::wstring virtualWindow;
    Control* sender = nullptr;
    std::uint64_t timestamp = 0;
    Point mouse;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class SkinWindowBase;

// Hears what happens to a window (the drop shadow follows its frame this way).
class WindowObserver {
public:
    virtual ~WindowObserver() = default;
    virtual void OnWindowMoved(SkinWindowBase&) {}
    virtual void OnWindowSized(SkinWindowBase&, Size, WindowState) {}
    virtual void OnWindowShown(SkinWindowBase&, bool /*shown*/) {}
    virtual void OnWindowActivated(SkinWindowBase&) {}
    virtual void OnWindowPainted(SkinWindowBase&) {}
    virtual void OnWindowDestroyed(SkinWindowBase&) {}
};

// "Window" element attributes: size, caption ("l,t,r,b": the draggable band; a bottom of 35
// means the top 35 pixels, a right of 0 the full width), roundcorner ("cx,cy"), mininfo, maxinfo,
// plus any other attribute, kept for the frame (GetWindowAttribute).
// "Font": id, name, size, bold, italic, underline, default.
// "Default": name (element), value (attributes applied to every element of that name first).
class SkinWindowBase : private HostEvents {
public:
    SkinWindowBase();
    ~SkinWindowBase() override;
    SkinWindowBase(const SkinWindowBase&) = delete;
    SkinWindowBase& operator=(const SkinWindowBase&) = delete;

    // --- what a frame tells the framework
    virtual std::wstring GetWindowClassName() const = 0;
    virtual std::wstring GetSkinFolder() const { return L""; }
    virtual std::wstring GetSkinFile() const = 0;
    virtual ResourceType GetResourceType() const { return ResourceType::File; }
    virtual int GetResourceId() const { return 0; }
    // The tree is built and the native window exists.
    virtual void OnLayoutReady() {}
    // A control for an element the framework does not know; null for none.
    virtual std::unique_ptr<Control> CreateCustomControl(std::wstring_view elementName);
    // Every notification; the base routes "click" to OnControlClick.
    virtual void OnNotification(Notification& notification);
    // "closebtn" closes with result 1, "minbtn" minimises, "maxbtn" maximises, "restorebtn" restores.
    virtual void OnControlClick(Notification& notification);
    // Sees every message first; set `handled` to stop it.
    virtual std::intptr_t FilterWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                              bool& handled);
    // Keyboard messages, after FilterWindowMessage. The base closes the window on Escape.
    virtual std::intptr_t FilterKeyboardMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                                bool& handled);
    virtual std::intptr_t OnSysCommand(std::uintptr_t command, bool& handled);
    // Every other message (user messages included).
    virtual std::intptr_t OnAppMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                       bool& handled);

    // --- window operations
    // Builds the tree and the native window; a layout that cannot be built ends the process
    // (ReportLayoutFailure). Width or height 0 / kUseDefault take the layout's size.
    bool Create(SkinWindowBase* owner, std::wstring_view title, std::uint32_t style, std::uint32_t exStyle, int x,
                int y, int width, int height, void* menu = nullptr);
    // Centres on the owner, or on the work area without one, keeping inside the work area.
    void CenterOnOwner();
    void ShowWindow(bool show = true, bool activate = true);
    // Shows the window and runs a nested loop until it is destroyed or a quit message
    // arrives; the owner is disabled meanwhile. A consumed quit is posted again. Returns the
    // close result.
    int RunModal();
    // Posts the close message carrying `result`.
    void Close(int result = 1);
    // Sets the icon from the packaged resource "ICON" with `resourceId` (PNG bytes).
    bool SetIcon(int resourceId);
    void PostMessage(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    void* GetNativeHandle() const;
    bool IsWindow() const { return host_ && host_->Exists(); }
    bool IsVisible() const { return IsWindow() && host_->IsVisible(); }
    WindowState GetState() const { return host_ ? host_->GetState() : WindowState::Normal; }
    Rect GetScreenRect() const { return host_ ? host_->GetScreenRect() : Rect{}; }
    void MoveWindow(int x, int y);
    WindowHost* GetHost() const { return host_.get(); }
    SkinWindowBase* GetOwner() const { return owner_; }
    int GetCloseResult() const { return closeResult_; }

    std::uint32_t GetStyle() const { return style_; }
    void SetStyle(std::uint32_t style);
    std::uint32_t GetExStyle() const { return exStyle_; }
    void SetExStyle(std::uint32_t exStyle);

    // --- layout
    Control* GetRoot() const { return root_.get(); }
    Control* FindControl(std::wstring_view name) const;
    Control* FindControlAt(Point point);
    std::optional<std::wstring> GetWindowAttribute(std::wstring_view name) const;
    Size GetInitSize() const { return initSize_; }
    const Rect& GetCaptionRect() const { return caption_; }
    Size GetRoundCorner() const { return roundCorner_; }
    // The window's outline in window coordinates.
    Shape GetWindowShape() const;
    const FontSpec& GetFont(int id) const;
    // Lays out the tree again (after texts or sizes changed) and repaints.
    void Relayout();

    // --- notifications
    // Delivers now (sync) or from the window thread's loop (async; thread-safe).
    void SendNotify(Control* sender, std::wstring_view type, std::uintptr_t wParam = 0, std::intptr_t lParam = 0,
                    bool async = false);
    void PostNotification(Control* sender, std::wstring_view type, std::uintptr_t wParam = 0,
                          std::intptr_t lParam = 0) {
        SendNotify(sender, type, wParam, lParam, true);
    }

    // --- timers
    bool SetTimer(Control* control, unsigned id, unsigned periodMs);
    bool KillTimer(Control* control, unsigned id);
    void KillTimers(Control* control);
    bool HasTimer(Control* control, unsigned id) const;

    // --- controls' calls
    void Invalidate(const Rect& rect);
    void NeedLayout();
    void SetFocusedControl(Control* control);
    Control* GetFocusedControl() const { return focus_; }
    void ControlDestroyed(Control* control);
    bool IsControlAlive(const Control* control) const;
    Size MeasureText(const Control* control, std::wstring_view text) const;
    std::uint64_t Now() const;

    void AddObserver(WindowObserver* observer);
    void RemoveObserver(WindowObserver* observer);

private:
    struct Mailbox;
    class LayoutLoader;

    // HostEvents
    void OnHostPaint(cairo_t* cr, const Rect& dirty) override;
    void OnHostMouseMove(Point point) override;
    void OnHostMouseLeave() override;
    void OnHostButtonDown(Point point) override;
    void OnHostButtonUp(Point point) override;
    void OnHostKeyDown(unsigned virtualKey) override;
    void OnHostChar(wchar_t character) override;
    void OnHostTextEdited(std::wstring text) override;
    void OnHostMoved() override;
    void OnHostResized(Size size, WindowState state) override;
    void OnHostShown(bool shown) override;
    void OnHostActivated() override;
    void OnHostCloseRequest() override;
    void OnHostDestroyed() override;

    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void Destroy();
    bool LoadLayout();
    void EnsureLayout();
    void DeliverNotification(Notification notification);
    void SendEvent(Control* control, EventType type, Point point, std::uintptr_t wParam = 0);
    template <typename Observer>
    void ForEachObserver(Observer&& call);

    std::unique_ptr<WindowHost> host_;
    std::shared_ptr<Mailbox> mailbox_;
    std::unique_ptr<Control> root_;
    std::set<const Control*> alive_;
    std::map<std::wstring, std::wstring> windowAttributes_;
    std::map<int, FontSpec> fonts_;
    FontSpec defaultFont_;
    Size initSize_{};
    Rect caption_{};
    Size roundCorner_{};
    SkinWindowBase* owner_ = nullptr;
    std::uint32_t style_ = 0;
    std::uint32_t exStyle_ = 0;
    bool needLayout_ = true;
    std::uint64_t layoutTextGeneration_ = 0;
    Control* hot_ = nullptr;
    Control* pushed_ = nullptr;
    Control* focus_ = nullptr;
    Point lastMouse_{};
    std::map<std::pair<const Control*, unsigned>, std::uint64_t> timers_;
    std::vector<WindowObserver*> observers_;
    int closeResult_ = 1;
    bool destroyed_ = false;
    void* modalLoop_ = nullptr;
};

// Posts a quit message to the window thread: it ends the innermost modal loop, which posts
// it again after cleaning up, so every nested loop ends.
void PostQuitMessage(int exitCode);
// The code of a quit message that no loop consumed yet.
std::optional<int> PendingQuitCode();
void ClearPendingQuit();

// Runs everything already queued for the calling thread's main context (tests, benchmarks).
void PumpPendingMessages();

// The failure of a layout that cannot be built: a message box "加载资源文件失败" with the
// caption "SkinUI" and an error icon (on screen, when there is one; standard error always),
// then the process exits with code 1.
[[noreturn]] void ReportLayoutFailure();

}  // namespace skin
