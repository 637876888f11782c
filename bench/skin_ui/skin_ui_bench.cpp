// Skin framework figures for the main window layout "MainWnd.xml" of the shipped skin:
//   1. building the window and painting it the first time, offscreen;
//   2. the cost of one frame of the page-2 animation (30 ms period), offscreen;
//   3. the CPU time of a shown GTK window over a few seconds: idle on page 0 (the progress
//      animation runs hidden) and animating on page 2. Needs Xvfb when no DISPLAY is set.
#include <installer_ui/sequence_controls.h>
#include <installer_ui/shadow_window.h>
#include <installer_ui/skin_frame.h>
#include <resources/resources.h>
#include <ui_framework/controls.h>
#include <ui_framework/offscreen_host.h>
#include <ui_framework/resources.h>
#include <ui_framework/window.h>

#include <glib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

class MainWindow : public CSkinFrame {
public:
    MainWindow() : CSkinFrame(MakeSkinFrameParams(L"MainWnd.xml")) {}
    std::unique_ptr<skin::Control> CreateCustomControl(std::wstring_view element) override {
        if (skin::NameEquals(element, L"SequenceLabel")) return std::make_unique<CSequenceLabelUI>();
        if (skin::NameEquals(element, L"SequenceButton")) return std::make_unique<CSequenceButtonUI>();
        return nullptr;
    }
    void ShowPage(int page) {
        auto* tabs = dynamic_cast<skin::TabLayout*>(FindControl(L"mainTabLt"));
        if (tabs) tabs->SelectItem(page, false);
        if (auto* anim = dynamic_cast<CSequenceLabelUI*>(FindControl(L"progressAnLb")); anim && page == 2) anim->Start();
    }
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RegisterSkin() {
    const auto skin = Resources::Find(Resources::kSkinType, Resources::kSkinId);
    skin::Resources::Instance().RegisterPackagedResource(L"SKINRES", Resources::kSkinId, skin.data(), skin.size());
    Resources::RegisterFontAliases();
}

void OffscreenFigures() {
    auto clock = std::make_shared<skin::ManualClock>();
    skin::SetHostFactory([clock] { return std::make_unique<skin::OffscreenHost>(clock); });

    auto start = Clock::now();
    if (!skin::Resources::Instance().UsePackagedArchive(Resources::kSkinId)) {
        std::printf("the skin archive cannot be opened\n");
        return;
    }
    std::printf("skin archive opened from memory (7z, LZMA2):      %8.2f ms (first time)\n", Ms(Clock::now() - start));
    const auto blob = Resources::Find(Resources::kSkinType, Resources::kSkinId);
    std::vector<double> opens;
    for (int i = 0; i < 7; ++i) {
        start = Clock::now();
        auto archive = skin::SkinArchive::Open(blob.data(), blob.size());
        opens.push_back(Ms(Clock::now() - start));
    }
    std::printf("skin archive opened again:                         %8.2f ms (median of %zu, %zu bytes)\n", Median(opens),
                opens.size(), blob.size());

    std::vector<double> cold, warm;
    for (int run = 0; run < 15; ++run) {
        const bool clearImages = run % 2 == 0;
        if (clearImages) skin::Resources::Instance().ClearImageCache();
        start = Clock::now();
        MainWindow window;
        window.Create(nullptr, L"Quorvane", skin::kWsVisible, 0, 0, 0, 0, 0);
        static_cast<skin::OffscreenHost*>(window.GetHost())->Render();
        (clearImages ? cold : warm).push_back(Ms(Clock::now() - start));
    }
    std::printf("main window built + first paint, images decoded: %8.2f ms (median of %zu)\n", Median(cold), cold.size());
    std::printf("main window built + first paint, images cached:  %8.2f ms (median of %zu)\n", Median(warm), warm.size());

    MainWindow window;
    window.Create(nullptr, L"Quorvane", skin::kWsVisible, 0, 0, 0, 0, 0);
    auto* host = static_cast<skin::OffscreenHost*>(window.GetHost());
    host->Render();
    // Page 0: the autostarted animation ticks hidden.
    int paints = host->PaintCount();
    clock->Advance(3000);
    host->Render();
    std::printf("page 0, 3 s of hidden animation ticks: %d repaints\n", host->PaintCount() - paints);

    window.ShowPage(2);
    host->Render();
    for (int i = 0; i < 24; ++i) {  // one round to decode every frame
        clock->Advance(30);
        host->Render();
    }
    std::vector<double> frame;
    for (int i = 0; i < 240; ++i) {
        clock->Advance(30);
        start = Clock::now();
        host->Render();
        frame.push_back(Ms(Clock::now() - start));
    }
    std::printf("page 2 animation, one 30 ms frame step + repaint: %7.3f ms (median of %zu) = %.1f %% of one core\n",
                Median(frame), frame.size(), Median(frame) / 30.0 * 100);
    skin::SetHostFactory(nullptr);
}

pid_t StartXvfb(std::string& display) {
    for (int n = 140; n < 200; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (std::filesystem::exists(socket) || std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            continue;
        display = ":" + std::to_string(n);
        std::vector<std::string> argv = {"Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, args.data(), environ) != 0) return -1;
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return pid;
    }
    return -1;
}

double RunLoopCpuPercent(double seconds) {
    const double cpu = CpuSeconds();
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) g_main_context_iteration(nullptr, TRUE);
    return (CpuSeconds() - cpu) / seconds * 100;
}

void ScreenFigures() {
    pid_t xvfb = -1;
    std::string display;
    if (!getenv("DISPLAY")) {
        xvfb = StartXvfb(display);
        if (xvfb > 0) setenv("DISPLAY", display.c_str(), 1);
    }
    if (!skin::GtkAvailable()) {
        std::printf("no display: screen figures skipped\n");
    } else {
        CShadowWindow::Initialize();
        MainWindow window;
        window.Create(nullptr, L"Quorvane", skin::kWsVisible, 0, 0, 0, 0, 0);
        RunLoopCpuPercent(1.0);  // first paint and image decoding
        std::printf("shown window, page 0 (nothing visible animates): %5.2f %% of one core over 5 s\n",
                    RunLoopCpuPercent(5.0));
        window.ShowPage(2);
        RunLoopCpuPercent(1.0);
        std::printf("shown window, page 2 (30 ms animation):           %5.2f %% of one core over 5 s\n",
                    RunLoopCpuPercent(5.0));
    }
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
}

}  // namespace

int main() {
    RegisterSkin();
    OffscreenFigures();
    ScreenFigures();
    return 0;
}
