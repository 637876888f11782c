// The unattended install: the whole flow of a one-click install without a
// window, progress on standard error, the outcome as the exit code.
#pragma once

#include "installer_app/installer_settings.h"
#include "utils/command_line.h"

#include <cstdio>

// Exit codes of a silent run.
enum SilentExitCode : int {
    kSilentInstalled = 0,
    kSilentDownloadFailed = 1,
    kSilentPackageFailed = 2,
    kSilentProductRunning = 3,  // product or old uninstaller running, or the old uninstaller failed
    kSilentFolderFailed = 4,
    kSilentLowDiskSpace = 5,
    kSilentNetworkFailed = 6,
    kSilentInterrupted = 130,
    kSilentAnotherInstance = 255,
};

// True when the command line asks for a silent run ("-silent=true").
bool IsSilentRequested(const Utils::CommandLineArgs& args);

// Runs the install. SIGINT, SIGTERM and SIGHUP must be blocked in every thread
// before the call: they are taken here as close requests (during the download
// the run stops and removes the package; during the package run it finishes).
int RunSilentInstall(const InstallerSettings& settings, const Utils::CommandLineArgs& args, std::FILE* progressOut);
