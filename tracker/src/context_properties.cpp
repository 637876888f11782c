#include "tracker/context_properties.h"

#include <ctime>

#include <fmt/format.h>

#include "tracker/kv_exception.h"

namespace karvo::tracking {
namespace {

constexpr const char* kUnit = "KvContextProperties";

bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsUpperLetterOrDigit(char c) { return IsUpperLetter(c) || (c >= '0' && c <= '9'); }

std::string OverflowMessage(std::int32_t kind) { return "KvEvent[" + std::to_string(kind) + "] overflow!"; }

bool IsKind(std::int32_t kind) { return kind >= 0 && kind < kEventKindCount; }

}  // namespace

bool isValidABValue(const std::string& value) {
    if (value.empty()) return false;
    if (value.size() >= 4) KV_THROW(kUnit, "isValidABValue", "value's length is great than 3.");
    if (!IsUpperLetter(value[0])) KV_THROW(kUnit, "isValidABValue", "First char is not in A to Z");
    if (value.size() >= 2 && !IsUpperLetterOrDigit(value[1]))
        KV_THROW(kUnit, "isValidABValue", "second char is not in A to Z and 0 to 9");
    if (value.size() == 3 && !IsUpperLetterOrDigit(value[2]))
        KV_THROW(kUnit, "isValidABValue", "third char is not in A to Z and 0 to 9");
    return true;
}

std::string FormatLocalTime(std::int64_t time) {
    constexpr std::int64_t kMillisecondsFrom = 157789440000;
    const std::int64_t seconds = time >= kMillisecondsFrom ? time / 1000 : time;
    const int milliseconds = time >= kMillisecondsFrom ? static_cast<int>(time % 1000) : 0;
    const std::time_t asTime = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&asTime, &local);
    return fmt::format("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}.{:03d}", local.tm_year + 1900, local.tm_mon + 1,
                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, milliseconds);
}

KvContextProperties::KvContextProperties() : store_(8) { store_.max_load_factor(1.0f); }

void KvContextProperties::setProperty(const std::vector<std::int32_t>& kinds, std::string value) {
    const std::string name = kAbPropertyName;
    auto shared = std::make_shared<Value>();
    shared->text = std::move(value);
    if (!store_.emplace(name, shared).second) KV_THROW(kUnit, "setProperty", "Property[" + name + "] already exist!");
    for (const std::int32_t kind : kinds) {
        if (!IsKind(kind)) KV_THROW(kUnit, "setProperty", OverflowMessage(kind));
        lists_[kind].push_back(Item{shared.get(), String, name});
    }
}

const std::vector<KvContextProperties::Item>& KvContextProperties::getEventProperties(std::int32_t kind) const {
    if (!IsKind(kind)) KV_THROW(kUnit, "getEventProperties", OverflowMessage(kind));
    return lists_[kind];
}

bool KvContextProperties::applyTo(std::int32_t kind, kv_analytics::PropertiesNode& properties) const {
    const auto& items = getEventProperties(kind);
    for (const Item& item : items) {
        switch (item.type) {
            case Bool: properties.SetBool(item.name, item.value->flag); break;
            case Time: properties.SetString(item.name, FormatLocalTime(item.value->time)); break;
            case Double: properties.SetNumber(item.name, item.value->number); break;
            case String: properties.SetString(item.name, item.value->text); break;
            case StringList: properties.SetList(item.name, item.value->list); break;
            default: break;
        }
    }
    return !items.empty();
}

}  // namespace karvo::tracking
