// Shared pieces of the download tests: a status recorder, a log capture and test packages.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace download_testing {

struct Status {
    int code;
    double value;
    std::wstring text;
};

// Collects the reports of a downloader; thread-safe.
class StatusRecorder {
public:
    // The callback to hand to a downloader.
    auto Callback() {
        return [this](int code, double value, const wchar_t* text) { Add(code, value, text); };
    }
    void Add(int code, double value, const wchar_t* text);

    // Waits until `count` terminal codes (1003, 1004, 1005) arrived; false when
    // none came within a generous guard time (a hung download).
    bool WaitForTerminalCodes(std::size_t count);
    std::vector<Status> All() const;
    // The codes without progress reports.
    std::vector<int> CodesWithoutProgress() const;
    std::vector<double> ProgressValues() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Status> statuses_;
    std::size_t terminalCodes_ = 0;
};

// Captures every log line for the lifetime of the object.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<std::wstring> Lines() const;
    // Lines that contain `text`.
    std::size_t Count(const std::wstring& text) const;
};

// Deterministic, non-repeating bytes.
std::string PackageBytes(std::size_t size);

// Compares the file's bytes with `expected` without printing megabytes on failure.
::testing::AssertionResult FileHolds(const std::filesystem::path& path, const std::string& expected);

std::string ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const std::string& content);

}  // namespace download_testing
