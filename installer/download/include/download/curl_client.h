// One HTTP(S) download attempt over libcurl, resumable from a ".part" file.
#pragma once

#include "download/curl_handles.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class GrowingFileMd5;

// Results of CurlClient::Start besides libcurl's own codes (0 is success).
enum CurlClientResult : int {
    CLIENT_LENGTH_UNKNOWN = -998,      // no effective address, or a length unknown or below 1 MiB
    CLIENT_NO_HANDLE = -997,           // no easy handle could be created
    CLIENT_PART_FILE_FAILED = -996,    // the partial file could not be opened
    CLIENT_FINISH_FAILED = -995,       // the finished partial file could not replace the destination
};

// Downloads one file: probes the effective address and the length (kept for
// later attempts once known), appends to "<destination>.part", resumes from its
// size on the next attempt and renames it over the destination on success.
// Makes no retries of its own; one attempt per Start, all on the calling thread.
class CurlClient {
public:
    // Receives (owner, average speed in bytes per second, 0.0, percent done).
    using ProgressFunction = void (*)(void* owner, double speed, double reserved, double percent);

    static constexpr double kMinimumFileLength = 1048576.0;

    CurlClient(const std::wstring& url, const std::wstring& filePath, void* owner);
    // Deletes the partial file.
    ~CurlClient();

    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    // One attempt: 0, a CurlClientResult or a libcurl result code.
    int Start();

    // The destination path, or with `part` the partial file's path.
    std::wstring GetFilePath(bool part) const;
    // The effective address found by the probes; empty until known.
    const std::string& RealUrl() const { return m_realUrl; }
    // MD5 (32 lower-case hex digits) of the destination file as the last
    // successful Start wrote it, hashed while the bytes arrived (a resumed
    // partial file is hashed from its first byte); "" when not known. May wait
    // briefly for the hashing to catch up with the transfer.
    std::string DownloadedFileMd5();
    double FileLength() const { return m_fileLength; }

    // Replaces the progress sink (the single-stream downloader's handler by default).
    void SetProgressFunction(ProgressFunction function) { m_progressFn = function; }
    // Aborts the running transfer at its next progress call, and every later one.
    void RequestStop() { m_stop = true; }

    static int ProgressCallback(void* client, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                                curl_off_t ulnow);

    // Probes. Head returns the performed handle (null when none could be created).
    static CurlEasyPtr Head(const std::string& url);
    static std::string GetRealUrl(CURL* handle);
    static double GetDownloadFileLength(CURL* handle);
    static std::string GetRealUrl_Str(std::string url);
    static double GetDownloadFileLength_Str(std::string url);

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

    void ProbeUrlAndLength(const std::string& address);
    bool HasUsableProbe() const;
    int Transfer(const std::string& partPath, FilePtr& partFile);
    struct PartFileSink {
        std::FILE* file;
        GrowingFileMd5* digest;
    };
    static size_t WriteToPartFile(char* data, size_t size, size_t count, void* sink);
    int SetDownloadOptions(CURL* handle, PartFileSink* sink, curl_slist* headers);
    void CheckDigestCoversPartFile(const std::string& partPath);
    int FinishFile(const std::string& partPath, const std::string& destinationPath);

    std::wstring m_url;
    std::wstring m_filePath;
    void* m_owner;
    CurlEasyPtr m_curl;
    ProgressFunction m_progressFn;
    double m_fileLength = -1.0;
    std::int64_t m_resumeFrom = -1;
    std::int64_t m_lastProgressTime = 0;
    std::atomic<bool> m_stop{false};
    std::string m_realUrl;

    // Hashes the partial file as it grows; its digest carries over between attempts.
    std::unique_ptr<GrowingFileMd5> m_digest;
    bool m_destinationHashed = false;
};
