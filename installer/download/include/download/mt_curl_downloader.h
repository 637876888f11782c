// The two-part downloader: ranged parallel transfers into part files, a merge
// and an MD5 check against the digest carried in the effective address.
#pragma once

#include "download/curl_handles.h"
#include "download/downloader.h"
#include "utils/thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One byte range of the package and the file that holds what has arrived of it.
struct DownloadPartNode {
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::unique_ptr<std::FILE, FileCloser> fp;  // the part file, open for appending while fetched
    std::int64_t startPos = 0;                  // absolute offset of the next byte to fetch
    std::int64_t endPos = -1;                   // absolute offset of the part's last byte (inclusive)
    CurlEasyPtr curl;                           // reused by every attempt of this part
    std::string url;
    std::string partPath;
    std::int32_t status = -1;                   // see PartStatus; otherwise the libcurl result of the last attempt
    std::atomic<std::int64_t> recvSize{0};      // bytes of this part held in its file, earlier runs included

    // What the server announced for the current attempt's answer.
    long responseCode = 0;
    bool rangeAccepted = false;
};

// Part and run results besides libcurl's own codes.
enum PartStatus : std::int32_t {
    PART_COMPLETE = 0,
    PART_PENDING = -1,
    PART_FILE_FAILED = -2,   // the part file could not be opened
    PART_MERGE_FAILED = -3,  // merging, renaming or the merged file's size went wrong
};

// Probes the address once (HEAD) for the effective address, the length and the
// expected digest, fetches one part below 20 MiB and two parts from 20 MiB on
// their own threads (12 retry points each, 400 ms apart, resumed from the part
// files), merges them into the destination and compares its MD5 digest. The
// first failure of any kind asks the owner for one restart (DL_CODE_RETRY);
// part files survive it when progress had been reported.
class CMTCurlDownloader : public CDownloader {
public:
    static constexpr std::int64_t kMinimumFileLength = 256;
    static constexpr std::int64_t kPartUnit = 10485760;

    // Deletes the destination and both part files. `isCurlReady` is false when
    // libcurl's global initialisation failed; every run then fails at its probe.
    CMTCurlDownloader(StatusCallback callback, const wchar_t* downloadUrl, const wchar_t* path, bool isCurlReady = true);
    // Aborts running transfers and joins every thread of this downloader; a run
    // cut short this way reports nothing more. Must not be called from a callback.
    ~CMTCurlDownloader() override;

    CMTCurlDownloader(const CMTCurlDownloader&) = delete;
    CMTCurlDownloader& operator=(const CMTCurlDownloader&) = delete;

    void Start() override;

    // The ranges (first and last byte, inclusive) a file of `fileLength` bytes is fetched in.
    struct Range {
        std::int64_t first;
        std::int64_t last;
    };
    static std::vector<Range> SplitRanges(std::int64_t fileLength);
    // The path of part file `index` of the narrow destination path.
    static std::string partFilePath(const std::string& path, int index);
    static void deletePartFiles(const std::string& path);

    // libcurl callbacks of the part transfers.
    static size_t writePartData(char* data, size_t size, size_t count, void* part);
    static size_t readPartHeader(char* data, size_t size, size_t count, void* part);
    static int partProgress(void* downloader, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                            curl_off_t ulnow);

private:
    static std::uint32_t Start_Down(void* downloader);
    std::uint32_t PlanRun();
    bool getRealDownloadUrl(const std::string& address);
    bool PlanParts(const std::string& path);
    int downloadExe(DownloadPartNode& part);
    void downloadThreadFun(DownloadPartNode& part);
    void waitForFinishThreadFun(std::vector<std::thread> partThreads);
    // Merges, renames and checks the size; PART_COMPLETE or PART_MERGE_FAILED.
    std::int32_t MergeParts(const std::string& path);
    void FinishFailedRun(std::int32_t firstError, const std::string& path);
    void releaseParts();
    void ReportProgress();

    void Report(int code, double value, const wchar_t* text);
    bool Stopping() const { return m_stopping.load(); }
    // Waits `milliseconds` unless the downloader is being destroyed; false then.
    bool PauseUnlessStopping(int milliseconds);

    std::vector<std::unique_ptr<DownloadPartNode>> m_parts;
    StatusCallback m_callback;
    std::wstring m_path;
    std::wstring m_downloadUrl;
    std::string m_realUrl;
    std::int64_t m_fileLength = -1;
    std::string m_md5;
    double m_lastPercent = 0.0;
    std::atomic<std::int32_t> m_runningParts{0};
    std::mutex m_progressMutex;
    std::int64_t m_lastProgressTime = 0;
    bool m_retried = false;
    std::unique_ptr<Utils::Thread> m_thread;
    bool m_isCurlReady;

    // Threads of earlier runs that the next planning worker joins before it
    // begins: a restart may come from inside the finishing thread's callback.
    std::unique_ptr<Utils::Thread> m_previousThread;
    std::thread m_finishThread;
    std::mutex m_startMutex;
    std::mutex m_stopMutex;
    std::condition_variable m_stopChanged;
    std::atomic<bool> m_stopping{false};
};
