#include "download_test_support.h"

#include "download/downloader.h"
#include "utils/log.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace download_testing {
namespace {

constexpr auto kHangGuard = std::chrono::seconds(90);

std::mutex g_logMutex;
std::vector<std::wstring> g_logLines;

void CaptureLine(std::wstring_view line) {
    std::lock_guard lock(g_logMutex);
    g_logLines.emplace_back(line);
}

// libcurl's global state is set up once per test program, as the installer does at start-up.
class CurlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK); }
    void TearDown() override { curl_global_cleanup(); }
};
[[maybe_unused]] const ::testing::Environment* const g_curlEnvironment =
    ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

bool IsTerminal(int code) { return code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || code == DL_CODE_RETRY; }

}  // namespace

void StatusRecorder::Add(int code, double value, const wchar_t* text) {
    {
        std::lock_guard lock(mutex_);
        statuses_.push_back({code, value, text});
        if (IsTerminal(code)) ++terminalCodes_;
    }
    changed_.notify_all();
}

bool StatusRecorder::WaitForTerminalCodes(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kHangGuard, [&] { return terminalCodes_ >= count; });
}

std::vector<Status> StatusRecorder::All() const {
    std::lock_guard lock(mutex_);
    return statuses_;
}

std::vector<int> StatusRecorder::CodesWithoutProgress() const {
    std::vector<int> codes;
    for (const Status& status : All())
        if (status.code != DL_CODE_PROGRESS) codes.push_back(status.code);
    return codes;
}

std::vector<double> StatusRecorder::ProgressValues() const {
    std::vector<double> values;
    for (const Status& status : All())
        if (status.code == DL_CODE_PROGRESS) values.push_back(status.value);
    return values;
}

LogCapture::LogCapture() {
    std::lock_guard lock(g_logMutex);
    g_logLines.clear();
    Utils::SetDebugOutputSink(&CaptureLine);
}

LogCapture::~LogCapture() { Utils::SetDebugOutputSink(nullptr); }

std::vector<std::wstring> LogCapture::Lines() const {
    std::lock_guard lock(g_logMutex);
    return g_logLines;
}

std::size_t LogCapture::Count(const std::wstring& text) const {
    std::size_t count = 0;
    for (const std::wstring& line : Lines())
        if (line.find(text) != std::wstring::npos) ++count;
    return count;
}

std::string PackageBytes(std::size_t size) {
    std::mt19937 generator(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

::testing::AssertionResult FileHolds(const std::filesystem::path& path, const std::string& expected) {
    if (!std::filesystem::exists(path)) return ::testing::AssertionFailure() << path << " does not exist";
    const std::string actual = ReadWholeFile(path);
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t firstDifference = 0;
    while (firstDifference < std::min(actual.size(), expected.size()) && actual[firstDifference] == expected[firstDifference])
        ++firstDifference;
    return ::testing::AssertionFailure() << path << " holds " << actual.size() << " bytes, expected " << expected.size()
                                         << "; first difference at byte " << firstDifference;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

}  // namespace download_testing
