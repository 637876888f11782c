#include "tracker/track_logger.h"

#include <algorithm>
#include <sstream>

namespace karvo::tracking {
namespace {

std::vector<std::string> SplitAtTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    return fields;
}

}  // namespace

std::string FormatTrackLogLine(const std::string& time, const std::string& kind, const std::string& propertiesJson) {
    std::string json = propertiesJson;
    std::replace_if(json.begin(), json.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    return time + "\t" + kind + "\t" + json;
}

NativeTrackLogger::~NativeTrackLogger() { close(); }

void NativeTrackLogger::open(const std::string& path) {
    if (!path.empty() && path == path_) return;
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    if (stream_.is_open()) stream_.close();
    linesConsumed_ = 0;
    { std::ofstream create(path, std::ios::app); }
    stream_.open(path, std::ios::in | std::ios::out | std::ios::app);
    path_ = path;
}

void NativeTrackLogger::close() {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    if (stream_.is_open()) stream_.close();
    linesConsumed_ = -1;
}

void NativeTrackLogger::readRecords(std::vector<TrackLogRecord>& records, std::int32_t firstLine,
                                    std::int32_t maxLines) {
    records.clear();
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || !stream_.is_open()) return;
    if (firstLine < linesConsumed_ || linesConsumed_ < 0) {
        stream_.clear();
        stream_.seekg(0);
        linesConsumed_ = 0;
    }
    std::string line;
    while (linesConsumed_ < firstLine && std::getline(stream_, line)) ++linesConsumed_;
    for (std::int32_t read = 0; read < maxLines && std::getline(stream_, line); ++read) {
        ++linesConsumed_;
        if (line.empty()) continue;
        const auto fields = SplitAtTabs(line);
        if (fields.size() >= 3) records.push_back({fields[0], fields[1], fields[2]});
    }
    stream_.clear();
}

void NativeTrackLogger::clear() {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    stream_.clear();
    stream_.seekg(0);
    linesConsumed_ = -1;
    if (path_.empty()) return;
    const bool wasOpen = stream_.is_open();
    if (wasOpen) stream_.close();
    { std::ofstream rewrite(path_, std::ios::trunc); rewrite << "\n"; }
    if (wasOpen) stream_.open(path_, std::ios::in | std::ios::out | std::ios::app);
}

}  // namespace karvo::tracking
