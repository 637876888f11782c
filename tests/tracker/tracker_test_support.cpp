#include "tracker_test_support.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/writer.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "kv_analytics/sdk.h"
#include "utils/log.h"
#include "utils/text.h"

namespace tracker_test {
namespace {

const bool g_curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;

std::mutex g_mutex;
std::vector<std::string> g_lines;

void CaptureLine(std::wstring_view line) {
    std::lock_guard lock(g_mutex);
    g_lines.push_back(Utils::WideToUtf8(line));
}

}  // namespace

DebugCapture::DebugCapture() {
    std::lock_guard lock(g_mutex);
    g_lines.clear();
    Utils::SetDebugOutputSink(&CaptureLine);
}

DebugCapture::~DebugCapture() { Utils::SetDebugOutputSink(nullptr); }

std::vector<std::string> DebugCapture::Lines() const {
    std::lock_guard lock(g_mutex);
    return g_lines;
}

int DebugCapture::Count(const std::string& text) const {
    int count = 0;
    for (const auto& line : Lines()) count += line.find(text) != std::string::npos;
    return count;
}

TrackerFixture::TrackerFixture() { EXPECT_TRUE(g_curlReady); }

TrackerFixture::~TrackerFixture() { kv_analytics::Sdk::Destroy(); }

karvo::tracking::KvTrackerParams TrackerFixture::Params() const {
    karvo::tracking::KvTrackerParams params;
    params.appName = "Lumivex.downloader";
    params.appVersion = "1.0.0";
    params.appStore = "quorvane-setup";
    params.dlAppId = "Lumivex";
    params.dlAppVersion = "2.0.0";
    params.serverUrl = collector.Url();
    params.screenWidth = 1920;
    params.screenHeight = 1080;
    params.executableFolder = (sandbox.root() / "exe").string();
    std::filesystem::create_directories(params.executableFolder);
    return params;
}

std::unique_ptr<karvo::tracking::KvTrackerImpl> TrackerFixture::Start(const karvo::tracking::KvTrackerParams& params) {
    auto tracker = std::make_unique<karvo::tracking::KvTrackerImpl>(params);
    try {
        tracker->init();
    } catch (const std::exception& error) {
        ADD_FAILURE() << "init failed: " << error.what();
    }
    return tracker;
}

std::filesystem::path TrackerFixture::DataDir() const {
    return sandbox.stateHome() / "KVLocal" / "Lumivex.downloader";
}

std::filesystem::path TrackerFixture::ConfigFile() const {
    return DataDir() / "Lumivex.downloader_KVSConfigure.ini";
}

std::vector<Json::Value> TrackerFixture::TrackRecords() const {
    std::vector<Json::Value> tracks;
    for (const auto& record : collector.Records())
        if (record["type"].asString() == "track") tracks.push_back(record);
    return tracks;
}

bool WaitForPending(const karvo::tracking::KvTrackerImpl& tracker, int count) {
    for (int i = 0; i < 5000 && tracker.pendingCount() != count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return tracker.pendingCount() == count;
}

std::string PropertyText(const Json::Value& record, const std::vector<std::string>& keys) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    std::string text;
    const Json::Value& properties = record["properties"];
    for (const auto& key : keys) {
        if (!properties.isMember(key)) continue;
        if (!text.empty()) text += ";";
        text += key + "=" + Json::writeString(builder, properties[key]);
    }
    return text;
}

}  // namespace tracker_test
