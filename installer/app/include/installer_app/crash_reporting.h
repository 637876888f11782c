// Reporting a crash before the process dies of it.
//
// Fatal signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT) and std::terminate
// are caught on an alternate stack. The handler only wakes a reporting thread
// started beforehand (a write to a pipe), waits for it a bounded time, then
// restores the default action and raises the signal again, so the process still
// dies by it. Only the first crash is reported.
#pragma once

#include <chrono>
#include <functional>

// What the installer sends when it crashes: the task event "崩溃退出" and, with
// tracking on, the crash event; then the tracker flushes what it holds.
void ReportInstallerCrash(bool trackingEnabled);

class CrashReporting {
public:
    // Installs the handlers; `report` runs on the reporting thread at the first crash.
    CrashReporting(std::function<void()> report, std::chrono::milliseconds waitLimit = std::chrono::seconds(10));
    // Restores the previous handlers and ends the reporting thread.
    ~CrashReporting();
    CrashReporting(const CrashReporting&) = delete;
    CrashReporting& operator=(const CrashReporting&) = delete;
};
