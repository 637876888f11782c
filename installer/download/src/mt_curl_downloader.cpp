#include "download/mt_curl_downloader.h"

#include "utils/log.h"
#include "utils/md5.h"
#include "utils/text.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

constexpr int kPartRetryBudget = 12;
constexpr int kPartRetryPauseMilliseconds = 400;
constexpr int kPartStartSpacingMilliseconds = 100;
constexpr long kConnectTimeoutSeconds = 60;
constexpr long kLowSpeedBytesPerSecond = 1;
constexpr long kLowSpeedSeconds = 5;
constexpr std::size_t kDigestLength = 32;
constexpr std::size_t kPartFileBufferSize = 1 << 18;

struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd >= 0) ::close(fd);
    }
    // Closes now and reports whether the last writes reached the file.
    bool Close() {
        const int result = ::close(fd);
        fd = -1;
        return result == 0;
    }
};

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

// Removes `path`; a missing file counts as removed.
bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0 || errno == ENOENT; }

std::int64_t ExistingFileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || info.st_size < 0) return 0;
    return info.st_size;
}

// Appends all of `from` to `to` at offset `toOffset`; false on any I/O error.
bool AppendFile(int from, int to, off_t toOffset) {
    // In-kernel copy first; a plain read/write loop where the file systems refuse it.
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, &toOffset, 1 << 30, 0);
        if (copied == 0) return true;
        if (copied > 0) continue;
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
        return false;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::pwrite(to, buffer.data() + done, static_cast<size_t>(got - done), toOffset);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            done += put;
            toOffset += put;
        }
    }
}

bool IsHttpScheme(CURL* handle) {
    const char* scheme = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_SCHEME, &scheme) != CURLE_OK || scheme == nullptr) return false;
    return strcasecmp(scheme, "http") == 0 || strcasecmp(scheme, "https") == 0;
}

// "Content-Range: bytes <first>-<last>/<total or *>" naming exactly [first, last].
bool ContentRangeMatches(std::string_view line, std::int64_t first, std::int64_t last) {
    constexpr std::string_view kName = "content-range:";
    if (line.size() < kName.size()) return false;
    for (std::size_t i = 0; i < kName.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != kName[i]) return false;
    const std::string value(line.substr(kName.size()));
    long long from = -1;
    long long to = -1;
    if (std::sscanf(value.c_str(), " bytes %lld-%lld/", &from, &to) != 2) return false;
    return from == first && to == last;
}

}  // namespace

CMTCurlDownloader::CMTCurlDownloader(StatusCallback callback, const wchar_t* downloadUrl, const wchar_t* path,
                                     bool isCurlReady)
    : m_callback(std::move(callback)),
      m_path(path != nullptr ? path : L""),
      m_downloadUrl(downloadUrl != nullptr ? downloadUrl : L""),
      m_isCurlReady(isCurlReady) {
    if (m_path.empty()) return;
    const std::string narrowPath = Utils::WideToUtf8(m_path);
    std::remove(narrowPath.c_str());
    deletePartFiles(narrowPath);
}

CMTCurlDownloader::~CMTCurlDownloader() {
    std::unique_ptr<Utils::Thread> worker;
    {
        // Under the start lock: no Start after this creates another worker.
        std::lock_guard startLock(m_startMutex);
        std::lock_guard stopLock(m_stopMutex);
        m_stopping = true;
        worker = std::move(m_thread);
    }
    m_stopChanged.notify_all();
    // The newest planning worker joins the threads of the run before it, so
    // after it only its own finishing thread (which joins the parts) is left.
    if (worker) worker->Join();
    if (m_previousThread) m_previousThread->Join();
    if (m_finishThread.joinable()) m_finishThread.join();
}

void CMTCurlDownloader::Start() {
    std::lock_guard lock(m_startMutex);
    if (Stopping()) return;
    if (m_thread) {
        if (m_thread->IsCurrent()) {
            // Called from a report of the planning worker itself: the next worker joins it.
            m_previousThread = std::move(m_thread);
        } else {
            m_thread->Join();
            m_thread.reset();
        }
    }
    m_thread = std::make_unique<Utils::Thread>(this, L"ABDEF", &CMTCurlDownloader::Start_Down);
    m_thread->Resume();
}

std::uint32_t CMTCurlDownloader::Start_Down(void* downloader) {
    return static_cast<CMTCurlDownloader*>(downloader)->PlanRun();
}

std::uint32_t CMTCurlDownloader::PlanRun() {
    // The previous run ends completely (its finishing thread may be the one
    // that asked for this run) before this run touches the parts.
    if (m_previousThread) {
        m_previousThread->Join();
        m_previousThread.reset();
    }
    if (m_finishThread.joinable()) m_finishThread.join();
    if (Stopping()) return 0;

    Report(DL_CODE_START, 1.0, L"");
    UTILS_LOG_LINE(L"start download");
    if (m_path.empty()) {
        Report(DL_CODE_FAIL, 1.0, L"");
        return 0;
    }
    const std::string path = Utils::WideToUtf8(m_path);
    const std::string address = Utils::WideToUtf8(m_downloadUrl);
    std::remove(path.c_str());
    // A run that never reported progress starts from scratch; otherwise the part files are resumed.
    if (m_lastPercent == 0.0) deletePartFiles(path);

    const bool probeKnown = !m_realUrl.empty() && m_fileLength >= kMinimumFileLength;
    if (!probeKnown && !getRealDownloadUrl(address)) {
        Report(DL_CODE_FAIL, 0.0, L"LibCurl");
        return 0;
    }
    PlanParts(path);

    std::vector<std::thread> partThreads;
    for (auto& part : m_parts) {
        if (part->status != PART_PENDING) continue;
        if (Stopping()) break;
        ++m_runningParts;
        try {
            partThreads.emplace_back([this, node = part.get()] { downloadThreadFun(*node); });
        } catch (const std::system_error&) {
            --m_runningParts;
            part->status = CURLE_FAILED_INIT;
            continue;
        }
        if (!PauseUnlessStopping(kPartStartSpacingMilliseconds)) break;
    }
    try {
        m_finishThread = std::thread([this, threads = std::move(partThreads)]() mutable {
            waitForFinishThreadFun(std::move(threads));
        });
    } catch (const std::system_error&) {
        // Cannot happen in practice; the parts are still joined here.
        for (auto& thread : partThreads) thread.join();
        releaseParts();
        Report(DL_CODE_FAIL, CURLE_FAILED_INIT, L"LibCurl");
    }
    return 0;
}

std::vector<CMTCurlDownloader::Range> CMTCurlDownloader::SplitRanges(std::int64_t fileLength) {
    std::int64_t count = fileLength / kPartUnit;
    if (count == 0) count = 1;
    if (count > 2) count = 2;
    const std::int64_t size = fileLength / count;
    std::vector<Range> ranges;
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t first = i * size;
        const std::int64_t length = i == count - 1 ? size + fileLength % count : size;
        ranges.push_back(Range{first, first + length - 1});
    }
    return ranges;
}

std::string CMTCurlDownloader::partFilePath(const std::string& path, int index) {
    return path + "_" + std::to_string(index);
}

void CMTCurlDownloader::deletePartFiles(const std::string& path) {
    for (int i = 0; i < 2; ++i) std::remove(partFilePath(path, i).c_str());
}

bool CMTCurlDownloader::PlanParts(const std::string& path) {
    std::lock_guard lock(m_progressMutex);
    m_parts.clear();
    const std::vector<Range> ranges = SplitRanges(m_fileLength);
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        auto part = std::make_unique<DownloadPartNode>();
        part->partPath = partFilePath(path, static_cast<int>(i));
        const std::int64_t existing = ExistingFileSize(part->partPath);
        part->recvSize = existing;
        part->startPos = ranges[i].first + existing;
        part->endPos = ranges[i].last;
        part->curl.reset(curl_easy_init());
        part->url = m_realUrl;
        if (part->startPos > part->endPos) {
            part->status = PART_COMPLETE;
        } else {
            part->status = PART_PENDING;
            part->fp.reset(std::fopen(part->partPath.c_str(), "ab+"));
            if (!part->fp) {
                part->status = PART_FILE_FAILED;
            } else {
                std::setvbuf(part->fp.get(), nullptr, _IOFBF, kPartFileBufferSize);
            }
            if (!part->curl && part->status == PART_PENDING) part->status = CURLE_FAILED_INIT;
        }
        m_parts.push_back(std::move(part));
    }
    return true;
}

bool CMTCurlDownloader::getRealDownloadUrl(const std::string& address) {
    m_realUrl.clear();
    m_md5.clear();
    m_fileLength = 0;
    if (!m_isCurlReady) return false;
    CurlEasyPtr handle(curl_easy_init());
    if (!handle) return false;
    CurlSlistPtr headers;
    if (!AppendHeaderLine(headers, "Connection: keep-alive")) return false;
    CURL* curl = handle.get();
    // Certificates and host names stay verified: the digest comes from this address.
    CURLcode options = curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_URL, address.c_str()));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_NOBODY, 1L));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &DiscardBody));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds));
    if (options != CURLE_OK) return false;
    if (curl_easy_perform(curl) != CURLE_OK) return false;

    const char* effective = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr &&
        *effective != '\0') {
        m_realUrl = effective;
        UTILS_LOG_LINE(L"Download File real url %s", Utils::Utf8ToWideLenient(m_realUrl));
        m_md5 = Utils::UrlMd5(m_realUrl);
    }
    curl_off_t length = -1;
    long status = 0;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 && status <= 399) {
        m_fileLength = length;
        UTILS_LOG_LINE(L"Download File Length %lld", static_cast<long long>(m_fileLength));
    }
    return !m_realUrl.empty() && m_fileLength >= kMinimumFileLength;
}

int CMTCurlDownloader::downloadExe(DownloadPartNode& part) {
    const std::string range = std::to_string(part.startPos) + "-" + std::to_string(part.endPos);
    CURL* curl = part.curl.get();
    part.responseCode = 0;
    part.rangeAccepted = false;
    CURLcode options = curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_URL, part.url.c_str()));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_TIMEOUT, 0L));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writePartData));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_WRITEDATA, &part));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &readPartHeader));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_HEADERDATA, &part));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &partProgress));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds));
    options = static_cast<CURLcode>(options | curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str()));
    if (options != CURLE_OK) return options;

    int rc = curl_easy_perform(curl);
    if (rc == CURLE_OK && part.startPos <= part.endPos) {
        // The answer ended before the range did: never a complete part.
        rc = CURLE_PARTIAL_FILE;
    }
    if (rc != CURLE_OK) {
        UTILS_LOG_LINE(L"error:%d:%s", rc, Utils::Utf8ToWideLenient(curl_easy_strerror(static_cast<CURLcode>(rc))));
    } else {
        UTILS_LOG_LINE(L"curl_easy_cleanup");
    }
    curl_easy_reset(curl);
    if (rc == CURLE_OK) {
        // A part whose bytes did not all reach the file is not complete.
        if (!part.fp || std::fclose(part.fp.release()) != 0) rc = CURLE_WRITE_ERROR;
    }
    part.status = rc;
    return rc;
}

size_t CMTCurlDownloader::readPartHeader(char* data, size_t size, size_t count, void* node) {
    auto& part = *static_cast<DownloadPartNode*>(node);
    const std::string_view line(data, size * count);
    // Every answer of a redirect chain starts with its status line.
    if (line.starts_with("HTTP/")) part.rangeAccepted = false;
    if (ContentRangeMatches(line, part.startPos, part.endPos)) part.rangeAccepted = true;
    return size * count;
}

size_t CMTCurlDownloader::writePartData(char* data, size_t size, size_t count, void* node) {
    auto& part = *static_cast<DownloadPartNode*>(node);
    if (!part.fp || part.startPos > part.endPos) return 0;
    if (part.responseCode == 0) {
        // Only the requested range may land in the part file: an HTTP answer
        // that is not 206 for exactly that range fails the attempt.
        long status = 0;
        curl_easy_getinfo(part.curl.get(), CURLINFO_RESPONSE_CODE, &status);
        part.responseCode = status;
        if (IsHttpScheme(part.curl.get()) && (status != 206 || !part.rangeAccepted)) part.responseCode = -1;
    }
    if (part.responseCode < 0) return 0;
    const std::int64_t offered = static_cast<std::int64_t>(size * count);
    const std::int64_t room = part.endPos - part.startPos + 1;
    const std::int64_t wanted = std::min(offered, room);
    const size_t written = std::fwrite(data, 1, static_cast<size_t>(wanted), part.fp.get());
    part.startPos += static_cast<std::int64_t>(written);
    part.recvSize += static_cast<std::int64_t>(written);
    return written;
}

int CMTCurlDownloader::partProgress(void* downloader, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* self = static_cast<CMTCurlDownloader*>(downloader);
    // Destruction aborts the transfers; nothing else does.
    if (self->Stopping()) return 1;
    self->ReportProgress();
    return 0;
}

void CMTCurlDownloader::ReportProgress() {
    std::lock_guard lock(m_progressMutex);
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    if (now < m_lastProgressTime + 1) return;
    m_lastProgressTime = now;
    double total = 0.0;
    if (m_fileLength >= kMinimumFileLength) {
        for (const auto& part : m_parts) {
            const std::int64_t received = part->recvSize.load();
            if (received > 0) total += static_cast<double>(received) * 100 / static_cast<double>(m_fileLength);
        }
        if (total > 100) return;
    }
    if (total - m_lastPercent >= 1.0) {
        m_lastPercent = total;
        Report(DL_CODE_PROGRESS, total / 100, L"");
    }
}

void CMTCurlDownloader::downloadThreadFun(DownloadPartNode& part) {
    int budget = kPartRetryBudget;
    int rc = downloadExe(part);
    while (rc != CURLE_OK && budget > 0 && !Stopping()) {
        budget -= rc == CURLE_PARTIAL_FILE ? 1 : 2;
        UTILS_LOG_LINE(L"CurlDownLoader Code=%d", rc);
        if (!PauseUnlessStopping(kPartRetryPauseMilliseconds)) break;
        rc = downloadExe(part);
    }
    part.fp.reset();
    --m_runningParts;
}

void CMTCurlDownloader::waitForFinishThreadFun(std::vector<std::thread> partThreads) {
    for (auto& thread : partThreads) thread.join();
    const std::string path = Utils::WideToUtf8(m_path);
    if (Stopping()) {
        releaseParts();
        return;
    }
    std::int32_t firstError = PART_COMPLETE;
    for (const auto& part : m_parts) {
        if (part->status != PART_COMPLETE) {
            firstError = part->status;
            break;
        }
    }
    if (firstError != PART_COMPLETE) {
        FinishFailedRun(firstError, path);
        return;
    }

    m_lastPercent = 0.0;
    if (MergeParts(path) != PART_COMPLETE) {
        // Part files that went into a broken merge are not resumed.
        std::remove(path.c_str());
        deletePartFiles(path);
        FinishFailedRun(PART_MERGE_FAILED, path);
        return;
    }
    if (m_md5.size() == kDigestLength) {
        const std::string actual = Utils::FileMd5(path);
        if (actual != m_md5) {
            // Also an unreadable merged file: it is never passed on unchecked.
            Report(DL_CODE_MD5, 0.0, L"mtcurl文件md5校验失败");
            std::remove(path.c_str());
            releaseParts();
            if (m_retried) {
                UTILS_LOG_LINE(L"finish recv, md5 chaek failed and retry failed.");
                Report(DL_CODE_FAIL, 0.0, L"LibCurl");
            } else {
                m_retried = true;
                UTILS_LOG_LINE(L"finish recv, md5 chaek failed retry once.");
                Report(DL_CODE_RETRY, 0.0, L"LibCurl");
            }
            return;
        }
    } else {
        Report(DL_CODE_MD5, 0.0, L"mtcurl获取url-md5失败");
    }
    UTILS_LOG_LINE(L"finish recv");
    releaseParts();
    Report(DL_CODE_SUCCESS, 0.0, L"LibCurl");
}

std::int32_t CMTCurlDownloader::MergeParts(const std::string& path) {
    const std::string firstPath = partFilePath(path, 0);
    FdCloser merged{::open(firstPath.c_str(), O_WRONLY | O_CLOEXEC)};
    if (merged.fd < 0) return PART_MERGE_FAILED;
    off_t end = ::lseek(merged.fd, 0, SEEK_END);
    if (end < 0) return PART_MERGE_FAILED;
    for (std::size_t i = 1; i < m_parts.size(); ++i) {
        const std::string& partPath = m_parts[i]->partPath;
        FdCloser source{::open(partPath.c_str(), O_RDONLY | O_CLOEXEC)};
        if (source.fd < 0 || !AppendFile(source.fd, merged.fd, end)) return PART_MERGE_FAILED;
        end = ::lseek(merged.fd, 0, SEEK_END);
        UTILS_LOG_LINE(L"partPath::%s", Utils::Utf8ToWideLenient(partPath));
    }
    if (!merged.Close()) return PART_MERGE_FAILED;
    if (std::rename(firstPath.c_str(), path.c_str()) != 0) return PART_MERGE_FAILED;
    for (std::size_t i = 1; i < m_parts.size(); ++i)
        if (!RemoveFile(m_parts[i]->partPath)) return PART_MERGE_FAILED;
    // Part files from an earlier run can hold more than their range.
    if (ExistingFileSize(path) != m_fileLength) return PART_MERGE_FAILED;
    return PART_COMPLETE;
}

void CMTCurlDownloader::FinishFailedRun(std::int32_t firstError, const std::string& path) {
    releaseParts();
    if (m_lastPercent == 0.0) deletePartFiles(path);
    if (m_retried) {
        m_lastPercent = 0.0;
        Report(DL_CODE_FAIL, firstError, L"LibCurl");
    } else {
        m_retried = true;
        Report(DL_CODE_RETRY, firstError, L"LibCurl");
    }
}

void CMTCurlDownloader::releaseParts() {
    std::lock_guard lock(m_progressMutex);
    m_parts.clear();
}

void CMTCurlDownloader::Report(int code, double value, const wchar_t* text) {
    if (!Stopping()) m_callback(code, value, text);
}

bool CMTCurlDownloader::PauseUnlessStopping(int milliseconds) {
    std::unique_lock lock(m_stopMutex);
    return !m_stopChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_stopping.load(); });
}
