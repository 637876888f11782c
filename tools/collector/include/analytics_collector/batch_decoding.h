// Reading a batch request body back: form fields, percent-decoding, Base64, gunzip, JSON.
#pragma once

#include <json/value.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace analytics_collector {

struct DecodedBatch {
    std::string json;                 // the gunzipped batch text, byte for byte
    std::vector<Json::Value> records; // its array elements
};

// Strict: the body must be exactly "data_list=<percent-encoded Base64>&gzip=1", where
// only unreserved characters appear unescaped. Returns std::nullopt and fills
// `error` when any step fails.
std::optional<DecodedBatch> DecodeBatchBody(std::string_view body, std::string& error);

// Each returns std::nullopt on malformed input.
std::optional<std::string> PercentDecodeStrict(std::string_view text);
std::optional<std::string> Base64Decode(std::string_view text);
std::optional<std::string> Gunzip(std::string_view compressed);

}  // namespace analytics_collector
