// The installer's way into usage tracking: a handful of free reporting functions.
//
// Every function returns at once while tracking is switched off or no tracker is
// installed (`TrackerHandle` is empty): reports made before tracking starts,
// after it stops, or with tracking switched off are dropped. Tracking never
// makes an installer operation fail, and these functions may be called from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace karvo::tracking {

class KvTracker;
class KvContextProperties;

// A/B values attached to an event; the installer always passes {"AB": "IN"}.
using AbValues = std::map<std::wstring, std::wstring>;

// What the tracker needs to know about the installer.
struct TrackingSettings {
    bool enabled = true;             // IsEnableAppTracking
    std::wstring appId;              // "Lumivex"
    std::wstring dlAppNameSuffix;    // ".downloader"
    std::wstring appVersion;
    std::wstring dlAppVersion;
    std::wstring exeName;            // the installer's own file name
    std::wstring analyticsUrl;       // empty: the default collection address
    std::int32_t screenWidth = 0;    // primary screen, 0 without a display
    std::int32_t screenHeight = 0;
};

// Remembers whether tracking is on and, when it is, creates and installs the tracker.
void StartTracking(const TrackingSettings& settings);
// Releases the tracker: its pending records are flushed and its send threads
// waited for (bounded) before this returns, unless another holder keeps it.
void StopTracking();

// A task event: `name`, `reason`, the elapsed time in seconds, result Success.
void ReportTaskEvent(const std::wstring& name, const std::wstring& reason, float elapsedSeconds, AbValues abValues);
// A button click event named `name`.
void ReportClickEvent(AbValues abValues, const std::wstring& name);
// The view event of the progress page.
void ReportInstallingView(AbValues abValues);
// The crash event.
void ReportCrash();

// Puts the valid "AB" value of `abValues` on `context` as "kvc_ab" for `kinds`.
// An invalid value raises KvException.
void ApplyAbValue(AbValues& abValues, const std::vector<std::int32_t>& kinds, KvContextProperties& context);

}  // namespace karvo::tracking
