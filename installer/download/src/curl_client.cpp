#include "download/curl_client.h"

#include "download/curl_downloader.h"
#include "growing_file_md5.h"
#include "tracker/reporting.h"
#include "utils/log.h"
#include "utils/text.h"

#include <fmt/printf.h>
#include <fmt/xchar.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace {

constexpr long kConnectTimeoutSeconds = 60;
constexpr std::size_t kReportTextLimit = 200;

std::wstring CurlErrorText(int code) {
    return Utils::Utf8ToWideLenient(curl_easy_strerror(static_cast<CURLcode>(code)));
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

// The length probes report a missing or bad status as a task event; the
// report never changes the probe's result.
void ReportLengthProbeFailure(long status) {
    std::wstring reason = fmt::sprintf(L"1.获取文件大小的状态码为=%ld；", status);
    if (reason.size() > kReportTextLimit - 1) reason.resize(kReportTextLimit - 1);
    karvo::tracking::ReportTaskEvent(L"下载失败原因", reason, 0.0f, {{L"AB", L"IN"}});
}

bool IsUsableStatus(long status) { return status >= 200 && status <= 399; }

// The probes' common options; the OR of their results.
int SetProbeOptions(CURL* handle, const std::string& url, bool followRedirects) {
    int result = curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    if (followRedirects)
        result |= curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    else
        result |= curl_easy_setopt(handle, CURLOPT_HEADER, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &DiscardBody);
    result |= curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    return result;
}

// -1 when the size cannot be read.
std::int64_t FileSize(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    return static_cast<std::int64_t>(ftello(file));
}

std::int64_t FileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

}  // namespace

CurlClient::CurlClient(const std::wstring& url, const std::wstring& filePath, void* owner)
    : m_url(url),
      m_filePath(filePath),
      m_owner(owner),
      m_progressFn(&CCurlDownloader::OnClientProgress),
      m_digest(std::make_unique<GrowingFileMd5>()) {}

CurlClient::~CurlClient() {
    // Without a destination there is no partial file of ours (".part" alone would be someone else's).
    if (!m_filePath.empty()) std::remove(Utils::WideToUtf8(GetFilePath(true)).c_str());
    m_stop = true;
}

std::wstring CurlClient::GetFilePath(bool part) const { return part ? m_filePath + L".part" : m_filePath; }

bool CurlClient::HasUsableProbe() const { return !m_realUrl.empty() && m_fileLength >= kMinimumFileLength; }

void CurlClient::ProbeUrlAndLength(const std::string& address) {
    if (!HasUsableProbe()) {
        CurlEasyPtr head = Head(address);
        m_realUrl = GetRealUrl(head.get());
        m_fileLength = GetDownloadFileLength(head.get());
    }
    if (!HasUsableProbe()) {
        m_realUrl = GetRealUrl_Str(address);
        if (!m_realUrl.empty()) m_fileLength = GetDownloadFileLength_Str(m_realUrl);
    }
}

int CurlClient::Start() {
    UTILS_LOG_LINE(L"start download");
    const std::string partPath = Utils::WideToUtf8(GetFilePath(true));
    const std::string destinationPath = Utils::WideToUtf8(GetFilePath(false));
    // File paths and "file:///" addresses are UTF-8 on this platform, like every other address.
    const std::string address = Utils::WideToUtf8(m_url);

    m_destinationHashed = false;
    ProbeUrlAndLength(address);
    FilePtr partFile;
    int result = CLIENT_LENGTH_UNKNOWN;
    if (m_fileLength >= kMinimumFileLength) result = Transfer(partPath, partFile);

    UTILS_LOG_LINE(L"error:%d:%s", result, CurlErrorText(result));
    m_curl.reset();
    if (partFile) {
        partFile.reset();
        CheckDigestCoversPartFile(partPath);
    }
    if (result == 0) result = FinishFile(partPath, destinationPath);
    m_destinationHashed = result == 0;
    UTILS_LOG_LINE(L"end download");
    return result;
}

int CurlClient::Transfer(const std::string& partPath, FilePtr& partFile) {
    m_curl.reset(curl_easy_init());
    if (!m_curl) return CLIENT_NO_HANDLE;
    partFile.reset(std::fopen(partPath.c_str(), "ab+"));
    if (!partFile) return CLIENT_PART_FILE_FAILED;
    // Unbuffered: every accepted byte is in the file at once, where the digest reads it back.
    std::setvbuf(partFile.get(), nullptr, _IONBF, 0);

    CurlSlistPtr headers;
    AppendHeaderLine(headers, "Connection: keep-alive");
    AppendHeaderLine(headers, "Accept-Encoding: gzip, deflate");
    PartFileSink sink{partFile.get(), m_digest.get()};
    int result = SetDownloadOptions(m_curl.get(), &sink, headers.get());

    m_resumeFrom = FileSize(partFile.get());
    if (static_cast<double>(m_resumeFrom) > 1e-10)
        result |= curl_easy_setopt(m_curl.get(), CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(m_resumeFrom));
    if (result != 0) return result;
    m_digest->Begin(partPath, m_resumeFrom);
    // A partial file that already holds every byte (an earlier attempt failed
    // only to move it into place) has nothing left to fetch; asking the server
    // for the bytes after its end would only earn a 416 on every attempt.
    const bool complete = static_cast<double>(m_resumeFrom) == m_fileLength;
    const int performed = complete ? 0 : curl_easy_perform(m_curl.get());
    m_digest->Finish();
    return performed;
}

// The digest stands for the file only while the bytes it was told about are
// exactly the bytes on disk.
void CurlClient::CheckDigestCoversPartFile(const std::string& partPath) {
    if (m_digest->WrittenBytes() != FileSize(partPath)) m_digest->Invalidate();
}

std::string CurlClient::DownloadedFileMd5() { return m_destinationHashed ? m_digest->HexDigest() : std::string(); }

size_t CurlClient::WriteToPartFile(char* data, size_t size, size_t count, void* sinkPointer) {
    auto* sink = static_cast<PartFileSink*>(sinkPointer);
    const size_t written = std::fwrite(data, size, count, sink->file);
    sink->digest->Appended(written * size);
    return written;
}

int CurlClient::SetDownloadOptions(CURL* handle, PartFileSink* sink, curl_slist* headers) {
    // The connection options are best effort; their results are not examined.
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(handle, CURLOPT_TCP_KEEPIDLE, 10L);
    curl_easy_setopt(handle, CURLOPT_TCP_KEEPINTVL, 10L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 0L);
    // No TLS option is set: libcurl verifies the peer and the host name by default.
    int result = curl_easy_setopt(handle, CURLOPT_URL, m_realUrl.c_str());
    result |= curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &CurlClient::WriteToPartFile);
    result |= curl_easy_setopt(handle, CURLOPT_WRITEDATA, sink);
    result |= curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    result |= curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &CurlClient::ProgressCallback);
    result |= curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    result |= curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    result |= curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    return result;
}

// rename() replaces an existing destination file in one step; a destination
// that cannot be replaced (a folder, a read-only location) fails the attempt
// instead of passing as a finished download.
int CurlClient::FinishFile(const std::string& partPath, const std::string& destinationPath) {
    if (std::rename(partPath.c_str(), destinationPath.c_str()) == 0) return 0;
    const int error = errno;
    UTILS_LOG_LINE(L"rename to the destination failed:%d", error);
    return CLIENT_FINISH_FAILED;
}

int CurlClient::ProgressCallback(void* client, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
    auto* self = static_cast<CurlClient*>(client);
    if (self->m_stop) return 1;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    if (now < self->m_lastProgressTime + 1) return 0;
    self->m_lastProgressTime = now;

    curl_off_t speedBytes = 0;
    curl_easy_getinfo(self->m_curl.get(), CURLINFO_SPEED_DOWNLOAD_T, &speedBytes);
    const double speed = static_cast<double>(speedBytes);

    double percent = 0.0;
    if (self->m_fileLength > kMinimumFileLength) {
        percent = (static_cast<double>(dlnow) + static_cast<double>(self->m_resumeFrom)) / self->m_fileLength * 100.0;
    } else {
        if (dlnow <= 0 || dltotal <= 0) return 0;
        percent = static_cast<double>(dlnow) * 100.0 / static_cast<double>(dltotal);
    }
    if (percent == 0.0) return 0;
    if (self->m_progressFn != nullptr) self->m_progressFn(self->m_owner, speed, 0.0, percent);
    if (dltotal != 0) {
        UTILS_LOG(L" %dM %dM   progress:%f%%  speed:%f \n", static_cast<int>(dlnow / 1048576),
                  static_cast<int>(dltotal / 1048576), static_cast<float>(percent), static_cast<float>(speed / 1024));
    }
    return 0;
}

CurlEasyPtr CurlClient::Head(const std::string& url) {
    CurlEasyPtr handle(curl_easy_init());
    if (!handle) return handle;
    int result = SetProbeOptions(handle.get(), url, true);
    if (result == 0) {
        result = curl_easy_perform(handle.get());
        if (result != 0) UTILS_LOG(L"error:%d:%s", result, CurlErrorText(result));
    }
    UTILS_LOG_LINE(L"error:%d:%s", result, CurlErrorText(result));
    return handle;
}

std::string CurlClient::GetRealUrl(CURL* handle) {
    char* effective = nullptr;
    if (handle == nullptr || curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK ||
        effective == nullptr)
        return {};
    return effective;
}

double CurlClient::GetDownloadFileLength(CURL* handle) {
    if (handle == nullptr) {
        ReportLengthProbeFailure(0);
        return -1.0;
    }
    curl_off_t length = -1;
    const int lengthResult = curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    UTILS_LOG_LINE(L"error:%d:%s", lengthResult, CurlErrorText(lengthResult));
    long status = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && IsUsableStatus(status))
        return static_cast<double>(length);
    ReportLengthProbeFailure(status);
    return -1.0;
}

std::string CurlClient::GetRealUrl_Str(std::string url) {
    CurlEasyPtr handle(curl_easy_init());
    std::string effective;
    if (handle && SetProbeOptions(handle.get(), url, true) == 0) {
        const int result = curl_easy_perform(handle.get());
        if (result != 0)
            UTILS_LOG(L"error:%d:%s", result, CurlErrorText(result));
        else
            effective = GetRealUrl(handle.get());
    }
    return effective.empty() ? url : effective;
}

double CurlClient::GetDownloadFileLength_Str(std::string url) {
    CurlEasyPtr handle(curl_easy_init());
    if (!handle) {
        ReportLengthProbeFailure(0);
        return -1.0;
    }
    const int optionResult = SetProbeOptions(handle.get(), url, false);
    if (optionResult == 0) curl_easy_perform(handle.get());
    curl_off_t length = -1;
    curl_easy_getinfo(handle.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    long status = 0;
    const int statusResult = curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    if (statusResult != CURLE_OK || !IsUsableStatus(status)) ReportLengthProbeFailure(status);
    const int result = optionResult != 0 ? optionResult : statusResult;
    UTILS_LOG_LINE(L"error:%d:%s", result, CurlErrorText(result));
    return static_cast<double>(length);
}
