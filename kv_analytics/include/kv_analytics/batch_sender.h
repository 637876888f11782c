// Sends one batch (a JSON array of records) to the collection server.
#pragma once

#include <map>
#include <string>

namespace kv_analytics {

class BatchSender {
public:
    static constexpr long kTimeoutSeconds = 3;

    explicit BatchSender(std::string serverUrl) : serverUrl_(std::move(serverUrl)) {}
    virtual ~BatchSender() = default;
    BatchSender(const BatchSender&) = delete;
    BatchSender& operator=(const BatchSender&) = delete;

    // True only when the server answered 200. Every transmission stores its
    // outcome in the last-send flag (send_status.h). May throw on resource failures.
    virtual bool Send(const std::string& batch, const std::map<std::string, std::string>& extraHeaders);

    const std::string& serverUrl() const { return serverUrl_; }

private:
    std::string serverUrl_;
};

}  // namespace kv_analytics
