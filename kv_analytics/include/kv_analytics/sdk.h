// The process-wide analytics SDK: identity, super properties and record building.
//
// Every static operation does nothing while no instance exists (before Init or
// after Destroy). Record-producing operations may run on several threads; the
// caller makes identity and super-property changes one at a time with respect to
// all other calls. Rejected records are only reported on the error stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kv_analytics/node.h"
#include "kv_analytics/record_queue.h"

namespace kv_analytics {

class Sdk {
public:
    static constexpr const char* kLibName = "cpp";
    static constexpr const char* kLibVersion = "0.9";

    // Creates the instance unless one exists (then returns true and changes nothing).
    // False when the distinct id is empty or longer than 255 bytes.
    static bool Init(const std::string& stagingFilePath, const std::string& serverUrl,
                     const std::string& distinctId, bool isLoginId);
    // The instance or nullptr. Holding the pointer keeps the instance alive.
    static std::shared_ptr<Sdk> Instance();
    // Drops the process-wide instance; its queue is closed (saved to the staging
    // file) once the last holder lets go.
    static void Destroy();

    static void Track(const std::string& event, const PropertiesNode& properties);
    static void TrackWithInstallSource(const std::string& event, const PropertiesNode& properties);
    static void TrackSignup(const std::string& loginId);

    static void ProfileSet(const PropertiesNode& properties);
    static void ProfileSet(const std::string& key, const std::string& value);
    static void ProfileSet(const std::string& key, std::int64_t value);
    static void ProfileSet(const std::string& key, int value) { ProfileSet(key, std::int64_t{value}); }
    static void ProfileSet(const std::string& key, double value);
    static void ProfileSetOnce(const PropertiesNode& properties);
    static void ProfileSetOnce(const std::string& key, const std::string& value);
    static void ProfileSetOnce(const std::string& key, std::int64_t value);
    static void ProfileSetOnce(const std::string& key, int value) { ProfileSetOnce(key, std::int64_t{value}); }
    static void ProfileSetOnce(const std::string& key, double value);
    static void ProfileIncrement(const PropertiesNode& properties);
    static void ProfileIncrement(const std::string& key, std::int64_t value);
    static void ProfileIncrement(const std::string& key, int value) { ProfileIncrement(key, std::int64_t{value}); }
    static void ProfileAppend(const std::string& key, const std::string& value);

    // Empties the super properties, then sets "$lib" and "$lib_version".
    static void ResetSuperProperties();
    // Sends the queued records; false without an instance or at the first failed batch.
    static bool Flush();

    Sdk(const std::string& stagingFilePath, const std::string& serverUrl, std::string distinctId, bool isLoginId);
    ~Sdk();
    Sdk(const Sdk&) = delete;
    Sdk& operator=(const Sdk&) = delete;

    // Builds, checks and queues one record; false when a check rejected it.
    bool AddRecord(const std::string& actionType, const std::string& eventName, const PropertiesNode& properties,
                   const std::string& distinctId, const std::string& originalId);
    RecordQueue& queue() { return *m_queue; }

    // Merged into every track record; the tracker adds its own with MergeFrom.
    PropertiesNode m_superProperties;
    std::string m_distinctId;
    bool m_isLoginId = false;

private:
    void ResetOwnSuperProperties();

    std::unique_ptr<RecordQueue> m_queue;
};

// Nine digits: two and three random digits followed by the last four digits of the clock in milliseconds.
std::int64_t NewTrackId();
// Milliseconds since 1970-01-01 UTC.
std::int64_t CurrentTimeMillis();

}  // namespace kv_analytics
