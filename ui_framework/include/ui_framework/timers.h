// Timer sources of windows: GLib timeouts on screen, a manual clock in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace skin {

class TimerService {
public:
    virtual ~TimerService() = default;
    // Calls `onFire` every `periodMs` until Stop; returns a handle (never 0).
    virtual std::uint64_t Start(unsigned periodMs, std::function<void()> onFire) = 0;
    virtual void Stop(std::uint64_t handle) = 0;
    // Milliseconds of this clock (time stamps of notifications).
    virtual std::uint64_t NowMs() const = 0;
};

// Timeouts of the calling thread's default main context.
std::unique_ptr<TimerService> MakeGLibTimerService();

// A clock that moves only when told: Advance fires every timer that falls due, in time order.
class ManualClock : public TimerService {
public:
    std::uint64_t Start(unsigned periodMs, std::function<void()> onFire) override;
    void Stop(std::uint64_t handle) override;
    std::uint64_t NowMs() const override { return now_; }

    void Advance(std::uint64_t ms);
    std::size_t ActiveTimers() const { return timers_.size(); }
    std::uint64_t FiredCount() const { return fired_; }

private:
    struct Timer {
        unsigned period;
        std::uint64_t due;
        std::shared_ptr<std::function<void()>> onFire;
    };
    std::map<std::uint64_t, Timer> timers_;
    std::uint64_t now_ = 0;
    std::uint64_t next_ = 1;
    std::uint64_t fired_ = 0;
};

}  // namespace skin
