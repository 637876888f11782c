#include "download/win_downloader.h"

#include "utils/log.h"
#include "utils/text.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

constexpr int kAttempts = 3;
constexpr int kAttemptPauseMilliseconds = 1000;
constexpr std::size_t kReadBufferSize = 65536;
constexpr std::wstring_view kFileScheme = L"file:///";

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Sync libsoup and GIO calls of the worker run on a main context of its own.
class ThreadDefaultContext {
public:
    ThreadDefaultContext() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }
    ~ThreadDefaultContext() {
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    ThreadDefaultContext(const ThreadDefaultContext&) = delete;
    ThreadDefaultContext& operator=(const ThreadDefaultContext&) = delete;

private:
    GMainContext* context_;
};

}  // namespace

CWinDownloader::CBindCallback::~CBindCallback() { m_aborted = true; }

void CWinDownloader::CBindCallback::SetCallback(StatusCallback callback) {
    std::lock_guard lock(m_callbackMutex);
    m_callback = std::move(callback);
}

bool CWinDownloader::CBindCallback::OnProgress(std::uint64_t progress, std::uint64_t progressMax) {
    if (m_aborted) return false;
    if (progressMax == 0) return true;
    StatusCallback callback;
    {
        std::lock_guard lock(m_callbackMutex);
        callback = m_callback;
    }
    if (callback) callback(DL_CODE_PROGRESS, static_cast<double>(progress) / static_cast<double>(progressMax), L"");
    return true;
}

void CWinDownloader::CancellableDeleter::operator()(GCancellable* cancellable) const { g_object_unref(cancellable); }

CWinDownloader::CWinDownloader(StatusCallback callback, const wchar_t* downloadUrl, const wchar_t* path)
    : m_callback(std::move(callback)),
      m_path(path != nullptr ? path : L""),
      m_downloadUrl(downloadUrl != nullptr ? downloadUrl : L""),
      m_thread(MakeThread()),
      m_cancellable(g_cancellable_new()) {}

CWinDownloader::~CWinDownloader() {
    {
        std::lock_guard startLock(m_startMutex);
        std::lock_guard stopLock(m_stopMutex);
        m_stopping = true;
    }
    m_stopChanged.notify_all();
    m_bindCallback.Abort();
    g_cancellable_cancel(m_cancellable.get());
    // Joins a running worker; one that was never resumed ends without running.
    m_thread.reset();
}

std::unique_ptr<Utils::Thread> CWinDownloader::MakeThread() {
    return std::make_unique<Utils::Thread>(this, L"ABDEF", &CWinDownloader::Worker);
}

void CWinDownloader::Start() {
    std::lock_guard lock(m_startMutex);
    if (m_stopping) return;
    m_bindCallback.SetCallback(m_callback);
    if (!m_started) {
        m_started = true;
        m_thread->Resume();
        return;
    }
    if (!m_runFinished) {
        // A run that already reported its end (this may be that report's own
        // thread) runs again once it has returned; an earlier Start does nothing.
        if (m_terminalReported) m_restartRequested = true;
        return;
    }
    m_thread->Join();
    m_thread = MakeThread();
    m_runFinished = false;
    m_thread->Resume();
}

std::uint32_t CWinDownloader::Worker(void* downloader) {
    auto* self = static_cast<CWinDownloader*>(downloader);
    for (;;) {
        self->Run();
        std::lock_guard lock(self->m_startMutex);
        if (!self->m_restartRequested || self->m_stopping) {
            self->m_runFinished = true;
            return 0;
        }
        self->m_restartRequested = false;
    }
}

void CWinDownloader::Run() {
    {
        std::lock_guard lock(m_startMutex);
        m_terminalReported = false;
    }
    Report(DL_CODE_START, 1.0, L"");
    if (m_path.empty()) {
        ReportEnd(DL_CODE_FAIL, 1.0, L"");
        return;
    }
    const bool local = m_downloadUrl.starts_with(kFileScheme);
    const std::wstring address = local ? m_downloadUrl : Utils::UrlEncode(m_downloadUrl);
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        const std::int32_t result = DownloadToFile(address);
        if (result == 0) {
            ReportEnd(DL_CODE_SUCCESS, 0.0, L"URLDownloadToFile");
            return;
        }
        UTILS_LOG_LINE(L"URLDownloadToFile failed: %d", result);
        if (!PauseUnlessStopping(kAttemptPauseMilliseconds)) return;
        if (attempt == kAttempts) ReportEnd(DL_CODE_FAIL, result, L"URLDownloadToFile");
    }
}

std::int32_t CWinDownloader::DownloadToFile(const std::wstring& address) {
    const std::string narrow = Utils::WideToUtf8(address);
    ThreadDefaultContext context;
    return address.starts_with(kFileScheme) ? CopyLocalFile(narrow) : DownloadOverHttp(narrow);
}

std::int32_t CWinDownloader::DownloadOverHttp(const std::string& address) {
    GObjectPtr<SoupMessage> message(soup_message_new("GET", address.c_str()));
    if (!message) return WIN_DL_INVALID_URL;
    GObjectPtr<SoupSession> session(soup_session_new());
    GError* rawError = nullptr;
    GObjectPtr<GInputStream> body(soup_session_send(session.get(), message.get(), m_cancellable.get(), &rawError));
    GErrorPtr error(rawError);
    if (!body) return m_bindCallback.Aborted() ? WIN_DL_ABORTED : WIN_DL_DOWNLOAD_FAILURE;
    const unsigned status = soup_message_get_status(message.get());
    if (status < 200 || status >= 300) return static_cast<std::int32_t>(status);

    SoupMessageHeaders* headers = soup_message_get_response_headers(message.get());
    const std::uint64_t total = soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH
                                    ? static_cast<std::uint64_t>(soup_message_headers_get_content_length(headers))
                                    : 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(Utils::WideToUtf8(m_path).c_str(), "wb"));
    if (!file) return WIN_DL_CANNOT_WRITE;
    std::vector<char> buffer(kReadBufferSize);
    std::uint64_t received = 0;
    for (;;) {
        const gssize got = g_input_stream_read(body.get(), buffer.data(), buffer.size(), m_cancellable.get(), &rawError);
        error.reset(rawError);
        if (got < 0) return m_bindCallback.Aborted() ? WIN_DL_ABORTED : WIN_DL_DOWNLOAD_FAILURE;
        if (got == 0) break;
        if (std::fwrite(buffer.data(), 1, static_cast<size_t>(got), file.get()) != static_cast<size_t>(got))
            return WIN_DL_CANNOT_WRITE;
        received += static_cast<std::uint64_t>(got);
        if (!m_bindCallback.OnProgress(received, total)) return WIN_DL_ABORTED;
    }
    g_input_stream_close(body.get(), nullptr, nullptr);
    if (std::fclose(file.release()) != 0) return WIN_DL_CANNOT_WRITE;
    // A body that ended before its announced length is not the package.
    if (total != 0 && received != total) return WIN_DL_DOWNLOAD_FAILURE;
    return 0;
}

std::int32_t CWinDownloader::CopyLocalFile(const std::string& address) {
    GObjectPtr<GFile> source(g_file_new_for_uri(address.c_str()));
    GObjectPtr<GFile> destination(g_file_new_for_path(Utils::WideToUtf8(m_path).c_str()));
    // Destruction stops the copy through the cancellable.
    auto progress = [](goffset current, goffset total, gpointer self) {
        static_cast<CBindCallback*>(self)->OnProgress(static_cast<std::uint64_t>(current),
                                                      static_cast<std::uint64_t>(total));
    };
    GError* rawError = nullptr;
    const gboolean copied = g_file_copy(source.get(), destination.get(), G_FILE_COPY_OVERWRITE, m_cancellable.get(),
                                        progress, &m_bindCallback, &rawError);
    GErrorPtr error(rawError);
    if (copied) return 0;
    return m_bindCallback.Aborted() ? WIN_DL_ABORTED : WIN_DL_DOWNLOAD_FAILURE;
}

void CWinDownloader::Report(int code, double value, const wchar_t* text) {
    if (!m_stopping) m_callback(code, value, text);
}

void CWinDownloader::ReportEnd(int code, double value, const wchar_t* text) {
    {
        std::lock_guard lock(m_startMutex);
        m_terminalReported = true;
    }
    Report(code, value, text);
}

bool CWinDownloader::PauseUnlessStopping(int milliseconds) {
    std::unique_lock lock(m_stopMutex);
    return !m_stopChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_stopping.load(); });
}
