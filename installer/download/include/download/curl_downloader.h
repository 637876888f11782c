// The default downloader: one resumable stream with a retry budget and an MD5 check.
#pragma once

#include "download/curl_client.h"
#include "download/downloader.h"
#include "utils/thread.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// Runs CurlClient attempts on a worker thread named "ABDEF". An interrupted
// transfer (libcurl result 18) costs 1 of a budget of 12, any other failure 2;
// attempts are 500 ms apart. After the transfer the file's MD5 digest is
// compared with the digest carried in the effective address (the path segment
// in front of the file name); the first mismatch asks the owner for a restart
// (DL_CODE_RETRY), the second one fails.
class CCurlDownloader : public CDownloader {
public:
    CCurlDownloader(StatusCallback callback, const wchar_t* downloadUrl, const wchar_t* path);
    // Stops a running transfer and waits for the worker; a run cut short this
    // way reports no terminal code. Must not be called from the worker itself.
    ~CCurlDownloader() override;

    void Start() override;

    // The CurlClient progress sink: DL_CODE_PROGRESS while the speed is above 0
    // and the percentage at most 100.
    static void OnClientProgress(void* owner, double speed, double reserved, double percent);

    static std::uint32_t dlThreadFun(void* downloader);

protected:
    // One download attempt of the worker; the client's Start. A derived class
    // that replaces it calls StopWorker in its own destructor.
    virtual int RunClientAttempt() { return m_client.Start(); }
    // Aborts the transfer, refuses further starts and joins every worker. Idempotent.
    void StopWorker();

    CurlClient& Client() { return m_client; }

private:
    std::uint32_t RunWorker();
    void Report(int code, double value, const wchar_t* text);
    // Waits `milliseconds` unless the downloader is being destroyed; false then.
    bool PauseUnlessStopping(int milliseconds);
    bool DownloadWithBudget();
    bool VerifyDigest();

    StatusCallback m_callback;
    std::wstring m_path;
    std::wstring m_downloadUrl;
    CurlClient m_client;
    std::unique_ptr<Utils::Thread> m_thread;
    bool m_md5Retried = false;

    // A worker that called Start from its own callback; the next worker joins it first.
    std::unique_ptr<Utils::Thread> m_finishingThread;
    std::mutex m_startMutex;
    std::mutex m_stopMutex;
    std::condition_variable m_stopChanged;
    bool m_stopping = false;
};
