#include "utils/thread.h"

#include "utils/log.h"
#include "utils/text.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Utils {
namespace {

// pthread names hold 15 bytes; cut at a character boundary.
std::string SystemThreadName(const std::wstring& name, int id) {
    std::string utf8 = name.empty() ? "t" + std::to_string(id) : WideToUtf8(name);
    if (utf8.size() > 15) {
        std::size_t cut = 15;
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
        utf8.resize(cut);
    }
    return utf8;
}

}  // namespace

Thread::Thread(void* argument, std::wstring name, Function function)
    : argument_(argument), name_(std::move(name)), function_(std::move(function)) {
    try {
        worker_ = std::thread([this] { CallBack(); });
    } catch (const std::system_error&) {
        // No thread: the object is joined from the start and HasThread() is false.
        return;
    }
    std::unique_lock lock(mutex_);
    gateChanged_.wait(lock, [this] { return idKnown_; });
}

Thread::~Thread() { Reset(); }

void Thread::CallBack() {
    {
        std::unique_lock lock(mutex_);
        id_ = static_cast<int>(::syscall(SYS_gettid));
        idKnown_ = true;
        ::pthread_setname_np(::pthread_self(), SystemThreadName(name_, id_).c_str());
        gateChanged_.notify_all();
        gateChanged_.wait(lock, [this] { return gate_ != Gate::Suspended; });
        if (gate_ == Gate::Cancelled) return;
    }
    UTILS_LOG_LINE(L"THREAD BEGIN");
    function_(argument_);
    UTILS_LOG_LINE(L"THREAD END");
}

void Thread::Resume() {
    std::lock_guard lock(mutex_);
    if (gate_ == Gate::Suspended) gate_ = Gate::Resumed;
    gateChanged_.notify_all();
}

void Thread::Join() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        if (gate_ == Gate::Suspended) gate_ = Gate::Cancelled;
        gateChanged_.notify_all();
    }
    worker_.join();
    std::lock_guard lock(mutex_);
    id_ = -1;
}

void Thread::Reset() {
    Join();
    name_.clear();
    function_ = nullptr;
}

int Thread::Id() const {
    std::lock_guard lock(mutex_);
    return id_;
}

}  // namespace Utils
