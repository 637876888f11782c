#include "kv_analytics/http_connection.h"

#include <curl/curl.h>

#include <stdexcept>

namespace kv_analytics {
namespace {

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

size_t AppendBody(char* data, size_t size, size_t count, void* userData) {
    static_cast<std::string*>(userData)->append(data, size * count);
    return size * count;
}

size_t StoreHeaderLine(char* data, size_t size, size_t count, void* userData) {
    auto& headers = *static_cast<std::map<std::string, std::string>*>(userData);
    const std::string_view line(data, size * count);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        std::string name = Trim(line);
        if (!name.empty()) headers[name] = "present";
    } else {
        headers[Trim(line.substr(0, colon))] = Trim(line.substr(colon + 1));
    }
    return size * count;
}

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

double TimeInfo(CURL* curl, CURLINFO info) {
    double seconds = 0;
    return curl_easy_getinfo(curl, info, &seconds) == CURLE_OK ? seconds : 0;
}

}  // namespace

void HttpConnection::CurlDeleter::operator()(void* handle) const { curl_easy_cleanup(static_cast<CURL*>(handle)); }

HttpConnection::HttpConnection() : handle_(curl_easy_init()) {
    if (!handle_) throw std::runtime_error("Couldn't initialize curl handle");
}

HttpConnection::~HttpConnection() = default;

const HttpResponse& HttpConnection::Post(const std::string& url, const std::string& body) {
    CURL* curl = static_cast<CURL*>(handle_.get());
    response_ = HttpResponse{};
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    // Records carry user identity: the collector's certificate is always checked.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    const std::string fullUrl = baseUrl_ + url;
    curl_easy_setopt(curl, CURLOPT_URL, fullUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response_.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &StoreHeaderLine);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response_.headers);

    std::unique_ptr<curl_slist, SlistFree> headerList;
    for (const auto& [name, value] : headers_) {
        curl_slist* extended = curl_slist_append(headerList.get(), (name + ": " + value).c_str());
        if (!extended) throw std::bad_alloc();
        headerList.release();
        headerList.reset(extended);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    if (timeoutSeconds_ != 0) {
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds_);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    }
    if (followRedirects_) {
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, maxRedirects_);
    }

    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK) {
        response_.status = -1;
        response_.body = curl_easy_strerror(result);
    } else {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        response_.status = static_cast<int>(status);
    }
    HttpTimings& timings = response_.timings;
    timings.total = TimeInfo(curl, CURLINFO_TOTAL_TIME);
    timings.nameLookup = TimeInfo(curl, CURLINFO_NAMELOOKUP_TIME);
    timings.connect = TimeInfo(curl, CURLINFO_CONNECT_TIME);
    timings.tlsConnect = TimeInfo(curl, CURLINFO_APPCONNECT_TIME);
    timings.preTransfer = TimeInfo(curl, CURLINFO_PRETRANSFER_TIME);
    timings.startTransfer = TimeInfo(curl, CURLINFO_STARTTRANSFER_TIME);
    timings.redirect = TimeInfo(curl, CURLINFO_REDIRECT_TIME);
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_COUNT, &timings.redirectCount);

    headerList.reset();
    curl_easy_reset(curl);
    return response_;
}

}  // namespace kv_analytics
