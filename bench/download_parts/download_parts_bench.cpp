// Downloads one package with the two-part downloader (or, for comparison, the
// single-stream downloader) and prints how long the whole run took, from Start
// to the verified file.
//
//   download_parts_bench parts|single <url> <destination>
//
// Output, one line: "<final code> <total seconds>". The exit status is 0 only
// when the run ended in success without a checksum notice.
#include "download/curl_downloader.h"
#include "download/mt_curl_downloader.h"
#include "utils/log.h"
#include "utils/text.h"

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_mutex;
std::condition_variable g_finished;
int g_finalCode = 0;
bool g_checksumNotice = false;

void DiscardLog(std::wstring_view) {}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view kind = argc == 4 ? argv[1] : "";
    if (kind != "parts" && kind != "single") {
        std::fprintf(stderr, "usage: download_parts_bench parts|single <url> <destination>\n");
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Utils::SetDebugOutputSink(&DiscardLog);
    auto callback = [](int code, double, const wchar_t*) {
        std::lock_guard lock(g_mutex);
        if (code == DL_CODE_MD5) g_checksumNotice = true;
        if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || code == DL_CODE_RETRY) {
            g_finalCode = code;
            g_finished.notify_all();
        }
    };
    const std::wstring url = Utils::Utf8ToWideLenient(argv[2]);
    const std::wstring destination = Utils::Utf8ToWideLenient(argv[3]);
    const auto started = Clock::now();
    {
        std::unique_ptr<CDownloader> downloader;
        if (kind == "parts") {
            downloader = std::make_unique<CMTCurlDownloader>(callback, url.c_str(), destination.c_str());
        } else {
            downloader = std::make_unique<CCurlDownloader>(callback, url.c_str(), destination.c_str());
        }
        downloader->Start();
        std::unique_lock lock(g_mutex);
        g_finished.wait(lock, [] { return g_finalCode != 0; });
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("%d %.3f\n", g_finalCode, seconds);
    curl_global_cleanup();
    return g_finalCode == DL_CODE_SUCCESS && !g_checksumNotice ? 0 : 1;
}
