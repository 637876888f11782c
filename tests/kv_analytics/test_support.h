// Shared helpers of the analytics tests: message capture and record normalising.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "kv_analytics/diagnostics.h"

namespace kv_analytics_test {

// Collects the SDK's messages (and debugger output lines) while alive.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    std::vector<std::string> Errors() const;
    std::vector<std::string> Outputs() const;
    std::vector<std::string> DebuggerLines() const;
    bool HasError(std::string_view text) const;
};

// Checks the form of the volatile "_track_id" (up to nine digits) and, when
// `fixTime`, of "time" (13 digits), then replaces both numbers with 0.
std::string NormaliseVolatileFields(const std::string& record, bool fixTime);

// "[" + records joined by "," + "]".
std::string JsonArray(const std::vector<std::string>& records);

// Records {"n":<i>} for i in [first, first + count).
std::vector<std::string> NumberedRecords(int first, int count);

}  // namespace kv_analytics_test
