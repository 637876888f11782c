#include "utils/pipe.h"

#include "utils/exception.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Utils {
namespace {

// Moves a descriptor that landed on 0, 1 or 2 (possible when the parent runs with
// a closed standard stream) above them; the child's dup2 sequence relies on it.
bool MoveAboveStandardStreams(UniqueFd& fd) {
    if (fd.Get() > 2) return true;
    const int moved = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 3);
    if (moved < 0) return false;
    fd.Reset(moved);
    return true;
}

}  // namespace

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

Pipe::Pipe() {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) throw Exception();
    read_.Reset(ends[0]);
    write_.Reset(ends[1]);
    if (!MoveAboveStandardStreams(read_) || !MoveAboveStandardStreams(write_)) {
        Close();
        throw Exception();
    }
}

void Pipe::Close() {
    read_.Reset();
    write_.Reset();
}

}  // namespace Utils
