#include <iostream>
#include <mutex>

#include "tracker/tracker.h"

namespace karvo::tracking {

template <typename Call>
void KvTrackerWrapper::Guarded(const char* operation, Call&& call) {
    if (!impl_) return;
    try {
        call(*impl_);
    } catch (...) {
        if (impl_->getLogger()) std::cout << "Failed to " << operation << std::endl;
    }
}

void KvTrackerWrapper::trackActivity(const KvContextProperties& context) {
    Guarded("trackActivity", [&](KvTrackerImpl& impl) { impl.trackActivity(context); });
}
void KvTrackerWrapper::trackLaunch(const KvContextProperties& context) {
    Guarded("trackLaunch", [&](KvTrackerImpl& impl) { impl.trackLaunch(context); });
}
void KvTrackerWrapper::trackLogin(const KvUserInfo& user, bool success, const std::string& reason,
                                  const KvContextProperties& context) {
    Guarded("trackLogin", [&](KvTrackerImpl& impl) { impl.trackLogin(user, success, reason, context); });
}
void KvTrackerWrapper::trackClick(const KvEventClick& event, const KvContextProperties& context) {
    Guarded("trackClick", [&](KvTrackerImpl& impl) { impl.trackClick(event, context); });
}
void KvTrackerWrapper::trackView(const KvEventView& event, const KvContextProperties& context) {
    Guarded("trackView", [&](KvTrackerImpl& impl) { impl.trackView(event, context); });
}
void KvTrackerWrapper::trackCashier(const KvEventCashier& event, const KvContextProperties& context) {
    Guarded("trackCashier", [&](KvTrackerImpl& impl) { impl.trackCashier(event, context); });
}
void KvTrackerWrapper::trackShare(const KvEventShare& event, const KvContextProperties& context) {
    Guarded("trackShare", [&](KvTrackerImpl& impl) { impl.trackShare(event, context); });
}
void KvTrackerWrapper::trackTask(const KvEventTask& event, const KvContextProperties& context) {
    Guarded("trackTask", [&](KvTrackerImpl& impl) { impl.trackTask(event, context); });
}
void KvTrackerWrapper::trackFile(const KvEventFile& event, const KvContextProperties& context) {
    Guarded("trackFile", [&](KvTrackerImpl& impl) { impl.trackFile(event, context); });
}
void KvTrackerWrapper::trackOrder(const KvEventOrder& event, const KvContextProperties& context) {
    Guarded("trackOrder", [&](KvTrackerImpl& impl) { impl.trackOrder(event, context); });
}
void KvTrackerWrapper::trackPayment(const KvEventPayment& event, const KvContextProperties& context) {
    Guarded("trackPayment", [&](KvTrackerImpl& impl) { impl.trackPayment(event, context); });
}
void KvTrackerWrapper::trackUninstall(const std::string& reason, const KvContextProperties& context) {
    Guarded("trackUninstall", [&](KvTrackerImpl& impl) { impl.trackUninstall(reason, context); });
}
void KvTrackerWrapper::trackCrash(const std::string& reason) {
    Guarded("trackCrash", [&](KvTrackerImpl& impl) { impl.trackCrash(reason); });
}
void KvTrackerWrapper::trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) {
    Guarded("trackUpdate", [&](KvTrackerImpl& impl) { impl.trackUpdate(event, context); });
}
void KvTrackerWrapper::trackAppOpenNotification(const AppOpenNotification* notification,
                                                const KvContextProperties& context) {
    Guarded("trackAppOpenNotification",
            [&](KvTrackerImpl& impl) { impl.trackAppOpenNotification(notification, context); });
}

void KvTrackerWrapper::setLocale(const std::string& locale) {
    if (impl_) impl_->setLocale(locale);
}

std::string KvTrackerWrapper::getPrimaryDistinctId() { return impl_ ? impl_->getPrimaryDistinctId() : std::string(); }

std::shared_ptr<KvTracker> TrackerHandle;

namespace {
std::mutex g_trackerHandleMutex;
}

std::shared_ptr<KvTracker> CurrentTracker() {
    std::lock_guard lock(g_trackerHandleMutex);
    return TrackerHandle;
}

std::shared_ptr<KvTracker> ExchangeTracker(std::shared_ptr<KvTracker> tracker) {
    std::lock_guard lock(g_trackerHandleMutex);
    TrackerHandle.swap(tracker);
    return tracker;
}

void CreateKvTracker(const KvTrackerParams& params) {
    auto impl = std::make_unique<KvTrackerImpl>(params);
    try {
        impl->init();
    } catch (...) {
        // A tracker that could not start still takes (and drops) every event.
    }
    // The previous tracker (if any) is released here, outside the handle's lock.
    ExchangeTracker(std::make_shared<KvTrackerWrapper>(std::move(impl)));
}

}  // namespace karvo::tracking
