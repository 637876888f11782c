#include "test_support.h"

#include <curl/curl.h>
#include <gtest/gtest.h>


#include "utils/log.h"
#include "utils/text.h"

namespace kv_analytics_test {
namespace {

// libcurl wants its global set-up before any thread uses it.
const bool g_curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;

std::mutex g_mutex;
std::vector<std::string> g_errors;
std::vector<std::string> g_outputs;
std::vector<std::string> g_debuggerLines;

void Capture(kv_analytics::MessageStream stream, std::string_view message) {
    std::lock_guard lock(g_mutex);
    (stream == kv_analytics::MessageStream::Error ? g_errors : g_outputs).emplace_back(message);
}

void CaptureDebugger(std::wstring_view line) {
    std::lock_guard lock(g_mutex);
    g_debuggerLines.push_back(Utils::WideToUtf8(line));
}

}  // namespace

MessageCapture::MessageCapture() {
    EXPECT_TRUE(g_curlReady);
    std::lock_guard lock(g_mutex);
    g_errors.clear();
    g_outputs.clear();
    g_debuggerLines.clear();
    kv_analytics::SetMessageSink(&Capture);
    Utils::SetDebugOutputSink(&CaptureDebugger);
}

MessageCapture::~MessageCapture() {
    kv_analytics::SetMessageSink(nullptr);
    Utils::SetDebugOutputSink(nullptr);
}

std::vector<std::string> MessageCapture::Errors() const {
    std::lock_guard lock(g_mutex);
    return g_errors;
}

std::vector<std::string> MessageCapture::Outputs() const {
    std::lock_guard lock(g_mutex);
    return g_outputs;
}

std::vector<std::string> MessageCapture::DebuggerLines() const {
    std::lock_guard lock(g_mutex);
    return g_debuggerLines;
}

bool MessageCapture::HasError(std::string_view text) const {
    for (const auto& error : Errors())
        if (error == text) return true;
    return false;
}

namespace {

// Replaces the digits after `field` (ended by a comma) with 0 when there are
// `minDigits` to `maxDigits` of them; reports a test failure otherwise.
std::string ZeroNumberField(const std::string& record, const std::string& field, std::size_t minDigits,
                            std::size_t maxDigits) {
    const auto start = record.find(field);
    if (start == std::string::npos) {
        ADD_FAILURE() << field << " missing in " << record;
        return record;
    }
    const auto digits = start + field.size();
    const auto end = record.find_first_not_of("0123456789", digits);
    const std::size_t count = (end == std::string::npos ? record.size() : end) - digits;
    if (count < minDigits || count > maxDigits || end == std::string::npos || record[end] != ',') {
        ADD_FAILURE() << field << " has an unexpected form in " << record;
        return record;
    }
    return record.substr(0, digits) + "0" + record.substr(end);
}

}  // namespace

std::string NormaliseVolatileFields(const std::string& record, bool fixTime) {
    std::string normalised = ZeroNumberField(record, "\"_track_id\":", 1, 9);
    if (fixTime) normalised = ZeroNumberField(normalised, "\"time\":", 13, 13);
    return normalised;
}

std::string JsonArray(const std::vector<std::string>& records) {
    std::string text = "[";
    for (std::size_t i = 0; i < records.size(); ++i) text += (i ? "," : "") + records[i];
    return text + "]";
}

std::vector<std::string> NumberedRecords(int first, int count) {
    std::vector<std::string> records;
    for (int i = first; i < first + count; ++i) records.push_back("{\"n\":" + std::to_string(i) + "}");
    return records;
}

}  // namespace kv_analytics_test
