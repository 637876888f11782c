#include "utils/system.h"

#include "utils/log.h"
#include "utils/paths.h"

#include <cerrno>
#include <filesystem>
#include <sys/statvfs.h>

namespace Utils {
namespace {

// statvfs of `path` or, while a component does not exist, of its parent.
int StatNearestExisting(std::filesystem::path path, struct statvfs& info) {
    for (;;) {
        if (::statvfs(path.c_str(), &info) == 0) return 0;
        const int error = errno;
        const std::filesystem::path parent = path.parent_path();
        if (error != ENOENT || parent == path || parent.empty()) return error;
        path = parent;
    }
}

}  // namespace

bool HardDiskManager::CheckFreeSpace(std::wstring_view path) {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(PathFromWide(path), ignored).lexically_normal();
    struct statvfs info {};
    const int error = absolute.empty() ? EINVAL : StatNearestExisting(absolute, info);
    if (error != 0) {
        UTILS_LOG(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(error));
        return false;
    }
    const std::uint64_t unit = info.f_frsize;
    freeBytesAvailable_ = static_cast<std::uint64_t>(info.f_bavail) * unit;
    totalBytes_ = static_cast<std::uint64_t>(info.f_blocks) * unit;
    totalFreeBytes_ = static_cast<std::uint64_t>(info.f_bfree) * unit;
    return true;
}

}  // namespace Utils
