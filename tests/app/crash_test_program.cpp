// The installer's start-up as far as tracking, then a crash: tests check what
// reaches the collector and that the process still dies by the signal.
#include "installer_app/crash_reporting.h"
#include "tracker/reporting.h"

#include <csignal>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    karvo::tracking::TrackingSettings tracking;
    tracking.appId = L"Lumivex";
    tracking.dlAppNameSuffix = L".downloader";
    tracking.appVersion = L"1.7.9";
    tracking.exeName = L"quorvane-setup";
    tracking.analyticsUrl = std::wstring(argv[1], argv[1] + std::char_traits<char>::length(argv[1]));
    karvo::tracking::StartTracking(tracking);
    const CrashReporting crashReporting([] { ReportInstallerCrash(true); });
    // The signal itself rather than a null store, which a sanitizer build would stop earlier.
    std::raise(SIGSEGV);
    std::puts("still alive");
    return 0;
}
