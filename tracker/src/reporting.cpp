#include "tracker/reporting.h"

namespace karvo::tracking {

// The tracker implementation (event records, context properties, identity and
// the analytics SDK behind them) is not part of this library yet. Until it is,
// no tracker can be created, `TrackerHandle` stays empty and every report is
// dropped: exactly the behaviour of a process that runs without tracking.

std::shared_ptr<KvTracker> TrackerHandle;

void StartTracking() {}

void StopTracking() { TrackerHandle.reset(); }

void ReportTaskEvent(const std::wstring&, const std::wstring&, float, AbValues) {}

void ReportClickEvent(AbValues, const std::wstring&) {}

void ReportInstallingView(AbValues) {}

void ReportCrash() {}

}  // namespace karvo::tracking
