// Extra properties a caller attaches to chosen kinds of events, and the A/B value rule.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "kv_analytics/node.h"
#include "tracker/events.h"

namespace karvo::tracking {

// True for a valid A/B group ("IN", "A", "B7", "XY9"), false for an empty one;
// raises KvException for anything else.
bool isValidABValue(const std::string& value);

class KvContextProperties {
public:
    enum ValueType : std::int32_t { Bool = 0, Time = 1, Double = 2, String = 3, StringList = 4 };

    struct Value {
        bool flag = false;
        std::int64_t time = 0;
        double number = 0;
        std::string text;
        std::vector<std::string> list;
    };

    struct Item {
        const Value* value;  // owned by the set's store
        std::int32_t type;
        std::string name;
    };

    static constexpr const char* kAbPropertyName = "kvc_ab";

    KvContextProperties();
    // Items point into the store, so a set is neither copied nor moved.
    KvContextProperties(const KvContextProperties&) = delete;
    KvContextProperties& operator=(const KvContextProperties&) = delete;

    // Attaches "kvc_ab" = `value` to each kind in order. Raises when the name is
    // already stored, and at the first kind of 15 or more (earlier kinds keep their item).
    void setProperty(const std::vector<std::int32_t>& kinds, std::string value);

    const std::vector<Item>& getEventProperties(std::int32_t kind) const;

    // Adds the kind's items to `properties`; false when the kind has none.
    bool applyTo(std::int32_t kind, kv_analytics::PropertiesNode& properties) const;

private:
    std::unordered_map<std::string, std::shared_ptr<Value>> store_;
    std::array<std::vector<Item>, kEventKindCount> lists_;
};

// "%04d-%02d-%02d %02d:%02d:%02d.%03d" in local time; values of at least
// 157789440000 are milliseconds since 1970, smaller ones seconds.
std::string FormatLocalTime(std::int64_t time);

}  // namespace karvo::tracking
