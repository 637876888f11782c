// The tracker's event log: tab-separated lines of time, event kind and properties.
// Every operation tries the logger's mutex and skips its work when another thread holds it.
#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace karvo::tracking {

struct TrackLogRecord {
    std::string time;
    std::string kind;
    std::string properties;
};

class TrackLogger {
public:
    virtual ~TrackLogger() = default;
    // Fills `records` (cleared first) with up to `maxLines` records starting at line `firstLine`.
    virtual void readRecords(std::vector<TrackLogRecord>& records, std::int32_t firstLine, std::int32_t maxLines) = 0;
    // Empties the log (leaves a single empty line).
    virtual void clear() = 0;
};

class NativeTrackLogger : public TrackLogger {
public:
    NativeTrackLogger() = default;
    ~NativeTrackLogger() override;

    // Creates the file when missing and opens it; the same non-empty path again does nothing.
    void open(const std::string& path);
    void close();
    bool isOpen() const { return stream_.is_open(); }

    void readRecords(std::vector<TrackLogRecord>& records, std::int32_t firstLine, std::int32_t maxLines) override;
    void clear() override;

private:
    std::string path_;
    std::fstream stream_;
    std::mutex mutex_;
    std::int32_t linesConsumed_ = -1;
};

// One log line (without line end): time, kind text and the properties' JSON with
// carriage returns, line feeds and tabs made blanks.
std::string FormatTrackLogLine(const std::string& time, const std::string& kind, const std::string& propertiesJson);

}  // namespace karvo::tracking
