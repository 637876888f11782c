#include "installer_app/crash_reporting.h"

#include "tracker/reporting.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::array kFatalSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// State the signal handler reaches; only async-signal-safe calls use it.
int g_wakeWrite = -1;
int g_doneRead = -1;
int g_waitLimitMs = 10000;
std::atomic<bool> g_crashed{false};

void DieBy(int signal) {
    ::signal(signal, SIG_DFL);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

void OnFatalSignal(int signal) {
    if (!g_crashed.exchange(true) && g_wakeWrite >= 0) {
        const unsigned char code = static_cast<unsigned char>(signal);
        if (::write(g_wakeWrite, &code, 1) == 1) {
            pollfd done{g_doneRead, POLLIN, 0};
            ::poll(&done, 1, g_waitLimitMs);
        }
    }
    DieBy(signal);
}

void OnTerminate() { OnFatalSignal(SIGABRT); }

struct Pipe {
    int read = -1, write = -1;
    bool Open() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return false;
        read = ends[0], write = ends[1];
        return true;
    }
    void Close() {
        if (read >= 0) ::close(read);
        if (write >= 0) ::close(write);
        read = write = -1;
    }
};

Pipe g_wake, g_done;
std::thread g_reporter;
std::vector<unsigned char> g_alternateStack;
std::array<struct sigaction, kFatalSignals.size()> g_previous{};
std::terminate_handler g_previousTerminate = nullptr;

}  // namespace

CrashReporting::CrashReporting(std::function<void()> report, std::chrono::milliseconds waitLimit) {
    if (!g_wake.Open() || !g_done.Open()) return;
    g_waitLimitMs = static_cast<int>(waitLimit.count());
    g_reporter = std::thread([report = std::move(report)] {
        unsigned char code = 0;
        // Returns 0 when the pipe closes at shutdown: nothing to report.
        if (::read(g_wake.read, &code, 1) == 1) {
            report();
            const unsigned char done = 1;
            [[maybe_unused]] const auto written = ::write(g_done.write, &done, 1);
        }
    });
    g_wakeWrite = g_wake.write;
    g_doneRead = g_done.read;

    g_alternateStack.resize(std::max<std::size_t>(SIGSTKSZ, 64 * 1024));
    stack_t stack{};
    stack.ss_sp = g_alternateStack.data();
    stack.ss_size = g_alternateStack.size();
    ::sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_handler = &OnFatalSignal;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kFatalSignals.size(); ++i) ::sigaction(kFatalSignals[i], &action, &g_previous[i]);
    g_previousTerminate = std::set_terminate(&OnTerminate);
}

CrashReporting::~CrashReporting() {
    if (g_wakeWrite < 0) return;
    std::set_terminate(g_previousTerminate);
    for (std::size_t i = 0; i < kFatalSignals.size(); ++i) ::sigaction(kFatalSignals[i], &g_previous[i], nullptr);
    g_wakeWrite = g_doneRead = -1;
    ::close(g_wake.write);  // wakes the reporter with end of file
    g_wake.write = -1;
    if (g_reporter.joinable()) g_reporter.join();
    g_wake.Close();
    g_done.Close();
}

void ReportInstallerCrash(bool trackingEnabled) {
    karvo::tracking::ReportTaskEvent(L"崩溃退出", L"", 0.0f, {});
    if (!trackingEnabled) return;
    karvo::tracking::ReportCrash();
    karvo::tracking::StopTracking();
}
