#include "install/failure_report.h"

#include "tracker/reporting.h"
#include "utils/paths.h"
#include "utils/system.h"

#include <cerrno>
#include <fcntl.h>
#include <fmt/printf.h>
#include <fmt/xchar.h>
#include <unistd.h>

namespace {

std::wstring Cut(std::wstring text) {
    if (text.size() >= kFailureReportCapacity) text.resize(kFailureReportCapacity - 1);
    return text;
}

long AsLong(double value) {
    // Values beyond the range of long (or NaN) have no meaningful integer code.
    return value == value && value > -9.2e18 && value < 9.2e18 ? static_cast<long>(value) : 0;
}

}  // namespace

bool IsPackagePathWritable(const std::wstring& path) {
    const std::string narrow = Utils::PathFromWide(path).string();
    if (::unlink(narrow.c_str()) != 0 && errno != ENOENT) return false;
    const int fd = ::open(narrow.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(narrow.c_str());
    return true;
}

std::wstring DownloadFailureDiagnosis(double value, std::wstring_view text, const std::wstring& packagePath) {
    const std::uint32_t networkState = Utils::CheckNetwork();
    const bool writable = IsPackagePathWritable(packagePath);
    Utils::HardDiskManager disk;
    disk.CheckFreeSpace(Utils::WideFromPath(Utils::PathFromWide(packagePath).parent_path()));
    const double freeGb = static_cast<double>(disk.FreeBytesAvailable()) / 1073741824.0;
    return Cut(fmt::sprintf(L"1.code=%ld；2.msg=%s；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%s；5.服务器连接状态code=%d",
                            AsLong(value), std::wstring(text), freeGb, writable ? L"可读" : L"无权限",
                            static_cast<int>(networkState)));
}

std::wstring ShortFailureReport(double value, std::wstring_view text) {
    return Cut(fmt::sprintf(L":1.code=%ld；2.msg=%s", AsLong(value), std::wstring(text)));
}

void ReportFailureReason(const std::wstring& eventName, const std::wstring& reason) {
    karvo::tracking::ReportTaskEvent(eventName, reason, 0.0f, {{L"AB", L"IN"}});
}
