// Figures of the analytics SDK against the collector stand-in on 127.0.0.1:
//   1. track records built, checked, serialised and queued per second;
//   2. the time to encode a batch of 30 records, and to encode and send it;
//   3. the time a Track call spends on the calling thread while another thread
//      flushes, against a healthy collector and against one that stalls.
#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "analytics_collector/collector_server.h"
#include "kv_analytics/batch_encoding.h"
#include "kv_analytics/batch_sender.h"
#include "kv_analytics/diagnostics.h"
#include "kv_analytics/sdk.h"
#include "utils/log.h"

namespace {

using Clock = std::chrono::steady_clock;
using kv_analytics::PropertiesNode;
using kv_analytics::Sdk;

double MicrosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// A property set of the size the installer's events carry.
PropertiesNode TypicalProperties(int i) {
    PropertiesNode properties;
    properties.SetString("kv_app_platform", "Linux");
    properties.SetString("kv_app_version", "1.7.9");
    properties.SetString("kv_app_channel", "official");
    properties.SetString("$os", "Linux");
    properties.SetString("$os_version", "12");
    properties.SetString("button_name", "\xE7\xAB\x8B\xE5\x8D\xB3\xE5\xAE\x89\xE8\xA3\x85");
    properties.SetNumber("$screen_width", 1920);
    properties.SetNumber("$screen_height", 1080);
    properties.SetNumber("progress", i * 0.5);
    properties.SetBool("is_first_time", i % 2 == 0);
    return properties;
}

struct Stats {
    double median, p99, max;
};

Stats Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples[static_cast<std::size_t>(q * (samples.size() - 1))]; };
    return {at(0.5), at(0.99), samples.back()};
}

void Quiet(kv_analytics::MessageStream, std::string_view) {}
void QuietDebugger(std::wstring_view) {}

std::string MakeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/qv-analytics-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) std::exit(1);
    return pattern;
}

void BenchRecords(const std::string& dir, const std::string& url) {
    Sdk::Init(dir + "/records", url, "bench-user", false);
    const auto sdk = Sdk::Instance();
    constexpr int kRecords = 50000;
    std::vector<PropertiesNode> inputs;
    for (int i = 0; i < 100; ++i) inputs.push_back(TypicalProperties(i));
    const auto start = Clock::now();
    for (int i = 0; i < kRecords; ++i) Sdk::Track("InstallerClick", inputs[i % inputs.size()]);
    const double seconds = MicrosecondsSince(start) / 1e6;
    const std::size_t bytes = sdk->queue().Snapshot().front().size();
    std::printf("records: %d track records built, checked, serialised and queued in %.3f s: %.0f records/s "
                "(%zu bytes each)\n",
                kRecords, seconds, kRecords / seconds, bytes);
    Sdk::Destroy();
}

std::string BatchOfThirty(const std::string& dir, const std::string& url) {
    Sdk::Init(dir + "/batch", url, "bench-user", false);
    for (int i = 0; i < 30; ++i) Sdk::Track("InstallerClick", TypicalProperties(i));
    const auto records = Sdk::Instance()->queue().Snapshot();
    Sdk::Destroy();
    std::string batch = "[";
    for (std::size_t i = 0; i < records.size(); ++i) batch += (i ? "," : "") + records[i];
    return batch + "]";
}

void BenchBatch(const std::string& batch, const std::string& url) {
    constexpr int kRounds = 300;
    std::vector<double> encode, send;
    std::string body;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = Clock::now();
        kv_analytics::EncodeBatch(batch, body);
        encode.push_back(MicrosecondsSince(start));
    }
    kv_analytics::BatchSender sender(url);
    int failures = 0;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = Clock::now();
        failures += sender.Send(batch, {}) ? 0 : 1;
        send.push_back(MicrosecondsSince(start));
    }
    const Stats e = Summarise(encode), s = Summarise(send);
    std::printf("batch of 30 (%zu bytes JSON, %zu bytes body): encode median %.0f us, p99 %.0f us, max %.0f us\n",
                batch.size(), body.size(), e.median, e.p99, e.max);
    std::printf("batch of 30 encode + POST to 127.0.0.1 (%d rounds, %d failed): median %.2f ms, p99 %.2f ms, "
                "max %.2f ms\n",
                kRounds, failures, s.median / 1000, s.p99 / 1000, s.max / 1000);
}

void BenchCallingThread(const std::string& dir, analytics_collector::CollectorServer& collector, bool stall,
                        const char* label) {
    collector.SetDefaultReply(stall ? analytics_collector::Reply::Stall() : analytics_collector::Reply::Answer(200));
    Sdk::Init(dir + (stall ? "/stalled" : "/healthy"), collector.Url(), "bench-user", false);
    std::atomic<bool> running{true};
    std::atomic<int> flushes{0};
    std::thread flusher([&] {
        while (running) {
            Sdk::Flush();
            ++flushes;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    constexpr int kEvents = 4000;
    std::vector<double> samples;
    const auto input = TypicalProperties(1);
    const auto wallStart = Clock::now();
    for (int i = 0; i < kEvents; ++i) {
        const auto start = Clock::now();
        Sdk::Track("InstallerClick", input);
        samples.push_back(MicrosecondsSince(start));
        std::this_thread::sleep_for(std::chrono::microseconds(stall ? 1500 : 250));
    }
    const double wall = MicrosecondsSince(wallStart) / 1e6;
    running = false;
    collector.ReleaseStalls();
    flusher.join();
    collector.ReleaseStalls();
    Sdk::Destroy();
    const Stats t = Summarise(samples);
    std::printf("Track on the calling thread, %s (%d events over %.1f s, %d flushes meanwhile): median %.1f us, "
                "p99 %.1f us, worst %.1f us\n",
                label, kEvents, wall, flushes.load(), t.median, t.p99, t.max);
}

}  // namespace

int main() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    kv_analytics::SetMessageSink(&Quiet);
    Utils::SetDebugOutputSink(&QuietDebugger);
    const std::string dir = MakeTempDir();
    {
        analytics_collector::CollectorServer collector;
        if (!collector.bound()) return 1;
        BenchRecords(dir, collector.Url());
        BenchBatch(BatchOfThirty(dir, collector.Url()), collector.Url());
        BenchCallingThread(dir, collector, false, "collector answering 200");
        BenchCallingThread(dir, collector, true, "collector stalling every request (3 s time-out)");
    }
    std::filesystem::remove_all(dir);
    curl_global_cleanup();
    return 0;
}
