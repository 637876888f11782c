#include "utils/instance_lock.h"

#include "utils/log.h"
#include "utils/paths.h"
#include "utils/pipe.h"
#include "utils/text.h"
#include "utils/thread.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace Utils {
namespace fs = std::filesystem;
namespace {

fs::path InstanceFilePath(std::wstring_view name, const char* suffix) {
    if (name.find(L'/') != std::wstring_view::npos || name.find(L'\0') != std::wstring_view::npos) return {};
    const fs::path folder = UserRuntimeFolder();
    if (folder.empty()) return {};
    return folder / (WideToUtf8(InstanceLock::kNamePrefix) + WideToUtf8(name) + suffix);
}

// A socket address for `path`. A path too long for sun_path is reached through
// its folder's descriptor in /proc/self/fd, which `folderFd` keeps open.
bool MakeSocketAddress(const fs::path& path, sockaddr_un& address, UniqueFd& folderFd) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::string text = path.native();
    if (text.size() >= sizeof address.sun_path) {
        folderFd.Reset(::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folderFd) return false;
        text = "/proc/self/fd/" + std::to_string(folderFd.Get()) + "/" + path.filename().native();
        if (text.size() >= sizeof address.sun_path) return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

struct InstanceLock::Handler {
    std::mutex mutex;
    MessageHandler function;
};

// Owns the bound socket and the thread that reads it.
class InstanceLock::Receiver {
public:
    Receiver(fs::path path, std::shared_ptr<Handler> handler) : path_(std::move(path)), handler_(std::move(handler)) {}
    ~Receiver() { Stop(); }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // Binds the socket (replacing one left by a holder that died) and starts reading.
    bool Start() {
        sockaddr_un address{};
        UniqueFd folder;
        if (!MakeSocketAddress(path_, address, folder)) return false;
        socket_.Reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        wake_.Reset(::eventfd(0, EFD_CLOEXEC));
        if (!socket_ || !wake_) return false;
        // Only the lock holder binds here, so whatever is at the path is stale.
        ::unlink(path_.c_str());
        if (::bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return false;
        bound_ = true;
        thread_ = std::make_unique<Thread>(this, L"InstanceMsg", [](void* self) {
            static_cast<Receiver*>(self)->Run();
            return 0u;
        });
        thread_->Resume();
        return true;
    }

    void Stop() {
        if (thread_) {
            const std::uint64_t one = 1;
            if (::write(wake_.Get(), &one, sizeof one) < 0) UTILS_LOG_LINE(L"wake failed: %d", errno);
            thread_->Join();
            thread_.reset();
        }
        if (bound_) ::unlink(path_.c_str());
        bound_ = false;
        socket_.Reset();
        wake_.Reset();
    }

private:
    void Run() {
        pollfd fds[2] = {{socket_.Get(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                UTILS_LOG_LINE(L"poll failed: %d", errno);
                return;
            }
            if (fds[1].revents != 0) return;
            if (fds[0].revents != 0) Receive();
        }
    }

    void Receive() {
        char buffer[32];
        const ssize_t length = ::recv(socket_.Get(), buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
        if (length <= 0 || static_cast<std::size_t>(length) > sizeof buffer) return;
        if (std::string_view(buffer, length) != std::to_string(kDownloaderStartedMessage)) return;
        std::lock_guard lock(handler_->mutex);
        if (handler_->function) handler_->function(kDownloaderStartedMessage);
    }

    fs::path path_;
    std::shared_ptr<Handler> handler_;
    UniqueFd socket_;
    UniqueFd wake_;
    bool bound_ = false;
    std::unique_ptr<Thread> thread_;
};

fs::path InstanceLockPath(std::wstring_view name) { return InstanceFilePath(name, ".lock"); }
fs::path InstanceSocketPath(std::wstring_view name) { return InstanceFilePath(name, ".sock"); }

InstanceLock::InstanceLock(std::wstring name) : name_(std::move(name)), handler_(std::make_shared<Handler>()) {}

InstanceLock::~InstanceLock() { Release(); }

void InstanceLock::Acquire() {
    if (IsHeld()) return;
    const fs::path path = InstanceLockPath(name_);
    if (path.empty()) {
        UTILS_LOG_LINE(L"no runtime folder for the lock %s", name_);
        return;
    }
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) {
        UTILS_LOG_LINE(L"cannot open %s: %d", WideFromPath(path), errno);
        return;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return;  // another instance holds it
    lockFd_ = fd.Release();

    receiver_ = std::make_unique<Receiver>(InstanceSocketPath(name_), handler_);
    if (!receiver_->Start()) {
        // The lock stands; only messages from other processes are lost.
        UTILS_LOG_LINE(L"cannot receive messages for %s: %d", name_, errno);
        receiver_.reset();
    }
}

bool InstanceLock::IsHeld() const { return lockFd_ >= 0; }

void InstanceLock::Release() {
    receiver_.reset();
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

void InstanceLock::SetMessageHandler(MessageHandler handler) {
    std::lock_guard lock(handler_->mutex);
    handler_->function = std::move(handler);
}

bool SendInstanceMessage(std::wstring_view name, std::uint32_t message) {
    const fs::path path = InstanceSocketPath(name);
    if (path.empty()) return false;
    sockaddr_un address{};
    UniqueFd folder;
    if (!MakeSocketAddress(path, address, folder)) return false;
    UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket) return false;
    const std::string text = std::to_string(message);
    return ::sendto(socket.Get(), text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address) == static_cast<ssize_t>(text.size());
}

}  // namespace Utils
