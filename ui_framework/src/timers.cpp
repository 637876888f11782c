#include "ui_framework/timers.h"

#include <glib.h>

#include <algorithm>

namespace skin {

namespace {

class GLibTimerService : public TimerService {
public:
    ~GLibTimerService() override {
        for (auto& [handle, timer] : timers_) DestroySource(timer.source);
    }

    std::uint64_t Start(unsigned periodMs, std::function<void()> onFire) override {
        const std::uint64_t handle = next_++;
        auto& timer = timers_[handle];
        timer.onFire = std::make_shared<std::function<void()>>(std::move(onFire));
        GSource* source = g_timeout_source_new(std::max(periodMs, 1u));
        g_source_set_callback(source, &GLibTimerService::Fire, new Cookie{this, handle}, &GLibTimerService::FreeCookie);
        g_source_attach(source, g_main_context_get_thread_default());
        timer.source = source;
        return handle;
    }

    void Stop(std::uint64_t handle) override {
        auto found = timers_.find(handle);
        if (found == timers_.end()) return;
        DestroySource(found->second.source);
        timers_.erase(found);
    }

    std::uint64_t NowMs() const override { return static_cast<std::uint64_t>(g_get_monotonic_time() / 1000); }

private:
    struct Cookie {
        GLibTimerService* service;
        std::uint64_t handle;
    };
    struct Timer {
        GSource* source = nullptr;
        std::shared_ptr<std::function<void()>> onFire;
    };

    static void DestroySource(GSource* source) {
        g_source_destroy(source);
        g_source_unref(source);
    }

    static void FreeCookie(gpointer data) { delete static_cast<Cookie*>(data); }

    static gboolean Fire(gpointer data) {
        auto* cookie = static_cast<Cookie*>(data);
        auto found = cookie->service->timers_.find(cookie->handle);
        if (found == cookie->service->timers_.end()) return G_SOURCE_REMOVE;
        // The callback may stop this timer; keep the function alive until it returns.
        auto onFire = found->second.onFire;
        (*onFire)();
        return G_SOURCE_CONTINUE;
    }

    std::map<std::uint64_t, Timer> timers_;
    std::uint64_t next_ = 1;
};

}  // namespace

std::unique_ptr<TimerService> MakeGLibTimerService() { return std::make_unique<GLibTimerService>(); }

std::uint64_t ManualClock::Start(unsigned periodMs, std::function<void()> onFire) {
    const std::uint64_t handle = next_++;
    const unsigned period = std::max(periodMs, 1u);
    timers_[handle] = {period, now_ + period, std::make_shared<std::function<void()>>(std::move(onFire))};
    return handle;
}

void ManualClock::Stop(std::uint64_t handle) { timers_.erase(handle); }

void ManualClock::Advance(std::uint64_t ms) {
    const std::uint64_t end = now_ + ms;
    for (;;) {
        auto earliest = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
            return a.second.due < b.second.due || (a.second.due == b.second.due && a.first < b.first);
        });
        if (earliest == timers_.end() || earliest->second.due > end) break;
        now_ = earliest->second.due;
        earliest->second.due += earliest->second.period;
        auto onFire = earliest->second.onFire;
        ++fired_;
        (*onFire)();
    }
    now_ = end;
}

}  // namespace skin
