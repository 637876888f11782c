// The checks a property set, a name or an identifier must pass before a record is built.
// Each failing check writes its reason to the error stream.
#pragma once

#include <string_view>

#include "kv_analytics/node.h"

namespace kv_analytics {

// Accepts tab, line feed, carriage return, printable ASCII and the well-formed
// multi-byte sequences of U+0080..U+10FFFF (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// 1 to 255 bytes.
bool CheckIdValue(std::string_view label, std::string_view value);
// 1 to 100 bytes; a letter, '$' or '_' first, then letters, digits, '$' or '_'.
bool CheckName(std::string_view label, std::string_view name);
// Every key a valid name; "$time" a date-time and "$project" a string when present.
bool CheckProperties(const utils::ObjectNode& properties);

}  // namespace kv_analytics
