// The single-instance lock and the messages other processes send to its holder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace Utils {

// The one message number the lock holder accepts from other processes.
constexpr std::uint32_t kDownloaderStartedMessage = 1224;

// An exclusive lock named "D1A547DB89C0BC61_<name>" for the user's login: a
// flock on "<full name>.lock" in the per-user runtime folder, dropped by the
// kernel when the holder dies. The holder also binds the datagram socket
// "<full name>.sock" beside it and passes every "1224" received there to the
// message handler.
class InstanceLock {
public:
    static constexpr std::wstring_view kNamePrefix = L"D1A547DB89C0BC61_";
    // Called on the lock's receiver thread; a handler that needs another thread
    // posts the message there itself.
    using MessageHandler = std::function<void(std::uint32_t message)>;

    explicit InstanceLock(std::wstring name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock unless it is held already. Afterwards IsHeld() is false when
    // another process (or another InstanceLock object) holds it, or when the lock
    // file cannot be opened.
    void Acquire();
    bool IsHeld() const;
    // Stops receiving messages, removes the socket and drops the lock.
    void Release();

    // Replaces the handler (nullptr: messages are dropped). When this returns, no
    // call of the previous handler is running. Must not be called from a handler.
    void SetMessageHandler(MessageHandler handler);

    const std::wstring& Name() const { return name_; }

private:
    class Receiver;
    struct Handler;

    std::wstring name_;
    int lockFd_ = -1;
    std::shared_ptr<Handler> handler_;
    std::unique_ptr<Receiver> receiver_;
};

// Paths of the lock file and the socket of the lock `name` (empty when the
// runtime folder cannot be had or the name holds a "/").
std::filesystem::path InstanceLockPath(std::wstring_view name);
std::filesystem::path InstanceSocketPath(std::wstring_view name);

// Sends `message` as decimal text to the holder of the lock `name`; true when
// the datagram was delivered to the socket. Never blocks.
bool SendInstanceMessage(std::wstring_view name, std::uint32_t message);

}  // namespace Utils
