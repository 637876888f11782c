// Shared helpers of the tracker tests: a tracker wired to a collector stand-in
// inside a private user sandbox, and capture of the debugger output stream.
#pragma once

#include <json/value.h>

#include <memory>
#include <string>
#include <vector>

#include "analytics_collector/collector_server.h"
#include "testing/sandbox.h"
#include "tracker/tracker.h"

namespace tracker_test {

// Collects debugger output lines while alive.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    std::vector<std::string> Lines() const;
    int Count(const std::string& text) const;
};

class TrackerFixture {
public:
    TrackerFixture();
    ~TrackerFixture();

    // Parameters the installer would pass, sending to the collector.
    karvo::tracking::KvTrackerParams Params() const;
    // A started tracker (init run, failures swallowed like CreateKvTracker does).
    std::unique_ptr<karvo::tracking::KvTrackerImpl> Start(const karvo::tracking::KvTrackerParams& params);
    std::unique_ptr<karvo::tracking::KvTrackerImpl> Start() { return Start(Params()); }

    // The default configuration file and data directory for Params().
    std::filesystem::path DataDir() const;
    std::filesystem::path ConfigFile() const;

    // Track records the collector received, in order.
    std::vector<Json::Value> TrackRecords() const;

    testing_support::UserSandbox sandbox;
    analytics_collector::CollectorServer collector;
};

// Waits (bounded) until the tracker's pending count equals `count`.
bool WaitForPending(const karvo::tracking::KvTrackerImpl& tracker, int count);

// The "properties" member of a record as a sorted "key=value" list of its
// non-SDK keys (volatile and library keys dropped).
std::string PropertyText(const Json::Value& record, const std::vector<std::string>& keys);

}  // namespace tracker_test
