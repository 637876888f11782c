// The fallback downloader: the desktop platform's own HTTP stack (libsoup),
// or GIO for "file:///" addresses, with three attempts one second apart.
#pragma once

#include "download/downloader.h"
#include "utils/thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

typedef struct _GCancellable GCancellable;

// Failure values of CWinDownloader's DL_CODE_FAIL besides HTTP status codes
// (an HTTP answer of 300 or more fails with its status): the result codes the
// system download reports, as signed 32-bit numbers.
enum WinDownloadResult : std::int32_t {
    WIN_DL_ABORTED = static_cast<std::int32_t>(0x80004004u),           // the progress object stopped the download
    WIN_DL_INVALID_URL = static_cast<std::int32_t>(0x800C0002u),       // the address could not be parsed
    WIN_DL_DOWNLOAD_FAILURE = static_cast<std::int32_t>(0x800C0008u),  // connection, transfer or short body
    WIN_DL_CANNOT_WRITE = static_cast<std::int32_t>(0x800C000Cu),      // the destination could not be written
    // A local copy ("file:///") that failed reports WIN_DL_DOWNLOAD_FAILURE.
};

class CWinDownloader : public CDownloader {
public:
    // Watches the progress of a system download and can stop it.
    class CBindCallback {
    public:
        CBindCallback() = default;
        // Stops a download still in progress at its next progress notification.
        ~CBindCallback();
        CBindCallback(const CBindCallback&) = delete;
        CBindCallback& operator=(const CBindCallback&) = delete;

        // DL_CODE_PROGRESS with progress / progressMax when the total is known;
        // false (stop the download) once aborted.
        bool OnProgress(std::uint64_t progress, std::uint64_t progressMax);
        void SetCallback(StatusCallback callback);
        void Abort() { m_aborted = true; }
        bool Aborted() const { return m_aborted; }

    private:
        std::mutex m_callbackMutex;
        StatusCallback m_callback;
        std::atomic<bool> m_aborted{false};
    };

    // Creates the worker thread suspended; nothing runs before Start.
    CWinDownloader(StatusCallback callback, const wchar_t* downloadUrl, const wchar_t* path);
    // Stops a running download (no further report) and joins the worker; a
    // worker that was never started ends without running.
    ~CWinDownloader() override;

    CWinDownloader(const CWinDownloader&) = delete;
    CWinDownloader& operator=(const CWinDownloader&) = delete;

    // Starts a run. Before the running one has reported its end it does
    // nothing; after its DL_CODE_SUCCESS or DL_CODE_FAIL it starts a new run.
    void Start() override;

private:
    static std::uint32_t Worker(void* downloader);
    void Run();
    // One system download: 0 or the failure value.
    std::int32_t DownloadToFile(const std::wstring& address);
    std::int32_t DownloadOverHttp(const std::string& address);
    std::int32_t CopyLocalFile(const std::string& address);
    void Report(int code, double value, const wchar_t* text);
    // Reports the run's terminal code; a Start from then on starts the next run.
    void ReportEnd(int code, double value, const wchar_t* text);
    bool PauseUnlessStopping(int milliseconds);
    std::unique_ptr<Utils::Thread> MakeThread();

    CBindCallback m_bindCallback;
    StatusCallback m_callback;
    std::wstring m_path;
    std::wstring m_downloadUrl;
    std::unique_ptr<Utils::Thread> m_thread;

    struct CancellableDeleter {
        void operator()(GCancellable* cancellable) const;
    };
    std::unique_ptr<GCancellable, CancellableDeleter> m_cancellable;
    std::mutex m_startMutex;
    std::mutex m_stopMutex;
    std::condition_variable m_stopChanged;
    std::atomic<bool> m_stopping{false};
    bool m_started = false;
    bool m_restartRequested = false;
    bool m_terminalReported = false;
    std::atomic<bool> m_runFinished{false};
};
