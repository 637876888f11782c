// Real windows on a private X server (Xvfb): the shadow window with and without a
// compositor, and the caption drag under a window manager. Screenshots go to the build
// folder's screenshots/.
#include "../skin_test_support.h"

#include <installer_ui/shadow_window.h>
#include <installer_ui/skin_frame.h>
#include <ui_framework/resources.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace skin_test {
namespace {

using namespace skin;

// A child process killed and reaped when the object goes.
class Child {
public:
    explicit Child(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
    }
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Waits for a short-lived command; its exit code.
    int Wait() {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
};

// One Xvfb for the whole program (GTK opens its display once).
class XServer : public ::testing::Environment {
public:
    void SetUp() override {
        // Xvfb picks a free display itself and writes its number to the pipe (no race between
        // test programs running side by side).
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server_ = std::make_unique<Child>(std::vector<std::string>{
            "Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        ASSERT_TRUE(server_->Started() && !number.empty()) << "no Xvfb could be started";
        name_ = ":" + number;
        setenv("DISPLAY", name_.c_str(), 1);
        ASSERT_TRUE(GtkAvailable());
    }
    void TearDown() override {
        server_.reset();
        unsetenv("DISPLAY");
    }

private:
    std::string name_;
    std::unique_ptr<Child> server_;
};

::testing::Environment* const g_xserver = ::testing::AddGlobalTestEnvironment(new XServer);

// Runs the main loop until `done` holds or `ms` passed; the final value of `done`.
bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

Rect OriginAndSize(GtkWidget* widget) {
    GdkWindow* window = gtk_widget_get_window(widget);
    if (!window) return {};
    int x = 0, y = 0;
    gdk_window_get_origin(window, &x, &y);
    return {x, y, x + gdk_window_get_width(window), y + gdk_window_get_height(window)};
}

void Screenshot(const std::string& name) {
    std::filesystem::create_directories(QV_SCREENSHOT_DIR);
    GdkWindow* root = gdk_get_default_root_window();
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root));
    ASSERT_NE(shot, nullptr);
    const std::string path = std::string(QV_SCREENSHOT_DIR) + "/" + name + ".png";
    EXPECT_TRUE(gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr)) << path;
    g_object_unref(shot);
}

// The brightness of a root window pixel.
int Brightness(int x, int y) {
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, 1, 1);
    if (!shot) return -1;
    const guchar* p = gdk_pixbuf_get_pixels(shot);
    const int value = (p[0] + p[1] + p[2]) / 3;
    g_object_unref(shot);
    return value;
}

int Xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    Child tool(std::move(args));
    return tool.Wait();
}

constexpr char kLayout[] = R"(<Window size="300,200" caption="0,0,0,35" roundcorner="1,0" showshadow="true"
  shadowsize="6" shadowsharpness="10" shadowdarkness="120" shadowposition="1,1" shadowcolor="#26003B76">
  <VerticalLayout bkcolor="#FFF0F4FA">
    <HorizontalLayout height="35" bkcolor="#FF2060C0"><Control /><Button name="closebtn" width="24" bkcolor="#FFFC3A4E" /></HorizontalLayout>
    <Label text="Quorvane" align="center" textcolor="#FF282A43" />
  </VerticalLayout></Window>)";

class RealWindowXvfb : public SkinFixture {
protected:
    void SetUp() override {
        skin::SetHostFactory(nullptr);  // the GTK host
        CShadowWindow::Initialize();
        UseSkin(kLayout);
    }
    void TearDown() override {
        helpers_.clear();
        PumpFor(100);
    }

    void StartHelper(std::vector<std::string> argv) {
        helpers_.push_back(std::make_unique<Child>(std::move(argv)));
        ASSERT_TRUE(helpers_.back()->Started());
    }

    // A white backdrop under the frame so that the shadow shows in screenshots.
    GtkWidget* Backdrop() {
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
        gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DESKTOP);
        gtk_window_move(GTK_WINDOW(window), 0, 0);
        gtk_window_resize(GTK_WINDOW(window), 1024, 768);
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, "window { background: white; }", -1, nullptr);
        gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
        gtk_widget_show(window);
        return window;
    }

    std::vector<std::unique_ptr<Child>> helpers_;
};

TEST_F(RealWindowXvfb, WithoutCompositorNoShadowWindowExists) {
    ASSERT_FALSE(gdk_screen_is_composited(gdk_screen_get_default()));
    CSkinFrame frame(SkinFrameParams{1, 0, L"", L"test.xml", L"test"});
    ASSERT_TRUE(frame.Create(nullptr, L"Quorvane", kWsVisible, 0, 100, 100, 0, 0));
    auto* window = static_cast<GtkWidget*>(frame.GetNativeHandle());
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(window); }));
    EXPECT_EQ(frame.Shadow().GetLayeredWindow(), nullptr);
    GList* toplevels = gtk_window_list_toplevels();
    EXPECT_EQ(g_list_length(toplevels), 1u) << "the frame alone";
    g_list_free(toplevels);
    EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(window)));
    Screenshot("frame-without-compositor");
}

TEST_F(RealWindowXvfb, RoundCornersShapeTheWindowAndTheEditTypesIntoANativeEntry) {
    UseSkin(R"(<Window size="200,100" roundcorner="16,16"><VerticalLayout bkcolor="#FFFFFFFF">
      <Control height="40" /><Edit name="edit" height="30" textcolor="#FF333333" textpadding="9,0,9,3" bkcolor="#FFDDDDDD" />
      <Control /></VerticalLayout></Window>)");
    TestWindow frame;
    ASSERT_TRUE(frame.Create(nullptr, L"Quorvane", kWsVisible, 0, 100, 100, 0, 0));
    auto* window = static_cast<GtkWidget*>(frame.GetNativeHandle());
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(window); }));
    PumpFor(200);

    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(GDK_WINDOW_XDISPLAY(gdkWindow), GDK_WINDOW_XID(gdkWindow),
                                            ShapeBounding, &count, &ordering);
    int topRowLeft = 1000;
    for (int i = 0; i < count; ++i)
        if (rects[i].y == 0) topRowLeft = std::min<int>(topRowLeft, rects[i].x);
    if (rects) XFree(rects);
    EXPECT_GT(count, 1) << "a rounded outline, not one rectangle";
    EXPECT_GE(topRowLeft, 3) << "the top row starts inside the corner";

    const Rect origin = OriginAndSize(window);
    ASSERT_EQ(Xdotool({"mousemove", std::to_string(origin.left + 100), std::to_string(origin.top + 55)}), 0);
    ASSERT_EQ(Xdotool({"click", "1"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return frame.FindControl(L"edit")->IsFocused(); }));
    PumpFor(200);
    ASSERT_EQ(Xdotool({"type", "--delay", "20", "D:/Apps"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return frame.FindControl(L"edit")->GetText() == L"D:/Apps"; }))
        << skin::Narrow(frame.FindControl(L"edit")->GetText());
    Screenshot("native-entry");
    // Focus elsewhere closes the entry and keeps the text.
    ASSERT_EQ(Xdotool({"mousemove", std::to_string(origin.left + 100), std::to_string(origin.top + 20)}), 0);
    ASSERT_EQ(Xdotool({"click", "1"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return !frame.FindControl(L"edit")->IsFocused(); }));
    EXPECT_EQ(frame.FindControl(L"edit")->GetText(), L"D:/Apps");
}

TEST_F(RealWindowXvfb, WithCompositorAClickThroughShadowFollowsTheFrame) {
    StartHelper({"openbox", "--sm-disable"});
    PumpFor(500);
    StartHelper({"xcompmgr"});
    ASSERT_TRUE(PumpUntil([] { return gdk_screen_is_composited(gdk_screen_get_default()); }))
        << "the compositor did not come up";
    GtkWidget* backdrop = Backdrop();

    CSkinFrame frame(SkinFrameParams{1, 0, L"", L"test.xml", L"test"});
    ASSERT_TRUE(frame.Create(nullptr, L"Quorvane", kWsVisible, 0, 200, 150, 0, 0));
    auto* window = static_cast<GtkWidget*>(frame.GetNativeHandle());
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(window); }));
    LayeredWindow* layered = frame.Shadow().GetLayeredWindow();
    ASSERT_NE(layered, nullptr);
    auto* shadow = static_cast<GtkWidget*>(layered->NativeHandle());

    auto placedRight = [&] {
        const Rect f = OriginAndSize(window), s = OriginAndSize(shadow);
        return gtk_widget_get_mapped(shadow) && s.Width() == f.Width() + 12 && s.Height() == f.Height() + 12 &&
               s.left == f.left - 5 && s.top == f.top - 5;
    };
    ASSERT_TRUE(PumpUntil(placedRight)) << "shadow " << OriginAndSize(shadow).left << "," << OriginAndSize(shadow).top
                                        << " " << OriginAndSize(shadow).Width() << "x" << OriginAndSize(shadow).Height()
                                        << ", frame " << OriginAndSize(window).left << "," << OriginAndSize(window).top;
    // Per-pixel alpha and no input area.
    GdkWindow* shadowWindow = gtk_widget_get_window(shadow);
    EXPECT_EQ(gdk_visual_get_depth(gdk_window_get_visual(shadowWindow)), 32);
    int count = -1, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(GDK_WINDOW_XDISPLAY(shadowWindow), GDK_WINDOW_XID(shadowWindow),
                                            ShapeInput, &count, &ordering);
    EXPECT_EQ(count, 0) << "clicks go through the shadow";
    if (rects) XFree(rects);

    PumpFor(300);
    const Rect f = OriginAndSize(window);
    EXPECT_LT(Brightness(f.right + 2, f.top + 100), 250) << "shadow right of the frame";
    EXPECT_LT(Brightness(f.left + 10, f.top + 10), 200) << "the frame's own caption shows through the shadow";
    EXPECT_GT(Brightness(f.right + 40, f.top + 100), 250) << "white farther away";
    Screenshot("frame-with-shadow");

    frame.MoveWindow(400, 300);
    ASSERT_TRUE(PumpUntil([&] { return OriginAndSize(window).left != f.left && placedRight(); }))
        << "the shadow follows a move";
    Screenshot("frame-with-shadow-moved");

    frame.SendMessage(msg::kSysCommand, kScMinimize);
    EXPECT_TRUE(PumpUntil([&] { return !gtk_widget_get_visible(shadow); })) << "hidden on minimise";
    frame.SendMessage(msg::kSysCommand, kScRestore);
    EXPECT_TRUE(PumpUntil([&] { return gtk_widget_get_visible(shadow) && placedRight(); })) << "back on restore";

    frame.Close(1);
    ASSERT_TRUE(PumpUntil([&] { return !frame.IsWindow(); }));
    EXPECT_EQ(frame.Shadow().GetLayeredWindow(), nullptr);
    gtk_widget_destroy(backdrop);
}

TEST_F(RealWindowXvfb, CaptionAreaDragsTheWindowUnderAWindowManager) {
    StartHelper({"openbox", "--sm-disable"});
    PumpFor(500);
    CSkinFrame frame(SkinFrameParams{1, 0, L"", L"test.xml", L"test"});
    ASSERT_TRUE(frame.Create(nullptr, L"Quorvane", kWsVisible, 0, 100, 100, 0, 0));
    auto* window = static_cast<GtkWidget*>(frame.GetNativeHandle());
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(window); }));
    PumpFor(300);
    const Rect before = OriginAndSize(window);
    const int x = before.left + 60, y = before.top + 15;  // inside the 35-pixel caption, off the button
    ASSERT_EQ(Xdotool({"mousemove", std::to_string(x), std::to_string(y)}), 0);
    PumpFor(100);
    ASSERT_EQ(Xdotool({"mousedown", "1"}), 0);
    // The window manager takes over the pointer once it has our move request; give a slow
    // (sanitizer, loaded) machine time for that before moving.
    PumpFor(800);
    for (int step = 1; step <= 10; ++step) {
        Xdotool({"mousemove", std::to_string(x + step * 15), std::to_string(y + step * 10)});
        PumpFor(100);
    }
    ASSERT_EQ(Xdotool({"mouseup", "1"}), 0);
    EXPECT_TRUE(PumpUntil([&] {
        const Rect after = OriginAndSize(window);
        return after.left >= before.left + 140 && after.top >= before.top + 90;
    })) << "moved to " << OriginAndSize(window).left << "," << OriginAndSize(window).top << " from " << before.left
        << "," << before.top;
    EXPECT_EQ(frame.GetScreenRect().left, OriginAndSize(window).left) << "the frame knows its new place";
    Screenshot("frame-dragged");
}

}  // namespace
}  // namespace skin_test
