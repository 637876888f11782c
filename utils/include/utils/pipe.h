// File descriptors owned by RAII objects, and the anonymous pipe of a child process.
#pragma once

#include <utility>

namespace Utils {

// Owns one file descriptor (-1 when empty) and closes it on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool IsValid() const { return fd_ >= 0; }
    explicit operator bool() const { return IsValid(); }
    // Gives up ownership without closing.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the current descriptor (if any) and takes `fd`.
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// One anonymous pipe. Both ends are close-on-exec and never one of the standard
// descriptors 0 to 2, so a child receives an end only through an explicit dup2.
class Pipe {
public:
    // Creates the pipe with the system's default buffer size; throws
    // Utils::Exception with an empty message on failure (nothing is left open).
    Pipe();

    Pipe(Pipe&&) noexcept = default;
    Pipe& operator=(Pipe&&) noexcept = default;

    // -1 once that end is closed.
    int ReadEnd() const { return read_.Get(); }
    int WriteEnd() const { return write_.Get(); }

    void CloseReadEnd() { read_.Reset(); }
    void CloseWriteEnd() { write_.Reset(); }
    // Closes both ends that are still open.
    void Close();

private:
    UniqueFd read_;
    UniqueFd write_;
};

}  // namespace Utils
