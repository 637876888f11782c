#include "ui_framework/host.h"
#include "ui_framework/offscreen_host.h"

#include <utils/log.h>

#include <cairo.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace skin {

namespace {

HostFactory& Factory() {
    static HostFactory factory;
    return factory;
}

struct RegionDeleter {
    void operator()(cairo_region_t* region) const { cairo_region_destroy(region); }
};
using RegionPtr = std::unique_ptr<cairo_region_t, RegionDeleter>;

// The shape as a region; null for a full rectangle (no shaping needed).
RegionPtr RegionFromShape(const Shape& shape, int width) {
    bool full = true;
    for (const RowSpan& row : shape)
        if (!row || row->first != 0 || row->second != width) full = false;
    if (full) return nullptr;
    RegionPtr region(cairo_region_create());
    for (std::size_t y = 0; y < shape.size(); ++y) {
        if (!shape[y]) continue;
        cairo_rectangle_int_t line{shape[y]->first, static_cast<int>(y), shape[y]->second - shape[y]->first, 1};
        cairo_region_union_rectangle(region.get(), &line);
    }
    return region;
}

unsigned VirtualKeyFromGdk(guint keyval) {
    switch (keyval) {
        case GDK_KEY_Escape: return kVkEscape;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter: return kVkReturn;
        case GDK_KEY_BackSpace: return kVkBack;
        case GDK_KEY_Tab: return kVkTab;
        case GDK_KEY_Delete: return kVkDelete;
        case GDK_KEY_Left: return kVkLeft;
        case GDK_KEY_Right: return kVkRight;
        case GDK_KEY_Up: return kVkUp;
        case GDK_KEY_Down: return kVkDown;
        case GDK_KEY_Home: return kVkHome;
        case GDK_KEY_End: return kVkEnd;
        default: break;
    }
    const guint32 unicode = gdk_keyval_to_unicode(keyval);
    if (unicode >= 'a' && unicode <= 'z') return unicode - 'a' + 'A';
    if (unicode >= '0' && unicode <= '9') return unicode;
    if (unicode == ' ') return ' ';
    return 0;
}

// A click-through popup with per-pixel alpha.
class GtkLayeredWindow : public LayeredWindow {
public:
    explicit GtkLayeredWindow(GtkWindow* owner) {
        window_ = gtk_window_new(GTK_WINDOW_POPUP);
        g_object_ref_sink(window_);
        GdkScreen* screen = gtk_widget_get_screen(window_);
        if (GdkVisual* visual = gdk_screen_get_rgba_visual(screen)) gtk_widget_set_visual(window_, visual);
        gtk_widget_set_app_paintable(window_, TRUE);
        gtk_window_set_accept_focus(GTK_WINDOW(window_), FALSE);
        gtk_window_set_focus_on_map(GTK_WINDOW(window_), FALSE);
        gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_TOOLTIP);
        if (owner) gtk_window_set_transient_for(GTK_WINDOW(window_), owner);
        gtk_widget_set_name(window_, "SkinShadowWnd");
        g_signal_connect(window_, "draw", G_CALLBACK(&GtkLayeredWindow::Draw), this);
        // No pixel of the shadow takes input: clicks reach whatever lies below.
        RegionPtr empty(cairo_region_create());
        gtk_widget_input_shape_combine_region(window_, empty.get());
        gtk_widget_realize(window_);
    }

    ~GtkLayeredWindow() override {
        g_signal_handlers_disconnect_by_data(window_, this);
        gtk_widget_destroy(window_);
        g_object_unref(window_);
    }

    void Update(const Rect& screenRect, const std::vector<std::uint32_t>& pixels) override {
        const int width = std::max(screenRect.Width(), 1), height = std::max(screenRect.Height(), 1);
        image_ = std::shared_ptr<cairo_surface_t>(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height),
                                                  &cairo_surface_destroy);
        cairo_surface_flush(image_.get());
        auto* data = cairo_image_surface_get_data(image_.get());
        const int stride = cairo_image_surface_get_stride(image_.get());
        if (pixels.size() >= static_cast<std::size_t>(screenRect.Width()) * screenRect.Height())
            for (int y = 0; y < screenRect.Height(); ++y)
                std::memcpy(data + y * stride, pixels.data() + static_cast<std::size_t>(y) * screenRect.Width(),
                            static_cast<std::size_t>(screenRect.Width()) * 4);
        cairo_surface_mark_dirty(image_.get());
        rect_ = screenRect;
        gtk_widget_set_size_request(window_, width, height);
        gtk_window_resize(GTK_WINDOW(window_), width, height);
        gtk_window_move(GTK_WINDOW(window_), screenRect.left, screenRect.top);
        gtk_widget_queue_draw(window_);
    }

    void Move(Point topLeft) override {
        rect_ = rect_.Offset(topLeft.x - rect_.left, topLeft.y - rect_.top);
        gtk_window_move(GTK_WINDOW(window_), topLeft.x, topLeft.y);
    }

    void Show(bool show) override {
        if (show) gtk_widget_show(window_);
        else gtk_widget_hide(window_);
    }

    bool IsShown() const override { return gtk_widget_get_visible(window_); }
    Rect ScreenRect() const override { return rect_; }
    void* NativeHandle() const override { return window_; }

private:
    static gboolean Draw(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* self = static_cast<GtkLayeredWindow*>(data);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        if (self->image_) cairo_set_source_surface(cr, self->image_.get(), 0, 0);
        else cairo_set_source_rgba(cr, 0, 0, 0, 0);
        cairo_paint(cr);
        return TRUE;
    }

    GtkWidget* window_ = nullptr;
    std::shared_ptr<cairo_surface_t> image_;
    Rect rect_{};
};

class GtkHost : public WindowHost {
public:
    GtkHost() : timers_(MakeGLibTimerService()) {}
    ~GtkHost() override { Destroy(); }

    bool Create(HostEvents* events, const HostCreateParams& params) override {
        events_ = events;
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        g_object_ref_sink(window_);
        gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
        SetTitle(params.title);
        if (params.owner && params.owner->NativeHandle())
            gtk_window_set_transient_for(GTK_WINDOW(window_), GTK_WINDOW(params.owner->NativeHandle()));
        gtk_window_set_keep_above(GTK_WINDOW(window_), params.topmost);
        rect_ = params.rect;
        gtk_window_set_default_size(GTK_WINDOW(window_), rect_.Width(), rect_.Height());
        gtk_window_move(GTK_WINDOW(window_), rect_.left, rect_.top);

        fixed_ = gtk_fixed_new();
        area_ = gtk_drawing_area_new();
        gtk_widget_set_size_request(area_, rect_.Width(), rect_.Height());
        gtk_widget_set_can_focus(area_, TRUE);
        gtk_widget_add_events(area_, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                         GDK_LEAVE_NOTIFY_MASK | GDK_KEY_PRESS_MASK);
        gtk_fixed_put(GTK_FIXED(fixed_), area_, 0, 0);
        entry_ = gtk_entry_new();
        gtk_widget_set_no_show_all(entry_, TRUE);
        gtk_entry_set_has_frame(GTK_ENTRY(entry_), FALSE);
        gtk_fixed_put(GTK_FIXED(fixed_), entry_, 0, 0);
        gtk_container_add(GTK_CONTAINER(window_), fixed_);
        gtk_widget_show(fixed_);
        gtk_widget_show(area_);

        g_signal_connect(area_, "draw", G_CALLBACK(&GtkHost::OnDraw), this);
        g_signal_connect(area_, "motion-notify-event", G_CALLBACK(&GtkHost::OnMotion), this);
        g_signal_connect(area_, "button-press-event", G_CALLBACK(&GtkHost::OnButtonPress), this);
        g_signal_connect(area_, "button-release-event", G_CALLBACK(&GtkHost::OnButtonRelease), this);
        g_signal_connect(area_, "leave-notify-event", G_CALLBACK(&GtkHost::OnLeave), this);
        g_signal_connect(window_, "key-press-event", G_CALLBACK(&GtkHost::OnKeyPress), this);
        g_signal_connect(window_, "configure-event", G_CALLBACK(&GtkHost::OnConfigure), this);
        g_signal_connect(window_, "window-state-event", G_CALLBACK(&GtkHost::OnWindowState), this);
        g_signal_connect(window_, "show", G_CALLBACK(&GtkHost::OnShow), this);
        g_signal_connect(window_, "hide", G_CALLBACK(&GtkHost::OnHide), this);
        g_signal_connect(window_, "focus-in-event", G_CALLBACK(&GtkHost::OnFocusIn), this);
        g_signal_connect(window_, "delete-event", G_CALLBACK(&GtkHost::OnDelete), this);
        g_signal_connect(window_, "destroy", G_CALLBACK(&GtkHost::OnDestroy), this);
        g_signal_connect(entry_, "changed", G_CALLBACK(&GtkHost::OnEntryChanged), this);
        gtk_widget_realize(window_);
        return true;
    }

    void Destroy() override {
        if (!window_) return;
        GtkWidget* window = window_;
        window_ = nullptr;
        events_ = nullptr;
        g_signal_handlers_disconnect_by_data(window, this);
        if (area_) g_signal_handlers_disconnect_by_data(area_, this);
        if (entry_) g_signal_handlers_disconnect_by_data(entry_, this);
        area_ = entry_ = fixed_ = nullptr;
        if (menu_) {
            gtk_widget_destroy(menu_);
            menu_ = nullptr;
        }
        gtk_widget_destroy(window);
        g_object_unref(window);
    }

    bool Exists() const override { return window_ != nullptr; }

    void Show(bool show, bool activate) override {
        if (!window_) return;
        if (!show) {
            gtk_widget_hide(window_);
            return;
        }
        gtk_window_set_focus_on_map(GTK_WINDOW(window_), activate);
        gtk_widget_show(window_);
        gtk_window_move(GTK_WINDOW(window_), rect_.left, rect_.top);
        if (activate) gtk_window_present(GTK_WINDOW(window_));
    }

    bool IsVisible() const override { return window_ && gtk_widget_get_visible(window_); }

    void SetState(WindowState state) override {
        if (!window_) return;
        switch (state) {
            case WindowState::Minimized: gtk_window_iconify(GTK_WINDOW(window_)); break;
            case WindowState::Maximized: gtk_window_maximize(GTK_WINDOW(window_)); break;
            case WindowState::Normal:
                gtk_window_deiconify(GTK_WINDOW(window_));
                gtk_window_unmaximize(GTK_WINDOW(window_));
                break;
        }
    }

    WindowState GetState() const override { return state_; }
    Rect GetScreenRect() const override { return rect_; }

    void SetScreenRect(const Rect& rect) override {
        if (!window_) return;
        const bool sized = rect.Width() != rect_.Width() || rect.Height() != rect_.Height();
        const bool moved = rect.left != rect_.left || rect.top != rect_.top;
        rect_ = rect;
        if (sized) {
            gtk_widget_set_size_request(area_, rect.Width(), rect.Height());
            gtk_window_resize(GTK_WINDOW(window_), rect.Width(), rect.Height());
        }
        gtk_window_move(GTK_WINDOW(window_), rect.left, rect.top);
        if (moved && events_) events_->OnHostMoved();
        if (sized && events_) events_->OnHostResized({rect.Width(), rect.Height()}, state_);
    }

    Rect GetWorkArea() const override {
        GdkDisplay* display = gdk_display_get_default();
        GdkMonitor* monitor = nullptr;
        if (window_ && gtk_widget_get_window(window_))
            monitor = gdk_display_get_monitor_at_window(display, gtk_widget_get_window(window_));
        if (!monitor) monitor = gdk_display_get_primary_monitor(display);
        if (!monitor) monitor = gdk_display_get_monitor(display, 0);
        if (!monitor) return {0, 0, 1024, 768};
        GdkRectangle area;
        gdk_monitor_get_workarea(monitor, &area);
        return {area.x, area.y, area.x + area.width, area.y + area.height};
    }

    void SetTitle(const std::wstring& title) override {
        if (window_) gtk_window_set_title(GTK_WINDOW(window_), Narrow(title).c_str());
    }

    void Invalidate(const Rect& rect) override {
        if (area_) gtk_widget_queue_draw_area(area_, rect.left, rect.top, rect.Width(), rect.Height());
    }

    void SetEnabled(bool enabled) override {
        if (window_) gtk_widget_set_sensitive(window_, enabled);
    }
    bool IsEnabled() const override { return window_ && gtk_widget_get_sensitive(window_); }

    void Activate() override {
        if (window_) gtk_window_present(GTK_WINDOW(window_));
    }

    void SetTopmost(bool topmost) override {
        if (window_) gtk_window_set_keep_above(GTK_WINDOW(window_), topmost);
    }

    void SetIcon(const Bytes& png) override {
        if (!window_ || png.empty()) return;
        GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
        if (gdk_pixbuf_loader_write(loader, png.data(), png.size(), nullptr) && gdk_pixbuf_loader_close(loader, nullptr)) {
            if (GdkPixbuf* icon = gdk_pixbuf_loader_get_pixbuf(loader)) gtk_window_set_icon(GTK_WINDOW(window_), icon);
        } else {
            gdk_pixbuf_loader_close(loader, nullptr);
        }
        g_object_unref(loader);
    }

    void SetShape(const Shape& shape) override {
        if (!window_) return;
        RegionPtr region = RegionFromShape(shape, rect_.Width());
        gtk_widget_shape_combine_region(window_, region.get());
        gtk_widget_input_shape_combine_region(window_, region.get());
    }

    void BeginMoveDrag(Point) override {
        if (!window_) return;
        gtk_window_begin_move_drag(GTK_WINDOW(window_), 1, lastPressRootX_, lastPressRootY_, lastPressTime_);
    }

    bool BeginTextEdit(const Rect& area, const std::wstring& text, const FontSpec& font, Color color,
                       bool password) override {
        if (!entry_) return false;
        settingEntry_ = true;
        gtk_entry_set_text(GTK_ENTRY(entry_), Narrow(text).c_str());
        settingEntry_ = false;
        gtk_entry_set_visibility(GTK_ENTRY(entry_), !password);
        ApplyEntryStyle(font, color);
        gtk_widget_set_size_request(entry_, std::max(area.Width(), 1), std::max(area.Height(), 1));
        gtk_fixed_move(GTK_FIXED(fixed_), entry_, area.left, area.top);
        gtk_widget_show(entry_);
        gtk_widget_grab_focus(entry_);
        gtk_editable_set_position(GTK_EDITABLE(entry_), -1);
        return true;
    }

    void EndTextEdit() override {
        if (!entry_) return;
        gtk_widget_hide(entry_);
        gtk_widget_grab_focus(area_);
    }

    void ShowPopupList(const Rect& area, const std::vector<std::wstring>& items, int current,
                       std::function<void(int)> onChosen) override {
        if (!window_) return;
        if (menu_) gtk_widget_destroy(menu_);
        menu_ = gtk_menu_new();
        popupChosen_ = std::move(onChosen);
        for (std::size_t i = 0; i < items.size(); ++i) {
            GtkWidget* item = gtk_check_menu_item_new_with_label(Narrow(items[i]).c_str());
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), static_cast<int>(i) == current);
            g_object_set_data(G_OBJECT(item), "skin-index", GINT_TO_POINTER(static_cast<int>(i)));
            g_signal_connect(item, "activate", G_CALLBACK(&GtkHost::OnMenuItem), this);
            gtk_menu_shell_append(GTK_MENU_SHELL(menu_), item);
        }
        gtk_widget_show_all(menu_);
        GdkRectangle anchor{area.left, area.top, area.Width(), area.Height()};
        gtk_menu_popup_at_rect(GTK_MENU(menu_), gtk_widget_get_window(area_), &anchor, GDK_GRAVITY_SOUTH_WEST,
                               GDK_GRAVITY_NORTH_WEST, nullptr);
    }

    void* NativeHandle() const override { return window_; }

    std::unique_ptr<LayeredWindow> CreateLayeredWindow() override {
        if (!window_ || !gdk_screen_is_composited(gtk_widget_get_screen(window_))) return nullptr;
        if (!gdk_screen_get_rgba_visual(gtk_widget_get_screen(window_))) return nullptr;
        return std::make_unique<GtkLayeredWindow>(GTK_WINDOW(window_));
    }

    TimerService& Timers() override { return *timers_; }

private:
    void ApplyEntryStyle(const FontSpec& font, Color color) {
        const std::string css = "entry { font-family: \"" + Narrow(font.face) + "\"; font-size: " +
                                std::to_string(std::max(font.size, 1)) + "px; color: rgba(" +
                                std::to_string((color >> 16) & 0xFF) + "," + std::to_string((color >> 8) & 0xFF) + "," +
                                std::to_string(color & 0xFF) +
                                ",1); background: transparent; border: none; box-shadow: none; padding: 0; "
                                "min-height: 0; }";
        if (!css_) {
            css_ = gtk_css_provider_new();
            gtk_style_context_add_provider(gtk_widget_get_style_context(entry_), GTK_STYLE_PROVIDER(css_),
                                           GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        }
        gtk_css_provider_load_from_data(css_, css.c_str(), -1, nullptr);
    }

    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (!self->events_) return FALSE;
        double x1, y1, x2, y2;
        cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
        self->events_->OnHostPaint(cr, {static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2 + 0.999),
                                        static_cast<int>(y2 + 0.999)});
        return TRUE;
    }

    static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (self->events_) self->events_->OnHostMouseMove({static_cast<int>(event->x), static_cast<int>(event->y)});
        return TRUE;
    }

    static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (!self->events_ || event->button != 1 || event->type != GDK_BUTTON_PRESS) return FALSE;
        self->lastPressRootX_ = static_cast<int>(event->x_root);
        self->lastPressRootY_ = static_cast<int>(event->y_root);
        self->lastPressTime_ = event->time;
        self->events_->OnHostButtonDown({static_cast<int>(event->x), static_cast<int>(event->y)});
        return TRUE;
    }

    static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (!self->events_ || event->button != 1) return FALSE;
        self->events_->OnHostButtonUp({static_cast<int>(event->x), static_cast<int>(event->y)});
        return TRUE;
    }

    static gboolean OnLeave(GtkWidget*, GdkEventCrossing*, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (self->events_) self->events_->OnHostMouseLeave();
        return FALSE;
    }

    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (!self->events_) return FALSE;
        const unsigned key = VirtualKeyFromGdk(event->keyval);
        const bool inEntry = self->entry_ && gtk_widget_has_focus(self->entry_);
        // The native entry takes its own keys; Escape, Return and Tab still reach the window.
        if (inEntry && key != kVkEscape && key != kVkReturn && key != kVkTab) return FALSE;
        if (key) self->events_->OnHostKeyDown(key);
        const guint32 unicode = gdk_keyval_to_unicode(event->keyval);
        if (!inEntry && unicode >= 0x20 && self->events_) self->events_->OnHostChar(static_cast<wchar_t>(unicode));
        return TRUE;
    }

    static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (!self->events_) return FALSE;
        int x = event->x, y = event->y;
        if (GdkWindow* window = gtk_widget_get_window(widget)) gdk_window_get_origin(window, &x, &y);
        const bool moved = x != self->rect_.left || y != self->rect_.top;
        const bool sized = event->width != self->rect_.Width() || event->height != self->rect_.Height();
        self->rect_ = {x, y, x + event->width, y + event->height};
        if (sized) {
            gtk_widget_set_size_request(self->area_, event->width, event->height);
            self->events_->OnHostResized({event->width, event->height}, self->state_);
        }
        if (moved && self->events_) self->events_->OnHostMoved();
        return FALSE;
    }

    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        WindowState state = WindowState::Normal;
        if (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) state = WindowState::Minimized;
        else if (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) state = WindowState::Maximized;
        if (state == self->state_) return FALSE;
        self->state_ = state;
        if (self->events_) self->events_->OnHostResized({self->rect_.Width(), self->rect_.Height()}, state);
        return FALSE;
    }

    static void OnShow(GtkWidget*, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (self->events_) self->events_->OnHostShown(true);
    }

    static void OnHide(GtkWidget*, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (self->events_) self->events_->OnHostShown(false);
    }

    static gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (self->events_) self->events_->OnHostActivated();
        return FALSE;
    }

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (self->events_) self->events_->OnHostCloseRequest();
        return TRUE;
    }

    static void OnDestroy(GtkWidget*, gpointer data) {
        // Destroyed from outside (not through Destroy, which disconnects first).
        auto* self = static_cast<GtkHost*>(data);
        HostEvents* events = self->events_;
        self->events_ = nullptr;
        if (events) events->OnHostDestroyed();
    }

    static void OnEntryChanged(GtkEditable* editable, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        if (self->settingEntry_ || !self->events_) return;
        self->events_->OnHostTextEdited(Widen(gtk_entry_get_text(GTK_ENTRY(editable))));
    }

    static void OnMenuItem(GtkMenuItem* item, gpointer data) {
        auto* self = static_cast<GtkHost*>(data);
        const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "skin-index"));
        auto chosen = self->popupChosen_;
        if (chosen) chosen(index);
    }

    HostEvents* events_ = nullptr;
    std::unique_ptr<TimerService> timers_;
    GtkWidget* window_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    GtkWidget* area_ = nullptr;
    GtkWidget* entry_ = nullptr;
    GtkWidget* menu_ = nullptr;
    GtkCssProvider* css_ = nullptr;
    std::function<void(int)> popupChosen_;
    Rect rect_{};
    WindowState state_ = WindowState::Normal;
    int lastPressRootX_ = 0, lastPressRootY_ = 0;
    guint32 lastPressTime_ = GDK_CURRENT_TIME;
    bool settingEntry_ = false;
};

}  // namespace

namespace {
std::atomic<bool> g_gtkInitialised{false};
}  // namespace

bool GtkAvailable() {
    static const bool available = gtk_init_check(nullptr, nullptr) && gdk_display_get_default() != nullptr;
    if (available) g_gtkInitialised = true;
    return available;
}

bool GtkInitialised() { return g_gtkInitialised; }

std::unique_ptr<WindowHost> CreateGtkHost() {
    if (!GtkAvailable()) return nullptr;
    return std::make_unique<GtkHost>();
}

void SetHostFactory(HostFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<WindowHost> CreateHost() {
    if (Factory()) return Factory()();
    if (auto host = CreateGtkHost()) return host;
    return std::make_unique<OffscreenHost>();
}

}  // namespace skin
