// Collects the status reports a runner makes, from whatever thread makes them.
#pragma once

#include "download/downloader.h"
#include "testing/sandbox.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <vector>

struct Report {
    int code;
    double value;
    std::wstring text;
    bool operator==(const Report&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Report& report) {
    out << "{" << report.code << ", " << report.value << ", \"";
    for (wchar_t c : report.text) out << (c < 0x80 ? static_cast<char>(c) : '?');
    return out << "\"}";
}

class StatusRecorder {
public:
    StatusCallback callback() {
        return [this](int code, double value, const wchar_t* text) {
            std::lock_guard lock(mutex_);
            reports_.push_back({code, value, text});
            changed_.notify_all();
        };
    }
    // Waits (at most 60 s) until a report with one of `codes` arrives; false on time-out.
    bool waitFor(std::initializer_list<int> codes) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [&] {
            for (const auto& report : reports_)
                for (int code : codes)
                    if (report.code == code) return true;
            return false;
        });
    }
    std::vector<int> codes() {
        std::lock_guard lock(mutex_);
        std::vector<int> result;
        for (const auto& report : reports_)
            if (result.empty() || result.back() != report.code) result.push_back(report.code);
        return result;
    }
    std::vector<Report> reports() {
        std::lock_guard lock(mutex_);
        return reports_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        reports_.clear();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Report> reports_;
};

// An executable shell script standing in for a package or an uninstaller.
inline std::filesystem::path WriteScript(const std::filesystem::path& path, const std::string& body) {
    testing_support::WriteFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}
