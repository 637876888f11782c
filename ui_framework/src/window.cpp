#include "ui_framework/window.h"

#include "ui_framework/controls.h"

#include <utils/log.h>

#include <cairo.h>
#include <glib.h>
#include <gtk/gtk.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

namespace skin {

// ---------------------------------------------------------------- posting to the window thread

struct SkinWindowBase::Mailbox {
    SkinWindowBase* window = nullptr;  // touched on the window thread only
    GMainContext* context = nullptr;

    ~Mailbox() {
        if (context) g_main_context_unref(context);
    }

    static void Post(const std::shared_ptr<Mailbox>& mailbox, std::function<void(SkinWindowBase&)> work) {
        struct Letter {
            std::shared_ptr<Mailbox> mailbox;
            std::function<void(SkinWindowBase&)> work;
        };
        GSource* source = g_idle_source_new();
        g_source_set_priority(source, G_PRIORITY_DEFAULT);
        g_source_set_callback(
            source,
            [](gpointer data) -> gboolean {
                auto* letter = static_cast<Letter*>(data);
                if (letter->mailbox->window) letter->work(*letter->mailbox->window);
                return G_SOURCE_REMOVE;
            },
            new Letter{mailbox, std::move(work)}, [](gpointer data) { delete static_cast<Letter*>(data); });
        g_source_attach(source, mailbox->context);
        g_source_unref(source);
    }
};

namespace {

struct ModalLoop {
    GMainLoop* loop;
    std::optional<int> quitCode;
};

// The nested loops of the window thread, innermost last.
std::vector<ModalLoop*>& ModalLoops() {
    static std::vector<ModalLoop*> loops;
    return loops;
}

std::optional<int> g_pendingQuit;

void Walk(Control* control, const std::function<void(Control*)>& visit) {
    if (!control) return;
    visit(control);
    if (auto* container = dynamic_cast<Container*>(control))
        for (int i = 0; i < container->GetCount(); ++i) Walk(container->GetItemAt(i), visit);
}

std::unique_ptr<Control> CreateBuiltInControl(std::wstring_view element) {
    if (NameEquals(element, L"Control")) return std::make_unique<Control>();
    if (NameEquals(element, L"Container")) return std::make_unique<Container>();
    if (NameEquals(element, L"VerticalLayout")) return std::make_unique<VerticalLayout>();
    if (NameEquals(element, L"HorizontalLayout")) return std::make_unique<HorizontalLayout>();
    if (NameEquals(element, L"TabLayout")) return std::make_unique<TabLayout>();
    if (NameEquals(element, L"Label") || NameEquals(element, L"Text")) return std::make_unique<LabelControl>();
    if (NameEquals(element, L"Button")) return std::make_unique<ButtonControl>();
    if (NameEquals(element, L"CheckBox") || NameEquals(element, L"Option")) return std::make_unique<CheckBoxControl>();
    if (NameEquals(element, L"Edit")) return std::make_unique<EditControl>();
    if (NameEquals(element, L"Progress")) return std::make_unique<ProgressControl>();
    if (NameEquals(element, L"Combo")) return std::make_unique<ComboControl>();
    return nullptr;
}

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (auto& c : lower)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return lower;
}

}  // namespace

// ---------------------------------------------------------------- layout files

class SkinWindowBase::LayoutLoader {
public:
    explicit LayoutLoader(SkinWindowBase& window) : window_(window) {}

    bool Load(const Bytes& bytes) {
        pugi::xml_document document;
        if (!document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto)) return false;
        pugi::xml_node root = document.first_child();
        while (root && root.type() != pugi::node_element) root = root.next_sibling();
        if (!root || !NameEquals(Widen(root.name()), L"Window")) return false;
        for (pugi::xml_attribute attribute : root.attributes())
            ApplyWindowAttribute(Lower(Widen(attribute.name())), Widen(attribute.value()));
        for (pugi::xml_node node : root.children()) {
            if (node.type() != pugi::node_element) continue;
            const std::wstring element = Widen(node.name());
            if (NameEquals(element, L"Font")) ReadFont(node);
            else if (NameEquals(element, L"Default")) ReadDefault(node);
            else if (NameEquals(element, L"Image")) continue;
            else if (!window_.root_) {
                window_.root_ = Build(node, nullptr);
                if (!window_.root_) return false;
            }
        }
        return window_.root_ != nullptr;
    }

private:
    void ApplyWindowAttribute(const std::wstring& name, const std::wstring& value) {
        window_.windowAttributes_[name] = value;
        Size size;
        Rect rect;
        if (name == L"size" && ParseSize(value, size)) window_.initSize_ = size;
        else if (name == L"caption" && ParseRect(value, rect)) window_.caption_ = rect;
        else if (name == L"roundcorner" && ParseSize(value, size)) window_.roundCorner_ = size;
    }

    void ReadFont(const pugi::xml_node& node) {
        FontSpec font;
        int id = -1;
        bool isDefault = false;
        for (pugi::xml_attribute attribute : node.attributes()) {
            const std::wstring name = Widen(attribute.name());
            const std::wstring value = Widen(attribute.value());
            if (NameEquals(name, L"id")) id = ParseLeadingInt(value);
            else if (NameEquals(name, L"name")) font.face = value;
            else if (NameEquals(name, L"size")) font.size = ParseLeadingInt(value);
            else if (NameEquals(name, L"bold")) font.bold = IsTrueText(value);
            else if (NameEquals(name, L"italic")) font.italic = IsTrueText(value);
            else if (NameEquals(name, L"underline")) font.underline = IsTrueText(value);
            else if (NameEquals(name, L"default")) isDefault = IsTrueText(value);
        }
        if (id >= 0) window_.fonts_[id] = font;
        if (isDefault || window_.fonts_.size() == 1) window_.defaultFont_ = font;
    }

    void ReadDefault(const pugi::xml_node& node) {
        const std::wstring element = Lower(Widen(node.attribute("name").value()));
        if (!element.empty()) defaults_[element] = ParseAttributeList(Widen(node.attribute("value").value()));
    }

    std::unique_ptr<Control> Build(const pugi::xml_node& node, Container* parent) {
        const std::wstring element = Widen(node.name());
        std::unique_ptr<Control> control = CreateBuiltInControl(element);
        if (!control) control = window_.CreateCustomControl(element);
        if (!control) {
            UTILS_LOG_LINE(L"unknown layout element %s skipped", element);
            return nullptr;
        }
        control->AttachWindow(&window_, parent);
        if (auto found = defaults_.find(Lower(element)); found != defaults_.end())
            for (const auto& [name, value] : found->second) control->SetAttribute(name, value);
        for (pugi::xml_attribute attribute : node.attributes())
            control->SetAttribute(Widen(attribute.name()), Widen(attribute.value()));
        if (auto* combo = dynamic_cast<ComboControl*>(control.get())) {
            for (pugi::xml_node item : node.children())
                if (item.type() == pugi::node_element) combo->AddItem(Widen(item.attribute("text").value()));
        } else if (auto* container = dynamic_cast<Container*>(control.get())) {
            for (pugi::xml_node child : node.children()) {
                if (child.type() != pugi::node_element) continue;
                if (auto built = Build(child, container)) container->Add(std::move(built));
            }
        }
        return control;
    }

    SkinWindowBase& window_;
    std::map<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>> defaults_;
};

// ---------------------------------------------------------------- window

SkinWindowBase::SkinWindowBase() : mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->window = this;
    mailbox_->context = g_main_context_ref_thread_default();
}

SkinWindowBase::~SkinWindowBase() {
    Destroy();
    for (auto& [key, handle] : timers_) host_->Timers().Stop(handle);
    timers_.clear();
    mailbox_->window = nullptr;
    observers_.clear();
    root_.reset();
    alive_.clear();
}

std::unique_ptr<Control> SkinWindowBase::CreateCustomControl(std::wstring_view) { return nullptr; }

void SkinWindowBase::OnNotification(Notification& notification) {
    if (notification.type == L"click") OnControlClick(notification);
}

void SkinWindowBase::OnControlClick(Notification& notification) {
    if (!notification.sender) return;
    const std::wstring& name = notification.sender->GetName();
    if (name == L"closebtn") Close(1);
    else if (name == L"minbtn") SendMessage(msg::kSysCommand, kScMinimize);
    else if (name == L"maxbtn") SendMessage(msg::kSysCommand, kScMaximize);
    else if (name == L"restorebtn") SendMessage(msg::kSysCommand, kScRestore);
}

std::intptr_t SkinWindowBase::FilterWindowMessage(unsigned, std::uintptr_t, std::intptr_t, bool&) { return 0; }

std::intptr_t SkinWindowBase::FilterKeyboardMessage(unsigned message, std::uintptr_t wParam, std::intptr_t,
                                                    bool& handled) {
    if (message == msg::kKeyDown && wParam == kVkEscape) {
        Close(1);
        handled = true;
    }
    return 0;
}

std::intptr_t SkinWindowBase::OnSysCommand(std::uintptr_t command, bool& handled) {
    if (!host_) return 0;
    handled = true;
    switch (command & 0xFFF0) {
        case kScMinimize: host_->SetState(WindowState::Minimized); break;
        case kScMaximize: host_->SetState(WindowState::Maximized); break;
        case kScRestore: host_->SetState(WindowState::Normal); break;
        case kScClose: PostMessage(msg::kClose, 0); break;
        default: handled = false; break;
    }
    return 0;
}

std::intptr_t SkinWindowBase::OnAppMessage(unsigned, std::uintptr_t, std::intptr_t, bool&) { return 0; }

bool SkinWindowBase::LoadLayout() {
    if (GetResourceType() == ResourceType::PackagedArchive && !Resources::Instance().UsePackagedArchive(GetResourceId()))
        return false;
    std::wstring path = GetSkinFolder();
    if (!path.empty() && path.back() != L'/' && path.back() != L'\\') path += L'/';
    path += GetSkinFile();
    auto bytes = Resources::Instance().LoadFile(path);
    if (!bytes) return false;
    root_.reset();
    if (!LayoutLoader(*this).Load(*bytes)) return false;
    Walk(root_.get(), [this](Control* control) {
        control->AttachWindow(this, control->GetParent());
        alive_.insert(control);
    });
    return true;
}

bool SkinWindowBase::Create(SkinWindowBase* owner, std::wstring_view title, std::uint32_t style,
                            std::uint32_t exStyle, int x, int y, int width, int height, void*) {
    if (IsWindow()) return false;
    owner_ = owner;
    style_ = style;
    exStyle_ = exStyle;
    destroyed_ = false;
    host_ = CreateHost();
    if (!host_) return false;
    if (!LoadLayout()) ReportLayoutFailure();
    Walk(root_.get(), [](Control* control) { control->DoInit(); });
    if (width <= 0 || width == kUseDefault) width = initSize_.cx;
    if (height <= 0 || height == kUseDefault) height = initSize_.cy;
    if (x == kUseDefault) x = 0;
    if (y == kUseDefault) y = 0;
    HostCreateParams params;
    params.title = title;
    params.owner = owner ? owner->host_.get() : nullptr;
    params.rect = {x, y, x + std::max(width, 1), y + std::max(height, 1)};
    params.topmost = (exStyle & kWsExTopmost) != 0;
    if (!host_->Create(this, params)) return false;
    host_->SetShape(GetWindowShape());
    needLayout_ = true;
    OnLayoutReady();
    if (style_ & kWsVisible) ShowWindow(true, true);
    return true;
}

void SkinWindowBase::CenterOnOwner() {
    if (!IsWindow()) return;
    const Rect rect = host_->GetScreenRect();
    const Rect work = host_->GetWorkArea();
    Rect around = work;
    if (owner_ && owner_->IsVisible() && owner_->GetState() != WindowState::Minimized) around = owner_->GetScreenRect();
    int x = around.left + (around.Width() - rect.Width()) / 2;
    int y = around.top + (around.Height() - rect.Height()) / 2;
    x = std::max(work.left, std::min(x, work.right - rect.Width()));
    y = std::max(work.top, std::min(y, work.bottom - rect.Height()));
    MoveWindow(x, y);
}

void SkinWindowBase::MoveWindow(int x, int y) {
    if (!IsWindow()) return;
    const Rect rect = host_->GetScreenRect();
    host_->SetScreenRect({x, y, x + rect.Width(), y + rect.Height()});
}

void SkinWindowBase::ShowWindow(bool show, bool activate) {
    if (!IsWindow()) return;
    style_ = show ? (style_ | kWsVisible) : (style_ & ~kWsVisible);
    host_->Show(show, activate);
}

int SkinWindowBase::RunModal() {
    if (!IsWindow()) return closeResult_;
    ShowWindow(true, true);
    const bool disableOwner = owner_ && owner_->IsWindow() && owner_->host_->IsEnabled();
    if (disableOwner) owner_->host_->SetEnabled(false);
    ModalLoop loop{g_main_loop_new(mailbox_->context, FALSE), std::nullopt};
    ModalLoops().push_back(&loop);
    modalLoop_ = &loop;
    if (!destroyed_) g_main_loop_run(loop.loop);
    modalLoop_ = nullptr;
    std::erase(ModalLoops(), &loop);
    g_main_loop_unref(loop.loop);
    if (disableOwner && owner_->IsWindow()) {
        owner_->host_->SetEnabled(true);
        owner_->host_->Activate();
    }
    if (loop.quitCode) PostQuitMessage(*loop.quitCode);
    return closeResult_;
}

void SkinWindowBase::Close(int result) { PostMessage(msg::kClose, static_cast<std::uintptr_t>(result)); }

bool SkinWindowBase::SetIcon(int resourceId) {
    auto blob = Resources::Instance().FindPackagedResource(L"ICON", resourceId);
    if (!blob || !IsWindow()) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(blob->first);
    host_->SetIcon(Bytes(bytes, bytes + blob->second));
    return true;
}

void SkinWindowBase::PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    Mailbox::Post(mailbox_, [message, wParam, lParam](SkinWindowBase& window) {
        window.HandleMessage(message, wParam, lParam);
    });
}

std::intptr_t SkinWindowBase::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return HandleMessage(message, wParam, lParam);
}

std::intptr_t SkinWindowBase::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (destroyed_ && message != msg::kDestroy) return 0;
    bool handled = false;
    std::intptr_t result = FilterWindowMessage(message, wParam, lParam, handled);
    if (handled) return result;
    if (message == msg::kKeyDown || message == msg::kChar) {
        result = FilterKeyboardMessage(message, wParam, lParam, handled);
        if (handled) return result;
    }
    switch (message) {
        case msg::kClose:
            closeResult_ = static_cast<int>(wParam);
            Destroy();
            return 0;
        case msg::kDestroy: Destroy(); return 0;
        case msg::kSysCommand:
            result = OnSysCommand(wParam, handled);
            if (handled) return result;
            break;
        case msg::kKeyDown:
            if (focus_) SendEvent(focus_, EventType::KeyDown, lastMouse_, wParam);
            return 0;
        case msg::kChar:
            if (focus_) SendEvent(focus_, EventType::Char, lastMouse_, wParam);
            return 0;
        default: break;
    }
    return OnAppMessage(message, wParam, lParam, handled);
}

void SkinWindowBase::Destroy() {
    if (destroyed_ || !host_) return;
    destroyed_ = true;
    ForEachObserver([this](WindowObserver& observer) { observer.OnWindowDestroyed(*this); });
    for (auto& [key, handle] : timers_) host_->Timers().Stop(handle);
    timers_.clear();
    if (host_->Exists()) host_->Destroy();
    if (modalLoop_) g_main_loop_quit(static_cast<ModalLoop*>(modalLoop_)->loop);
}

void* SkinWindowBase::GetNativeHandle() const { return host_ ? host_->NativeHandle() : nullptr; }

void SkinWindowBase::SetStyle(std::uint32_t style) { style_ = style; }

void SkinWindowBase::SetExStyle(std::uint32_t exStyle) {
    exStyle_ = exStyle;
    if (IsWindow()) host_->SetTopmost((exStyle & kWsExTopmost) != 0);
}

Control* SkinWindowBase::FindControl(std::wstring_view name) const {
    return root_ && !name.empty() ? root_->FindControlByName(name) : nullptr;
}

Control* SkinWindowBase::FindControlAt(Point point) {
    EnsureLayout();
    return root_ ? root_->FindControlAt(point) : nullptr;
}

std::optional<std::wstring> SkinWindowBase::GetWindowAttribute(std::wstring_view name) const {
    auto found = windowAttributes_.find(Lower(name));
    if (found == windowAttributes_.end()) return std::nullopt;
    return found->second;
}

Shape SkinWindowBase::GetWindowShape() const {
    const Rect rect = GetScreenRect();
    return RoundRectShape(rect.Width(), rect.Height(), roundCorner_.cx, roundCorner_.cy);
}

const FontSpec& SkinWindowBase::GetFont(int id) const {
    auto found = fonts_.find(id);
    return found == fonts_.end() ? defaultFont_ : found->second;
}

void SkinWindowBase::Relayout() {
    NeedLayout();
    EnsureLayout();
}

void SkinWindowBase::EnsureLayout() {
    if (!root_) return;
    const std::uint64_t generation = Resources::Instance().TextGeneration();
    if (!needLayout_ && generation == layoutTextGeneration_) return;
    needLayout_ = false;
    layoutTextGeneration_ = generation;
    const Rect screen = GetScreenRect();
    const Size size = screen.IsEmpty() ? initSize_ : Size{screen.Width(), screen.Height()};
    root_->SetPos({0, 0, size.cx, size.cy});
    Invalidate({0, 0, size.cx, size.cy});
}

void SkinWindowBase::SendNotify(Control* sender, std::wstring_view type, std::uintptr_t wParam, std::intptr_t lParam,
                                bool async) {
    Notification notification;
    notification.type = type;
    notification.sender = sender;
    notification.wParam = wParam;
    notification.lParam = lParam;
    if (!async) {
        DeliverNotification(std::move(notification));
        return;
    }
    Mailbox::Post(mailbox_, [notification = std::move(notification)](SkinWindowBase& window) mutable {
        if (window.destroyed_) return;
        window.DeliverNotification(std::move(notification));
    });
}

void SkinWindowBase::DeliverNotification(Notification notification) {
    // A control may be gone before a queued notification of it arrives.
    if (notification.sender && !IsControlAlive(notification.sender)) return;
    if (notification.sender) notification.virtualWindow = notification.sender->GetVirtualWindow();
    notification.timestamp = Now();
    notification.mouse = lastMouse_;
    OnNotification(notification);
}

bool SkinWindowBase::SetTimer(Control* control, unsigned id, unsigned periodMs) {
    if (!control || !host_ || destroyed_ || !IsControlAlive(control)) return false;
    KillTimer(control, id);
    timers_[{control, id}] = host_->Timers().Start(periodMs, [this, control, id] {
        if (!IsControlAlive(control)) return;
        ControlEvent event{EventType::Timer, lastMouse_, id, 0, Now()};
        control->DoEvent(event);
    });
    return true;
}

bool SkinWindowBase::KillTimer(Control* control, unsigned id) {
    auto found = timers_.find({control, id});
    if (found == timers_.end()) return false;
    host_->Timers().Stop(found->second);
    timers_.erase(found);
    return true;
}

void SkinWindowBase::KillTimers(Control* control) {
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == control) {
            host_->Timers().Stop(it->second);
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool SkinWindowBase::HasTimer(Control* control, unsigned id) const { return timers_.contains({control, id}); }

void SkinWindowBase::Invalidate(const Rect& rect) {
    if (host_ && host_->Exists() && !rect.IsEmpty()) host_->Invalidate(rect);
}

void SkinWindowBase::NeedLayout() {
    needLayout_ = true;
    const Rect screen = GetScreenRect();
    Invalidate({0, 0, screen.Width(), screen.Height()});
}

void SkinWindowBase::SetFocusedControl(Control* control) {
    if (control == focus_) return;
    Control* old = focus_;
    focus_ = control;
    if (old && IsControlAlive(old)) SendEvent(old, EventType::KillFocus, lastMouse_);
    if (focus_) SendEvent(focus_, EventType::SetFocus, lastMouse_);
}

void SkinWindowBase::ControlDestroyed(Control* control) {
    alive_.erase(control);
    if (host_) KillTimers(control);
    if (hot_ == control) hot_ = nullptr;
    if (pushed_ == control) pushed_ = nullptr;
    if (focus_ == control) focus_ = nullptr;
}

bool SkinWindowBase::IsControlAlive(const Control* control) const { return alive_.contains(control); }

Size SkinWindowBase::MeasureText(const Control* control, std::wstring_view text) const {
    if (const auto* label = dynamic_cast<const LabelControl*>(control)) {
        Size size = skin::MeasureText(text, GetFont(label->GetFont()), label->GetTextStyle(),
                                      label->GetPos().Width() - label->GetTextPadding().left -
                                          label->GetTextPadding().right);
        return size;
    }
    return skin::MeasureText(text, defaultFont_, kTextSingleLine);
}

std::uint64_t SkinWindowBase::Now() const { return host_ ? host_->Timers().NowMs() : 0; }

void SkinWindowBase::AddObserver(WindowObserver* observer) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) observers_.push_back(observer);
}

void SkinWindowBase::RemoveObserver(WindowObserver* observer) { std::erase(observers_, observer); }

template <typename Observer>
void SkinWindowBase::ForEachObserver(Observer&& call) {
    const auto observers = observers_;
    for (WindowObserver* observer : observers)
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) call(*observer);
}

void SkinWindowBase::SendEvent(Control* control, EventType type, Point point, std::uintptr_t wParam) {
    if (!control || !IsControlAlive(control)) return;
    ControlEvent event{type, point, wParam, 0, Now()};
    control->DoEvent(event);
}

// ---------------------------------------------------------------- host events

void SkinWindowBase::OnHostPaint(cairo_t* cr, const Rect& dirty) {
    EnsureLayout();
    if (root_) root_->DoPaint(cr, dirty);
    ForEachObserver([this](WindowObserver& observer) { observer.OnWindowPainted(*this); });
}

void SkinWindowBase::OnHostMouseMove(Point point) {
    lastMouse_ = point;
    Control* over = FindControlAt(point);
    if (over && !over->IsEnabled()) over = nullptr;
    if (over != hot_) {
        Control* old = hot_;
        hot_ = over;
        SendEvent(old, EventType::MouseLeave, point);
        SendEvent(hot_, EventType::MouseEnter, point);
    }
    if (pushed_) SendEvent(pushed_, EventType::MouseMove, point);
    else if (hot_) SendEvent(hot_, EventType::MouseMove, point);
}

void SkinWindowBase::OnHostMouseLeave() {
    Control* old = hot_;
    hot_ = nullptr;
    SendEvent(old, EventType::MouseLeave, lastMouse_);
}

void SkinWindowBase::OnHostButtonDown(Point point) {
    lastMouse_ = point;
    Control* target = FindControlAt(point);
    if (!target) return;
    const Rect client = {0, 0, GetScreenRect().Width(), GetScreenRect().Height()};
    // The caption's right edge is an inset from the window's right edge; its bottom is a height.
    const Rect captionBand = {caption_.left, caption_.top, client.right - caption_.right, caption_.bottom};
    if (captionBand.Contains(point) && !target->IsInteractive()) {
        SetFocusedControl(nullptr);
        host_->BeginMoveDrag(point);
        return;
    }
    if (!target->IsEnabled()) return;
    SetFocusedControl(target->IsInteractive() ? target : nullptr);
    pushed_ = target;
    SendEvent(target, EventType::ButtonDown, point);
}

void SkinWindowBase::OnHostButtonUp(Point point) {
    lastMouse_ = point;
    Control* target = pushed_;
    pushed_ = nullptr;
    SendEvent(target, EventType::ButtonUp, point);
}

void SkinWindowBase::OnHostKeyDown(unsigned virtualKey) { HandleMessage(msg::kKeyDown, virtualKey, 0); }

void SkinWindowBase::OnHostChar(wchar_t character) {
    HandleMessage(msg::kChar, static_cast<std::uintptr_t>(character), 0);
}

void SkinWindowBase::OnHostTextEdited(std::wstring text) {
    if (auto* edit = dynamic_cast<EditControl*>(focus_)) edit->TakeTextFromHost(std::move(text));
}

void SkinWindowBase::OnHostMoved() {
    ForEachObserver([this](WindowObserver& observer) { observer.OnWindowMoved(*this); });
}

void SkinWindowBase::OnHostResized(Size size, WindowState state) {
    if (state == WindowState::Normal || state == WindowState::Maximized) {
        NeedLayout();
        host_->SetShape(GetWindowShape());
    }
    ForEachObserver([&](WindowObserver& observer) { observer.OnWindowSized(*this, size, state); });
}

void SkinWindowBase::OnHostShown(bool shown) {
    ForEachObserver([&](WindowObserver& observer) { observer.OnWindowShown(*this, shown); });
}

void SkinWindowBase::OnHostActivated() {
    ForEachObserver([this](WindowObserver& observer) { observer.OnWindowActivated(*this); });
}

void SkinWindowBase::OnHostCloseRequest() { SendMessage(msg::kClose, 0); }

void SkinWindowBase::OnHostDestroyed() {
    if (!destroyed_) Destroy();
}

// ---------------------------------------------------------------- process-wide

void PostQuitMessage(int exitCode) {
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            const int code = static_cast<int>(reinterpret_cast<std::intptr_t>(data));
            auto& loops = ModalLoops();
            if (loops.empty()) {
                g_pendingQuit = code;
            } else {
                loops.back()->quitCode = code;
                g_main_loop_quit(loops.back()->loop);
            }
            return G_SOURCE_REMOVE;
        },
        reinterpret_cast<gpointer>(static_cast<std::intptr_t>(exitCode)), nullptr);
}

std::optional<int> PendingQuitCode() { return g_pendingQuit; }

void ClearPendingQuit() { g_pendingQuit.reset(); }

void PumpPendingMessages() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

void ReportLayoutFailure() {
    static const char kText[] = "加载资源文件失败";
    std::fprintf(stderr, "SkinUI: %s\n", kText);
    std::fflush(stderr);
    // Only a program that already shows windows on a display gets the message box; GTK is
    // not brought up here just for it.
    if (GtkInitialised()) {
        GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", kText);
        gtk_window_set_title(GTK_WINDOW(dialog), "SkinUI");
        gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
    }
    std::exit(1);
}

}  // namespace skin
