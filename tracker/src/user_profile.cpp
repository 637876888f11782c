#include "tracker/user_profile.h"

#include <map>

#include "kv_analytics/sdk.h"
#include "tracker/kv_exception.h"

namespace karvo::tracking {
namespace {

constexpr const char* kUnit = "NativeUserTracker";
constexpr std::int64_t kMillisecondsFrom = 157789440000;

const std::map<std::string, ProfileOperation>& ProfileKeyTable() {
    static const std::map<std::string, ProfileOperation> table = [] {
        std::map<std::string, ProfileOperation> keys;
        for (const char* key : {"$first_visit_time", "kv_first_visit_date", "$ios_install_source", "kv_first_paid_date"})
            keys[key] = ProfileOperation::SetOnce;
        for (const char* key : {"kv_visit_count", "kv_paid_count", "kv_consumption"})
            keys[key] = ProfileOperation::Increment;
        for (const char* key :
             {"kv_label",          "kv_os",            "kv_os_version",       "kv_manufacturer",     "kv_model",
              "kv_app_store",      "kv_app_platform",  "kv_last_app_id",      "kv_last_app_version", "kv_carrier",
              "kv_last_visit_date", "aurora_pushid",   "kv_user_id",          "kv_user_name",        "kv_user_type",
              "kv_user_nickname",  "kv_user_portrait", "kv_user_mobilephone", "kv_user_email",       "kv_user_weixin",
              "kv_user_qq",        "kv_user_did",      "kv_user_created",     "kv_user_last_login",  "kv_user_last_ip",
              "kv_user_vip_level", "kv_user_vip_enddate", "idfa",             "imei",                "android_id",
              "oaid",              "kv_ip",            "kv_country_code",     "kv_country",          "kv_province",
              "kv_city",           "kv_last_paid_date"})
            keys[key] = ProfileOperation::Set;
        return keys;
    }();
    return table;
}

[[noreturn]] void RefuseUnsupported(const char* function, const std::string& key) {
    KV_THROW(kUnit, function, "Not supported user property [" + key + "]!");
}

kv_analytics::PropertiesNode DateTimeProperty(const std::string& key, std::int64_t time) {
    kv_analytics::PropertiesNode properties;
    if (time >= kMillisecondsFrom)
        properties.SetDateTime(key, time / 1000, static_cast<int>(time % 1000));
    else
        properties.SetDateTime(key, time, 0);
    return properties;
}

}  // namespace

ProfileOperation ProfileOperationOf(const std::string& key) {
    const auto& table = ProfileKeyTable();
    const auto found = table.find(key);
    return found == table.end() ? ProfileOperation::Unsupported : found->second;
}

void ProfileUserPropertyString(const std::string& key, const std::string& value) {
    const char* function = "ProfileUserPropertyString";
    switch (ProfileOperationOf(key)) {
        case ProfileOperation::SetOnce: kv_analytics::Sdk::ProfileSetOnce(key, value); return;
        case ProfileOperation::Set: kv_analytics::Sdk::ProfileSet(key, value); return;
        case ProfileOperation::Append: kv_analytics::Sdk::ProfileAppend(key, value); return;
        case ProfileOperation::Increment:
            KV_THROW(kUnit, function, "user property [" + key + "] is string type value, it cannot be accumulated!");
        case ProfileOperation::Unsupported: RefuseUnsupported(function, key);
    }
}

void ProfileUserPropertyNumber(const std::string& key, std::int32_t value) {
    const char* function = "ProfileUserPropertyNumber";
    switch (ProfileOperationOf(key)) {
        case ProfileOperation::SetOnce: kv_analytics::Sdk::ProfileSetOnce(key, value); return;
        case ProfileOperation::Increment: kv_analytics::Sdk::ProfileIncrement(key, value); return;
        case ProfileOperation::Set: kv_analytics::Sdk::ProfileSet(key, value); return;
        case ProfileOperation::Append:
            KV_THROW(kUnit, function, "user property [" + key + "] is number value, it cannot be append to list!");
        case ProfileOperation::Unsupported: RefuseUnsupported(function, key);
    }
}

void ProfileUserPropertyNumber(double consumption) {
    const char* function = "ProfileUserPropertyNumber";
    const std::string key = "kv_consumption";
    switch (ProfileOperationOf(key)) {
        case ProfileOperation::SetOnce: kv_analytics::Sdk::ProfileSetOnce(key, consumption); return;
        case ProfileOperation::Increment: {
            kv_analytics::PropertiesNode properties;
            properties.SetNumber(key, consumption);
            kv_analytics::Sdk::ProfileIncrement(properties);
            return;
        }
        case ProfileOperation::Set: kv_analytics::Sdk::ProfileSet(key, consumption); return;
        case ProfileOperation::Append:
            KV_THROW(kUnit, function, "user property [" + key + "] is number value, it cannot be append to list!");
        case ProfileOperation::Unsupported: RefuseUnsupported(function, key);
    }
}

void ProfileUserPropertyDateTime(const std::string& key, std::int64_t time) {
    const char* function = "ProfileUserPropertyDateTime";
    switch (ProfileOperationOf(key)) {
        case ProfileOperation::SetOnce: kv_analytics::Sdk::ProfileSetOnce(DateTimeProperty(key, time)); return;
        case ProfileOperation::Set: kv_analytics::Sdk::ProfileSet(DateTimeProperty(key, time)); return;
        case ProfileOperation::Increment:
            KV_THROW(kUnit, function, "user property [" + key + "] is boolean value, it cannot be accumulative!");
        case ProfileOperation::Append:
            KV_THROW(kUnit, function, "user property [" + key + "] is boolean value, it cannot be append to list!");
        case ProfileOperation::Unsupported: RefuseUnsupported(function, key);
    }
}

}  // namespace karvo::tracking
