// The tracker: typed events with context properties and a persistent identity,
// handed to the analytics SDK. KvTrackerWrapper guards every track operation,
// so nothing the tracker raises reaches its caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tracker/context_properties.h"
#include "tracker/events.h"
#include "tracker/persistence.h"
#include "tracker/track_logger.h"

namespace karvo::tracking {

class KvTracker {
public:
    virtual ~KvTracker() = default;
    virtual void trackActivity(const KvContextProperties& context) = 0;
    virtual void trackLaunch(const KvContextProperties& context) = 0;
    virtual void trackLogin(const KvUserInfo& user, bool success, const std::string& reason,
                            const KvContextProperties& context) = 0;
    virtual void trackClick(const KvEventClick& event, const KvContextProperties& context) = 0;
    virtual void trackView(const KvEventView& event, const KvContextProperties& context) = 0;
    virtual void trackCashier(const KvEventCashier& event, const KvContextProperties& context) = 0;
    virtual void trackShare(const KvEventShare& event, const KvContextProperties& context) = 0;
    virtual void trackTask(const KvEventTask& event, const KvContextProperties& context) = 0;
    virtual void trackFile(const KvEventFile& event, const KvContextProperties& context) = 0;
    virtual void trackOrder(const KvEventOrder& event, const KvContextProperties& context) = 0;
    virtual void trackPayment(const KvEventPayment& event, const KvContextProperties& context) = 0;
    virtual void trackUninstall(const std::string& reason, const KvContextProperties& context) = 0;
    virtual void trackCrash(const std::string& reason) = 0;
    virtual void trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) = 0;
    virtual void trackAppOpenNotification(const AppOpenNotification* notification,
                                          const KvContextProperties& context) = 0;
    virtual void setLocale(const std::string& locale) = 0;
    virtual std::string getPrimaryDistinctId() = 0;
    virtual TrackLogger* getLogger() = 0;
};

struct KvTrackerParams {
    std::string appName;
    std::string appVersion;
    std::string appStore;
    std::string dlAppId;
    std::string dlAppVersion;
    std::string logPath;  // empty: <dataDir><appName>_KVSLog.txt
    KvEdition edition = KvEdition::China;
    std::string serverUrl;  // empty: kDefaultServerUrl
    // Primary screen size in pixels (0 without a display); the caller measures it.
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
    // Where a redirecting "Set.ini" is looked for; empty: the executable's folder.
    std::string executableFolder;
};

inline constexpr const char* kDefaultServerUrl = "https://analytics.lumivex.example/sa?project=pc";

struct SendContext;

class KvTrackerImpl : public KvTracker {
public:
    explicit KvTrackerImpl(const KvTrackerParams& params);
    ~KvTrackerImpl() override;
    KvTrackerImpl(const KvTrackerImpl&) = delete;
    KvTrackerImpl& operator=(const KvTrackerImpl&) = delete;

    // Start-up: checks the parameters, resolves the files, loads the identity,
    // opens the log, starts the SDK and registers the super properties.
    void init();

    void trackActivity(const KvContextProperties& context) override;
    void trackLaunch(const KvContextProperties& context) override;
    void trackLogin(const KvUserInfo& user, bool success, const std::string& reason,
                    const KvContextProperties& context) override;
    void trackClick(const KvEventClick& event, const KvContextProperties& context) override;
    void trackView(const KvEventView& event, const KvContextProperties& context) override;
    void trackCashier(const KvEventCashier& event, const KvContextProperties& context) override;
    void trackShare(const KvEventShare& event, const KvContextProperties& context) override;
    void trackTask(const KvEventTask& event, const KvContextProperties& context) override;
    void trackFile(const KvEventFile& event, const KvContextProperties& context) override;
    void trackOrder(const KvEventOrder& event, const KvContextProperties& context) override;
    void trackPayment(const KvEventPayment& event, const KvContextProperties& context) override;
    void trackUninstall(const std::string& reason, const KvContextProperties& context) override;
    void trackCrash(const std::string& reason) override;
    void trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) override;
    void trackAppOpenNotification(const AppOpenNotification* notification,
                                  const KvContextProperties& context) override;
    void setLocale(const std::string& locale) override;
    std::string getPrimaryDistinctId() override;
    TrackLogger* getLogger() override { return logger_.get(); }

    const TrackerState& state() const { return *state_; }
    const std::string& serverUrl() const { return serverUrl_; }
    std::int32_t pendingCount() const;

    // Runs the send step: on this thread after a successful transmission,
    // otherwise on a detached thread that the tracker waits for when destroyed.
    void SendDispatch(bool flushNow);

private:
    void Track(const std::string& eventName, kv_analytics::PropertiesNode& properties, KvEventKind kind,
               const KvContextProperties& context);
    void MergeLocaleProperties();
    void AddPending(std::int32_t count);

    std::string serverUrl_;
    std::string appName_;
    std::string appVersion_;
    std::string appStore_;
    std::string dlAppId_;
    std::string dlAppVersion_;
    std::unique_ptr<NativeTrackLogger> logger_;
    KvEdition edition_;
    std::shared_ptr<TrackerState> state_;
    std::int32_t screenWidth_;
    std::int32_t screenHeight_;
    std::string executableFolder_;
    std::shared_ptr<SendContext> send_;
};

class KvTrackerWrapper : public KvTracker {
public:
    explicit KvTrackerWrapper(std::unique_ptr<KvTrackerImpl> impl) : impl_(std::move(impl)) {}

    void trackActivity(const KvContextProperties& context) override;
    void trackLaunch(const KvContextProperties& context) override;
    void trackLogin(const KvUserInfo& user, bool success, const std::string& reason,
                    const KvContextProperties& context) override;
    void trackClick(const KvEventClick& event, const KvContextProperties& context) override;
    void trackView(const KvEventView& event, const KvContextProperties& context) override;
    void trackCashier(const KvEventCashier& event, const KvContextProperties& context) override;
    void trackShare(const KvEventShare& event, const KvContextProperties& context) override;
    void trackTask(const KvEventTask& event, const KvContextProperties& context) override;
    void trackFile(const KvEventFile& event, const KvContextProperties& context) override;
    void trackOrder(const KvEventOrder& event, const KvContextProperties& context) override;
    void trackPayment(const KvEventPayment& event, const KvContextProperties& context) override;
    void trackUninstall(const std::string& reason, const KvContextProperties& context) override;
    void trackCrash(const std::string& reason) override;
    void trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) override;
    void trackAppOpenNotification(const AppOpenNotification* notification,
                                  const KvContextProperties& context) override;
    void setLocale(const std::string& locale) override;
    std::string getPrimaryDistinctId() override;
    TrackLogger* getLogger() override { return nullptr; }

    KvTrackerImpl* impl() { return impl_.get(); }

private:
    template <typename Call>
    void Guarded(const char* operation, Call&& call);

    std::unique_ptr<KvTrackerImpl> impl_;
};

// The process-wide tracker; empty until CreateKvTracker stores one. Other
// threads report while the main thread starts and stops tracking, so it is read
// and replaced only through the two functions below.
extern std::shared_ptr<KvTracker> TrackerHandle;

// A copy of TrackerHandle taken under its lock.
std::shared_ptr<KvTracker> CurrentTracker();
// Stores `tracker` into TrackerHandle under its lock and returns what it held.
std::shared_ptr<KvTracker> ExchangeTracker(std::shared_ptr<KvTracker> tracker);

// Creates, starts (a failing start is swallowed) and installs a tracker.
void CreateKvTracker(const KvTrackerParams& params);

}  // namespace karvo::tracking
