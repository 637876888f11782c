// The installer's way into usage tracking: a handful of free reporting functions.
//
// Every function returns at once while no tracker is installed (`TrackerHandle`
// is empty): reports made before tracking starts, after it stops, or with
// tracking switched off are dropped. Tracking never makes an installer
// operation fail, and these functions may be called from any thread.
#pragma once

#include <map>
#include <memory>
#include <string>

namespace karvo::tracking {

class KvTracker;

// A/B values attached to an event; the installer always passes {"AB": "IN"}.
using AbValues = std::map<std::wstring, std::wstring>;

// The process-wide tracker; empty until StartTracking installs one.
extern std::shared_ptr<KvTracker> TrackerHandle;

void StartTracking();
void StopTracking();

// A task event: `name`, `reason`, the elapsed time in seconds, result Success.
void ReportTaskEvent(const std::wstring& name, const std::wstring& reason, float elapsedSeconds, AbValues abValues);
// A button click event named `name`.
void ReportClickEvent(AbValues abValues, const std::wstring& name);
// The view event of the progress page.
void ReportInstallingView(AbValues abValues);
// The crash event.
void ReportCrash();

}  // namespace karvo::tracking
