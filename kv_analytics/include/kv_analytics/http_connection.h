// One HTTP request through a libcurl easy handle. Not shared between threads.
#pragma once

#include <map>
#include <memory>
#include <string>

namespace kv_analytics {

struct HttpTimings {
    double total = 0;
    double nameLookup = 0;
    double connect = 0;
    double tlsConnect = 0;
    double preTransfer = 0;
    double startTransfer = 0;
    double redirect = 0;
    long redirectCount = 0;
};

struct HttpResponse {
    int status = -1;  // -1 when the transfer failed; the body then holds libcurl's error text
    std::string body;
    // Header name -> value; a line without a colon maps to "present".
    std::map<std::string, std::string> headers;
    HttpTimings timings;
};

class HttpConnection {
public:
    static constexpr const char* kUserAgent = "KvAnalytics CPP SDK 0.9";

    // Throws std::runtime_error("Couldn't initialize curl handle") when libcurl gives no handle.
    HttpConnection();
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    void SetBaseUrl(std::string baseUrl) { baseUrl_ = std::move(baseUrl); }
    void SetHeader(const std::string& name, const std::string& value) { headers_[name] = value; }
    // 0 means no time-out.
    void SetTimeoutSeconds(long seconds) { timeoutSeconds_ = seconds; }
    void SetFollowRedirects(bool follow, long maxRedirects) {
        followRedirects_ = follow;
        maxRedirects_ = maxRedirects;
    }

    // POSTs `body` to base address + `url`; TLS peers are always verified.
    const HttpResponse& Post(const std::string& url, const std::string& body);
    const HttpResponse& response() const { return response_; }

private:
    struct CurlDeleter {
        void operator()(void* handle) const;
    };

    std::unique_ptr<void, CurlDeleter> handle_;
    std::string baseUrl_;
    std::map<std::string, std::string> headers_;
    long timeoutSeconds_ = 0;
    bool followRedirects_ = false;
    long maxRedirects_ = 0;
    HttpResponse response_;
};

}  // namespace kv_analytics
