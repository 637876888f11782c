#include "kv_analytics/sdk.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

#include "kv_analytics/validation.h"

namespace kv_analytics {
namespace {

std::mutex g_instanceMutex;
std::shared_ptr<Sdk> g_instance;

std::string LastCharacters(const std::string& text, std::size_t count) {
    return text.size() <= count ? text : text.substr(text.size() - count);
}

PropertiesNode SingleEntry(const std::string& key, const std::string& value) {
    PropertiesNode node;
    node.SetString(key, value);
    return node;
}

PropertiesNode SingleEntry(const std::string& key, std::int64_t value) {
    PropertiesNode node;
    node.SetNumber(key, value);
    return node;
}

PropertiesNode SingleEntry(const std::string& key, double value) {
    PropertiesNode node;
    node.SetNumber(key, value);
    return node;
}

// Runs `action` on the instance, if there is one.
template <typename Action>
void WithInstance(Action&& action) {
    if (const auto sdk = Sdk::Instance()) action(*sdk);
}

void AddPlainRecord(const std::string& actionType, const PropertiesNode& properties) {
    WithInstance([&](Sdk& sdk) { sdk.AddRecord(actionType, "", properties, sdk.m_distinctId, ""); });
}

}  // namespace

std::int64_t CurrentTimeMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t NewTrackId() {
    const std::string first = LastCharacters(std::to_string(std::rand() % 99 + 100), 2);
    const std::string second = LastCharacters(std::to_string(std::rand() % 999 + 1000), 3);
    const std::string clock = LastCharacters(std::to_string(CurrentTimeMillis()), 4);
    return std::stoll(first + second + clock);
}

bool Sdk::Init(const std::string& stagingFilePath, const std::string& serverUrl, const std::string& distinctId,
               bool isLoginId) {
    if (!CheckIdValue("Distinct ID", distinctId)) return false;
    std::lock_guard lock(g_instanceMutex);
    if (g_instance) return true;
    g_instance = std::make_shared<Sdk>(stagingFilePath, serverUrl, distinctId, isLoginId);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return true;
}

std::shared_ptr<Sdk> Sdk::Instance() {
    std::lock_guard lock(g_instanceMutex);
    return g_instance;
}

void Sdk::Destroy() {
    std::shared_ptr<Sdk> last;
    {
        std::lock_guard lock(g_instanceMutex);
        last.swap(g_instance);
    }
    // The queue is saved here, outside the instance lock, when this was the last holder.
}

Sdk::Sdk(const std::string& stagingFilePath, const std::string& serverUrl, std::string distinctId, bool isLoginId)
    : m_distinctId(std::move(distinctId)),
      m_isLoginId(isLoginId),
      m_queue(std::make_unique<RecordQueue>(serverUrl, stagingFilePath)) {
    ResetOwnSuperProperties();
}

Sdk::~Sdk() { m_queue->Close(); }

void Sdk::Track(const std::string& event, const PropertiesNode& properties) {
    WithInstance([&](Sdk& sdk) { sdk.AddRecord("track", event, properties, sdk.m_distinctId, ""); });
}

void Sdk::TrackWithInstallSource(const std::string& event, const PropertiesNode& properties) {
    WithInstance([&](Sdk& sdk) {
        PropertiesNode withSource;
        withSource.SetString("$ios_install_source", "");
        withSource.MergeFrom(properties);
        sdk.AddRecord("track", event, withSource, sdk.m_distinctId, "");
    });
}

void Sdk::TrackSignup(const std::string& loginId) {
    WithInstance([&](Sdk& sdk) {
        sdk.AddRecord("track_signup", "$SignUp", PropertiesNode(), loginId, sdk.m_distinctId);
        sdk.m_distinctId = loginId;
        sdk.m_isLoginId = true;
    });
}

void Sdk::ProfileSet(const PropertiesNode& properties) { AddPlainRecord("profile_set", properties); }
void Sdk::ProfileSet(const std::string& key, const std::string& value) { ProfileSet(SingleEntry(key, value)); }
void Sdk::ProfileSet(const std::string& key, std::int64_t value) { ProfileSet(SingleEntry(key, value)); }
void Sdk::ProfileSet(const std::string& key, double value) { ProfileSet(SingleEntry(key, value)); }

void Sdk::ProfileSetOnce(const PropertiesNode& properties) { AddPlainRecord("profile_set_once", properties); }
void Sdk::ProfileSetOnce(const std::string& key, const std::string& value) { ProfileSetOnce(SingleEntry(key, value)); }
void Sdk::ProfileSetOnce(const std::string& key, std::int64_t value) { ProfileSetOnce(SingleEntry(key, value)); }
void Sdk::ProfileSetOnce(const std::string& key, double value) { ProfileSetOnce(SingleEntry(key, value)); }

void Sdk::ProfileIncrement(const PropertiesNode& properties) { AddPlainRecord("profile_increment", properties); }
void Sdk::ProfileIncrement(const std::string& key, std::int64_t value) { ProfileIncrement(SingleEntry(key, value)); }

void Sdk::ProfileAppend(const std::string& key, const std::string& value) {
    PropertiesNode node;
    node.SetList(key, {value});
    AddPlainRecord("profile_append", node);
}

void Sdk::ResetSuperProperties() {
    WithInstance([](Sdk& sdk) { sdk.ResetOwnSuperProperties(); });
}

bool Sdk::Flush() {
    const auto sdk = Instance();
    return sdk && sdk->m_queue->Flush();
}

void Sdk::ResetOwnSuperProperties() {
    m_superProperties.Clear();
    m_superProperties.SetString("$lib", kLibName);
    m_superProperties.SetString("$lib_version", kLibVersion);
}

bool Sdk::AddRecord(const std::string& actionType, const std::string& eventName, const PropertiesNode& properties,
                    const std::string& distinctId, const std::string& originalId) {
    if (!CheckProperties(properties)) return false;
    if (actionType == "track" && !CheckName("Event Name", eventName)) return false;
    if (actionType == "track_signup" && !CheckIdValue("Original ID", originalId)) return false;

    PropertiesNode props;
    const bool isTrack = actionType.find("track") != std::string::npos;
    if (isTrack) props.MergeFrom(m_superProperties);
    props.MergeFrom(properties);

    std::int64_t time = CurrentTimeMillis();
    // The given properties were checked; super properties added by the caller were not,
    // so a value of another type is dropped rather than trusted.
    if (const NodeValue* given = props.Find("$time")) {
        if (given->type() == NodeType::DateTime) {
            const DateTime at = given->AsDateTime();
            time = at.seconds * 1000 + at.milliseconds;
        }
        props.Remove("$time");
    }
    std::string project;
    if (const NodeValue* given = props.Find("$project")) {
        if (given->type() == NodeType::String) project = given->AsString();
        props.Remove("$project");
    }
    if (m_isLoginId) props.SetBool("$is_login_id", true);

    utils::ObjectNode lib;
    lib.SetString("$lib", kLibName);
    lib.SetString("$lib_version", kLibVersion);
    lib.SetString("$lib_method", "code");

    utils::ObjectNode record;
    record.SetString("type", actionType);
    record.SetNumber("time", time);
    record.SetString("distinct_id", distinctId);
    record.SetObject("properties", props);
    record.SetObject("lib", lib);
    record.SetNumber("_track_id", NewTrackId());
    if (!project.empty()) record.SetString("project", project);
    if (actionType == "track" || actionType == "track_signup") record.SetString("event", eventName);
    if (actionType == "track_signup") record.SetString("original_id", originalId);

    m_queue->Push(record.ToJson());
    return true;
}

}  // namespace kv_analytics
