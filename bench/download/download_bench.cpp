// Downloads one package with CCurlDownloader and prints how long the transfer
// and the whole run (transfer + verification) took, and the peak memory.
//
//   download_bench <url> <destination>
//
// Output, one line: "<final code> <transfer seconds> <total seconds> <peak RSS KiB>".
// The exit status is 0 only when the run ended in success without a checksum notice.
#include "download/curl_downloader.h"
#include "utils/log.h"
#include "utils/text.h"

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_mutex;
std::condition_variable g_finished;
Clock::time_point g_transferEnd;
int g_finalCode = 0;
bool g_checksumNotice = false;

// The client logs "end download" when the transfer and the rename are done.
void WatchLog(std::wstring_view line) {
    if (line.find(L"end download") == std::wstring_view::npos) return;
    std::lock_guard lock(g_mutex);
    g_transferEnd = Clock::now();
}

long PeakResidentKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_bench <url> <destination>\n");
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Utils::SetDebugOutputSink(&WatchLog);
    auto callback = [](int code, double, const wchar_t*) {
        std::lock_guard lock(g_mutex);
        if (code == DL_CODE_MD5) g_checksumNotice = true;
        if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || code == DL_CODE_RETRY) {
            g_finalCode = code;
            g_finished.notify_all();
        }
    };
    const auto started = Clock::now();
    {
        CCurlDownloader downloader(callback, Utils::Utf8ToWideLenient(argv[1]).c_str(),
                                   Utils::Utf8ToWideLenient(argv[2]).c_str());
        downloader.Start();
        std::unique_lock lock(g_mutex);
        g_finished.wait(lock, [] { return g_finalCode != 0; });
    }
    const auto finished = Clock::now();
    const auto seconds = [&](Clock::time_point end) { return std::chrono::duration<double>(end - started).count(); };
    std::printf("%d %.3f %.3f %ld\n", g_finalCode, seconds(g_transferEnd), seconds(finished), PeakResidentKib());
    curl_global_cleanup();
    return g_finalCode == DL_CODE_SUCCESS && !g_checksumNotice ? 0 : 1;
}
