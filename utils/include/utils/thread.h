// A named worker thread that is created suspended and joined by its owner.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace Utils {

class Thread {
public:
    using Function = std::function<std::uint32_t(void*)>;

    // Creates the thread suspended: nothing runs until Resume(). The name (at
    // most 15 UTF-8 bytes reach the system; "t<id>" when empty) shows in
    // debuggers and process listings. `function` must not be empty.
    Thread(void* argument, std::wstring name, Function function);
    // Joins; a thread that was never resumed ends without running its function.
    ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Lets the thread run its function once. Further calls do nothing.
    void Resume();
    // Waits without time-out for the thread to end. Safe to call repeatedly.
    void Join();
    // Like Join, and also drops the name and the function.
    void Reset();

    // True while a thread exists (created and not yet joined).
    bool HasThread() const { return worker_.joinable(); }
    // The system id of the thread (as logged), -1 once joined.
    int Id() const;
    // True when called on this thread.
    bool IsCurrent() const { return worker_.get_id() == std::this_thread::get_id(); }

private:
    enum class Gate { Suspended, Resumed, Cancelled };

    void CallBack();

    void* argument_;
    std::wstring name_;
    Function function_;

    mutable std::mutex mutex_;
    std::condition_variable gateChanged_;
    Gate gate_ = Gate::Suspended;
    int id_ = -1;
    bool idKnown_ = false;
    std::thread worker_;
};

}  // namespace Utils
