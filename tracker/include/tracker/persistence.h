// The tracker's identity store on disk: where its files lie, the Base and
// UninstallInfo sections, distinct-id generation and the system texts it reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "tracker/events.h"

namespace karvo::tracking {

struct TrackerState {
    bool isLogined = false;
    bool liteMode = true;  // no location lookup, no background flusher, no Local section
    std::string userId;
    std::string distinctId;
    std::string primaryDistinctId;
    std::int32_t userVipLevel = 0;
    std::string logPath;
    std::string locale;
    std::string dataDir;     // ends with "/"
    std::string configPath;  // empty until the files are resolved
    std::string url;
    std::atomic<std::int32_t> pendingCount{0};
    bool backgroundRunning = false;
    bool backgroundStop = false;
    std::mutex profileMutex;
    KvUserInfo profileUser;
    std::int64_t profileTime = -1;
};

// Finds the configuration file and data directory and creates the directory.
// A "Set.ini" in `executableFolder` (section "Install", key "KVAnalyticsIni")
// redirects the configuration file, but only when that file and the target's
// folder belong to this user or root and are not writable by group or others.
// Otherwise: ${XDG_STATE_HOME}/KVLocal/<appName>/<appName>_KVSConfigure.ini.
void ResolveTrackerFiles(TrackerState& state, const std::string& appName,
                         const std::filesystem::path& executableFolder);

// Reads Base; generates and saves a distinct id when none is stored.
void LoadIdentity(TrackerState& state);
// Writes the six Base keys; nothing when the configuration path is empty.
void SaveBase(const TrackerState& state);
void SaveUninstallInfo(const TrackerState& state, const std::string& appStore, const std::string& appName,
                       const std::string& appVersion);

// An upper-case GUID text "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"; the Mersenne
// fallback when no GUID can be had.
std::string GenerateDistinctId();
// Eight draws of the process-wide engine (seed 5489) in the fallback's format.
std::string MersenneDistinctId();

// "$os" and "$os_version": "Linux" and the distribution's version.
std::string OsNameText();
std::string OsVersionText();
// "Mozilla/5.0(Linux <version>; Linux64;)" ("Linux32" on a 32-bit system).
std::string UserAgentText();

// Creates every missing folder of `path`; true when it exists afterwards.
bool CreateTrackerDirectory(const std::string& path);

}  // namespace karvo::tracking
