// quorvane-setup: the online installer's entry point.
#include "installer_app/crash_reporting.h"
#include "installer_app/installer_settings.h"
#include "installer_app/silent_install.h"
#include "tracker/reporting.h"
#include "utils/command_line.h"
#include "utils/instance_lock.h"
#include "utils/text.h"

#include <csignal>
#include <cstdio>
#include <curl/curl.h>
#include <pthread.h>

namespace {

constexpr wchar_t kInstanceLockName[] = L"Installer_Lumivex";

// Close requests are taken synchronously by whoever runs the install; every
// thread started later inherits the mask, so none of them is interrupted.
void BlockCloseRequests() {
    sigset_t requests;
    sigemptyset(&requests);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&requests, signal);
    pthread_sigmask(SIG_BLOCK, &requests, nullptr);
}

karvo::tracking::TrackingSettings TrackingSettingsOf(const InstallerSettings& settings) {
    karvo::tracking::TrackingSettings tracking;
    tracking.enabled = settings.IsEnableAppTracking;
    tracking.appId = settings.AppId;
    tracking.dlAppNameSuffix = settings.DlAppNameSuffix;
    tracking.appVersion = settings.AppVersion;
    tracking.dlAppVersion = settings.DlAppVersion;
    tracking.exeName = settings.ExeName;
    tracking.analyticsUrl = settings.AnalyticsUrl;
    return tracking;
}

Utils::CommandLineArgs ArgumentsOf(int argc, char** argv) {
    std::vector<std::wstring> tokens;
    for (int i = 0; i < argc; ++i) tokens.push_back(Utils::ToWide(argv[i], Utils::kCodePageAnsi));
    return Utils::CommandLineArgs(tokens);
}

}  // namespace

int main(int argc, char** argv) {
    Utils::InitProcessLocale();
    BlockCloseRequests();
    InstallerSettings& settings = InstallerSettings::Instance();
    const CrashReporting crashReporting([&settings] { ReportInstallerCrash(settings.IsEnableAppTracking); });
    if (curl_global_init(CURL_GLOBAL_ALL) != 0) {
        settings.IsCurlReady = false;
        karvo::tracking::ReportTaskEvent(L"libcurl初始化失败", L"", 0.0f, {});
    }
    int exitCode = kSilentAnotherInstance;
    {
        Utils::InstanceLock lock(kInstanceLockName);
        lock.Acquire();
        if (lock.IsHeld()) {
            const Utils::CommandLineArgs args = ArgumentsOf(argc, argv);
            settings.ParseCommandLine(args);
            if (IsSilentRequested(args)) {
                // Without a window there is no screen size to report.
                if (settings.IsEnableAppTracking) karvo::tracking::StartTracking(TrackingSettingsOf(settings));
                exitCode = RunSilentInstall(settings, args, stderr);
                // Sends what the tracker still holds before the process ends.
                if (settings.IsEnableAppTracking) karvo::tracking::StopTracking();
            } else {
                std::fputs("This build installs unattended only: run it with -silent=true.\n", stderr);
                exitCode = 2;
            }
        }
    }
    curl_global_cleanup();
    return exitCode;
}
