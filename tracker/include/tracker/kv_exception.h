// The one error type of the tracker layer: every validation failure raises it,
// and the tracker's wrapper swallows it, so it never leaves the tracker.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace karvo::tracking {

class KvException : public std::exception {
public:
    KvException(std::string sourceFile, std::string functionName, std::int32_t sourceLine, std::string message)
        : sourceFile(std::move(sourceFile)),
          functionName(std::move(functionName)),
          sourceLine(sourceLine),
          message(std::move(message)) {}

    const char* what() const noexcept override { return message.c_str(); }

    std::string sourceFile;    // "KvTrackerImpl", "KvContextProperties" or "NativeUserTracker"
    std::string functionName;  // for example "init", "trackClick", "setProperty"
    std::int32_t sourceLine;
    std::string message;
};

}  // namespace karvo::tracking

// Raises a KvException from the current line of a named source unit.
#define KV_THROW(unit, function, message) throw ::karvo::tracking::KvException((unit), (function), __LINE__, (message))
