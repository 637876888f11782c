// User-profile properties: a fixed table decides per key which SDK profile
// operation carries it; values of the wrong kind are refused with KvException.
#pragma once

#include <cstdint>
#include <string>

namespace karvo::tracking {

enum class ProfileOperation : std::int32_t { Unsupported = 0, SetOnce = 1, Increment = 2, Set = 3, Append = 4 };

ProfileOperation ProfileOperationOf(const std::string& key);

void ProfileUserPropertyString(const std::string& key, const std::string& value);
void ProfileUserPropertyNumber(const std::string& key, std::int32_t value);
// Always the key "kv_consumption".
void ProfileUserPropertyNumber(double consumption);
// `time` of at least 157789440000 is milliseconds since 1970, a smaller one seconds.
void ProfileUserPropertyDateTime(const std::string& key, std::int64_t time);

}  // namespace karvo::tracking
