#include "tracker/reporting.h"

#include <atomic>

#include "tracker/kv_exception.h"
#include "tracker/tracker.h"
#include "utils/text.h"

namespace karvo::tracking {
namespace {

constexpr unsigned kUtf8CodePage = 65001;

std::atomic<bool> g_trackingEnabled{false};

std::string Utf8(const std::wstring& text) { return Utils::ToMultiByte(text, kUtf8CodePage); }

// The installed tracker, or nullptr while tracking is off or not started.
std::shared_ptr<KvTracker> ActiveTracker() {
    if (!g_trackingEnabled.load()) return nullptr;
    return CurrentTracker();
}

// The event's context: "kvc_ab" when the A/B value is valid. A malformed value
// is left out rather than raised, so that a report never throws into its caller.
void ApplyAbValueForReport(AbValues& abValues, KvEventKind kind, KvContextProperties& context) {
    try {
        ApplyAbValue(abValues, {static_cast<std::int32_t>(kind)}, context);
    } catch (const KvException&) {
    }
}

}  // namespace

void StartTracking(const TrackingSettings& settings) {
    g_trackingEnabled.store(settings.enabled);
    if (!settings.enabled) return;
    KvTrackerParams params;
    params.appName = Utf8(settings.appId + settings.dlAppNameSuffix);
    params.appVersion = Utf8(settings.appVersion);
    params.appStore = Utf8(settings.exeName);
    params.dlAppId = Utf8(settings.appId);
    params.dlAppVersion = Utf8(settings.dlAppVersion);
    params.edition = KvEdition::China;
    params.serverUrl = Utf8(settings.analyticsUrl);
    params.screenWidth = settings.screenWidth;
    params.screenHeight = settings.screenHeight;
    CreateKvTracker(params);
}

void StopTracking() {
    // The tracker flushes and waits for its send threads as it is destroyed, here
    // unless a report in flight still holds it.
    ExchangeTracker(nullptr);
}

void ApplyAbValue(AbValues& abValues, const std::vector<std::int32_t>& kinds, KvContextProperties& context) {
    const auto found = abValues.find(L"AB");
    if (found == abValues.end()) return;
    std::string value = Utf8(found->second);
    if (isValidABValue(value)) context.setProperty(kinds, std::move(value));
}

void ReportTaskEvent(const std::wstring& name, const std::wstring& reason, float elapsedSeconds, AbValues abValues) {
    const auto tracker = ActiveTracker();
    if (!tracker) return;
    KvContextProperties context;
    ApplyAbValueForReport(abValues, KvEventKind::Task, context);
    KvEventTask event;
    event.name = Utf8(name);
    event.reason = Utf8(reason);
    event.elapsed = Some(elapsedSeconds);
    event.result = Some(KvResult::Success);
    tracker->trackTask(event, context);
}

void ReportClickEvent(AbValues abValues, const std::wstring& name) {
    const auto tracker = ActiveTracker();
    if (!tracker) return;
    KvContextProperties context;
    ApplyAbValueForReport(abValues, KvEventKind::Click, context);
    KvEventClick event;
    event.name = Utf8(name);
    event.clickType = KvClickType::Button;
    tracker->trackClick(event, context);
}

void ReportInstallingView(AbValues abValues) {
    const auto tracker = ActiveTracker();
    if (!tracker) return;
    KvContextProperties context;
    ApplyAbValueForReport(abValues, KvEventKind::View, context);
    KvEventView event;
    event.name = "安装中";
    tracker->trackView(event, context);
}

void ReportCrash() {
    const auto tracker = ActiveTracker();
    if (!tracker) return;
    tracker->trackCrash("崩溃");
}

}  // namespace karvo::tracking
