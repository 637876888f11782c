#include "download/curl_downloader.h"

#include "utils/log.h"
#include "utils/md5.h"
#include "utils/text.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace {

constexpr int kRetryBudget = 12;
constexpr int kRetryPauseMilliseconds = 500;
constexpr std::size_t kDigestLength = 32;

}  // namespace

CCurlDownloader::CCurlDownloader(StatusCallback callback, const wchar_t* downloadUrl, const wchar_t* path)
    : m_callback(std::move(callback)),
      m_path(path != nullptr ? path : L""),
      m_downloadUrl(downloadUrl != nullptr ? downloadUrl : L""),
      m_client(m_downloadUrl, m_path, this) {
    // A partial file left by an earlier run of the installer is not resumed.
    if (!m_path.empty()) std::remove(Utils::WideToUtf8(m_client.GetFilePath(true)).c_str());
}

CCurlDownloader::~CCurlDownloader() { StopWorker(); }

void CCurlDownloader::StopWorker() {
    {
        std::lock_guard lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopChanged.notify_all();
    m_client.RequestStop();
    std::unique_ptr<Utils::Thread> worker;
    {
        std::lock_guard lock(m_startMutex);
        worker = std::move(m_thread);
    }
    // The last worker joins the one it replaced before it runs, so joining it
    // ends every thread of this downloader.
    if (worker) worker->Join();
    if (m_finishingThread) {
        m_finishingThread->Join();
        m_finishingThread.reset();
    }
}

void CCurlDownloader::Start() {
    {
        std::lock_guard lock(m_stopMutex);
        if (m_stopping) return;
    }
    std::lock_guard lock(m_startMutex);
    if (m_thread) {
        // Called from inside this downloader's own callback: the worker cannot
        // wait for itself, so the next worker waits for it instead.
        if (m_thread->IsCurrent()) {
            m_finishingThread = std::move(m_thread);
        } else {
            m_thread->Join();
            m_thread.reset();
        }
    }
    m_thread = std::make_unique<Utils::Thread>(this, L"ABDEF", [](void* self) {
        return static_cast<CCurlDownloader*>(self)->RunWorker();
    });
    m_thread->Resume();
}

std::uint32_t CCurlDownloader::RunWorker() {
    if (m_finishingThread) {
        m_finishingThread->Join();
        m_finishingThread.reset();
    }
    {
        std::lock_guard lock(m_stopMutex);
        if (m_stopping) return 0;
    }
    return dlThreadFun(this);
}

void CCurlDownloader::Report(int code, double value, const wchar_t* text) { m_callback(code, value, text); }

void CCurlDownloader::OnClientProgress(void* owner, double speed, double, double percent) {
    if (speed > 0 && percent <= 100) static_cast<CCurlDownloader*>(owner)->Report(DL_CODE_PROGRESS, percent / 100, L"");
}

bool CCurlDownloader::PauseUnlessStopping(int milliseconds) {
    std::unique_lock lock(m_stopMutex);
    return !m_stopChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_stopping; });
}

std::uint32_t CCurlDownloader::dlThreadFun(void* downloader) {
    auto* self = static_cast<CCurlDownloader*>(downloader);
    self->Report(DL_CODE_START, 1.0, L"");
    if (self->m_path.empty()) {
        // Nothing to download into: the run ends with this one terminal code.
        self->Report(DL_CODE_FAIL, 1.0, L"");
        return 0;
    }
    int rc = self->RunClientAttempt();
    int budget = kRetryBudget;
    while (rc != 0) {
        budget -= rc == CURLE_PARTIAL_FILE ? 1 : 2;
        if (budget <= 0) {
            self->Report(DL_CODE_FAIL, rc, L"LibCurl");
            return 0;
        }
        UTILS_LOG_LINE(L"CurlDownLoader Code=%d", rc);
        if (!self->PauseUnlessStopping(kRetryPauseMilliseconds)) return 0;
        rc = self->RunClientAttempt();
    }
    if (self->VerifyDigest()) self->Report(DL_CODE_SUCCESS, 0.0, L"LibCurl");
    return 0;
}

// True when the run may report success. A file whose digest cannot be computed
// counts as a mismatch: an unreadable download is never passed as verified.
bool CCurlDownloader::VerifyDigest() {
    const std::string expected = Utils::UrlMd5(m_client.RealUrl());
    if (expected.size() != kDigestLength) {
        Report(DL_CODE_MD5, 0.0, L"curl获取url-md5失败");
        return true;
    }
    // The client hashes while downloading; reading the file back is the fallback.
    std::string actual = m_client.DownloadedFileMd5();
    if (actual.empty()) actual = Utils::FileMd5(Utils::WideToUtf8(m_path));
    if (actual == expected) return true;
    Report(DL_CODE_MD5, 0.0, L"curl文件md5校验失败");
    if (m_md5Retried) {
        Report(DL_CODE_FAIL, 0.0, L"LibCurl");
    } else {
        // Set before reporting: the owner restarts from inside the callback.
        m_md5Retried = true;
        Report(DL_CODE_RETRY, 0.0, L"LibCurl");
    }
    return false;
}
