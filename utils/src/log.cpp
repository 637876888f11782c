#include "utils/log.h"

#include "utils/text.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace Utils {
namespace {

void WriteToStandardError(std::wstring_view line) {
    const std::string utf8 = WideToUtf8(line);
    // One write per line so that lines of different threads never interleave.
    const char* data = utf8.data();
    std::size_t left = utf8.size();
    while (left > 0) {
        ssize_t written = ::write(STDERR_FILENO, data, left);
        if (written <= 0) return;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

std::atomic<DebugOutputSink> g_sink{nullptr};

}  // namespace

DebugOutputSink SetDebugOutputSink(DebugOutputSink sink) {
    DebugOutputSink previous = g_sink.exchange(sink);
    return previous ? previous : &WriteToStandardError;
}

void OutputDebugText(std::wstring_view text) {
    DebugOutputSink sink = g_sink.load();
    (sink ? sink : &WriteToStandardError)(text);
}

namespace detail {

LogPrefix CaptureLogPrefix() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const auto sinceEpoch = now.time_since_epoch();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch) -
                        std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    return LogPrefix{static_cast<int>(::getpid()),
                     static_cast<int>(::syscall(SYS_gettid)),
                     local.tm_year + 1900,
                     local.tm_mon + 1,
                     local.tm_mday,
                     local.tm_hour,
                     local.tm_min,
                     local.tm_sec,
                     static_cast<int>(millis.count())};
}

std::wstring BuildLogFormat(std::wstring_view message, bool appendLineEnd) {
    std::wstring format = L"<P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%s)<%04d>: ";
    format.append(message);
    if (appendLineEnd) format.append(L"\r\n");
    return format;
}

void ReportUnformattable() {
    // A format that cannot be formatted sends an empty text, as the counting pass would.
    OutputDebugText(std::wstring_view());
}

}  // namespace detail
}  // namespace Utils
