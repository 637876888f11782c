// The failure reasons the installer reports to usage tracking.
#pragma once

#include <string>
#include <string_view>

// Reports are cut to the 199 characters a report text may hold.
inline constexpr std::size_t kFailureReportCapacity = 200;

// Why a download failed: the report's value and text, the free space and
// writability of the package's folder, and the network state, as
// "1.code=..；2.msg=..；3.缓存磁盘容量=..G；4.缓存读写权限=..；5.服务器连接状态code=..".
std::wstring DownloadFailureDiagnosis(double value, std::wstring_view text, const std::wstring& packagePath);
// ":1.code=..；2.msg=.." for a checksum notice or a failed package run.
std::wstring ShortFailureReport(double value, std::wstring_view text);
// Sends `reason` as the task event `eventName` ("下载失败原因", "安装失败原因") with the A/B value "IN".
void ReportFailureReason(const std::wstring& eventName, const std::wstring& reason);

// True when a file can be created at `path` (an existing file that cannot be
// removed is not writable); leaves no file behind.
bool IsPackagePathWritable(const std::wstring& path);
