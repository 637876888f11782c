#include "download/curl_downloader.h"
#include "download_test_support.h"
#include "package_server/package_server.h"
#include "testing/sandbox.h"
#include "utils/md5.h"
#include "utils/paths.h"
#include "utils/text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>

namespace {

using download_testing::LogCapture;
using download_testing::PackageBytes;
using download_testing::FileHolds;
using download_testing::Status;
using download_testing::StatusRecorder;
using package_server::Fault;
using package_server::PackageServer;
using package_server::Rule;

constexpr std::size_t kMiB = 1048576;

class CurlDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Start()); }

    std::unique_ptr<CCurlDownloader> DownloaderFor(const std::string& path) {
        return std::make_unique<CCurlDownloader>(recorder_.Callback(), Utils::Utf8ToWideLenient(server_.Url(path)).c_str(),
                                                 Utils::WideFromPath(Destination()).c_str());
    }
    std::filesystem::path Destination() const { return sandbox_.root() / "__Package_Lumivex.exe"; }
    std::vector<package_server::RequestRecord> Gets() const {
        std::vector<package_server::RequestRecord> gets;
        for (const auto& request : server_.Requests())
            if (request.method == "GET") gets.push_back(request);
        return gets;
    }

    testing_support::UserSandbox sandbox_;
    PackageServer server_;
    StatusRecorder recorder_;
    LogCapture log_;
};

TEST_F(CurlDownloaderTest, SuccessfulRunReportsStartProgressAndSuccess) {
    const std::string content = PackageBytes(2 * kMiB + 123);
    const std::string path = server_.AddPackage("package.exe", content);
    // Slow enough that at least one whole second passes with a known speed.
    server_.AddRule(Rule{"GET", path, 1, Fault{.bytesPerSecond = 1200000}});
    // The configured address redirects; the digest is taken from the effective address.
    server_.AddRedirect("/software/454", path);
    auto downloader = DownloaderFor("/software/454");
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));

    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    const std::vector<Status> all = recorder_.All();
    EXPECT_EQ(all.front().value, 1.0);
    EXPECT_EQ(all.back().value, 0.0);
    EXPECT_EQ(all.back().text, L"LibCurl");
    const std::vector<double> progress = recorder_.ProgressValues();
    ASSERT_FALSE(progress.empty());
    for (std::size_t i = 0; i < progress.size(); ++i) {
        EXPECT_GT(progress[i], 0.0);
        EXPECT_LE(progress[i], 1.0);
        if (i > 0) {
            EXPECT_GE(progress[i], progress[i - 1]);
        }
    }
    EXPECT_TRUE(FileHolds(Destination(), content));
    ASSERT_EQ(Gets().size(), 1u);
    EXPECT_EQ(Gets()[0].target, path) << "the download goes straight to the effective address";
}

TEST_F(CurlDownloaderTest, FailuresSpendTheBudgetInSixAttempts) {
    struct Case {
        const char* name;
        std::size_t size;
        std::optional<Fault> getFault;
        int result;
        std::size_t gets;
    };
    const Case cases[] = {
        {"file one byte short of 1 MiB", kMiB - 1, std::nullopt, CLIENT_LENGTH_UNKNOWN, 0},
        {"HTTP 404 on every download", 2 * kMiB, Fault{.status = 404}, CURLE_HTTP_RETURNED_ERROR, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StatusRecorder recorder;
        LogCapture log;
        server_.ClearRequests();
        const std::string path = server_.AddPackage("package" + std::to_string(c.size) + ".exe", PackageBytes(c.size));
        if (c.getFault) server_.AddRule(Rule{"GET", path, -1, *c.getFault});
        CCurlDownloader downloader(recorder.Callback(), Utils::Utf8ToWideLenient(server_.Url(path)).c_str(),
                                   Utils::WideFromPath(Destination()).c_str());
        downloader.Start();
        ASSERT_TRUE(recorder.WaitForTerminalCodes(1));
        EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
        EXPECT_EQ(recorder.All().back().value, c.result);
        EXPECT_EQ(recorder.All().back().text, L"LibCurl");
        EXPECT_EQ(Gets().size(), c.gets);
        EXPECT_EQ(log.Count(L"CurlDownLoader Code=" + std::to_wstring(c.result)), 5u);
        EXPECT_EQ(log.Count(L"start download"), 6u);
        EXPECT_FALSE(std::filesystem::exists(Destination()));
    }
}

// Replays a script of attempt results, then downloads for real; kRealAttempt
// in the script runs one real attempt at that point.
constexpr int kRealAttempt = -1000000;

class ScriptedDownloader : public CCurlDownloader {
public:
    ScriptedDownloader(StatusCallback callback, const std::wstring& url, const std::wstring& path, std::deque<int> script)
        : CCurlDownloader(std::move(callback), url.c_str(), path.c_str()), script_(std::move(script)) {}
    ~ScriptedDownloader() override { StopWorker(); }
    int attempts() const { return attempts_; }

protected:
    int RunClientAttempt() override {
        ++attempts_;
        if (script_.empty()) return CCurlDownloader::RunClientAttempt();
        const int result = script_.front();
        script_.pop_front();
        return result == kRealAttempt ? CCurlDownloader::RunClientAttempt() : result;
    }

private:
    std::deque<int> script_;
    std::atomic<int> attempts_{0};
};

TEST_F(CurlDownloaderTest, TimeOutsExhaustTheBudgetAfterFiveRetries) {
    ScriptedDownloader downloader(recorder_.Callback(), L"http://127.0.0.1:9/unused", Utils::WideFromPath(Destination()),
                                  std::deque<int>(6, CURLE_OPERATION_TIMEDOUT));
    downloader.Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));
    EXPECT_EQ(downloader.attempts(), 6);
    EXPECT_EQ(log_.Count(L"(CCurlDownloader::dlThreadFun)"), 5u);
    EXPECT_EQ(log_.Count(L"CurlDownLoader Code=28\r\n"), 5u);
    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(recorder_.All().back().value, 28.0);
}

TEST_F(CurlDownloaderTest, AFileThatCannotBeReadIsNeverPassedAsVerified) {
    // A real attempt learns the effective address (with its digest) but gets no
    // file; a reported success without any file must fail the checksum step.
    const std::string path = server_.AddPackage("unreadable.exe", PackageBytes(kMiB + 5));
    server_.AddRule(Rule{"GET", path, -1, Fault{.status = 404}});
    ScriptedDownloader downloader(recorder_.Callback(), Utils::Utf8ToWideLenient(server_.Url(path)),
                                  Utils::WideFromPath(Destination()), std::deque<int>{kRealAttempt, 0});
    downloader.Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));
    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_MD5, DL_CODE_RETRY}));
    EXPECT_EQ(recorder_.All()[1].text, L"curl文件md5校验失败");
}

TEST_F(CurlDownloaderTest, DroppedConnectionsCostHalfAndResumeWhereTheyStopped) {
    // Eleven interrupted transfers fit the budget; the twelfth attempt completes.
    const std::string content = PackageBytes(2 * kMiB);
    const std::string path = server_.AddPackage("dropped.exe", content);
    constexpr std::uint64_t kBytesPerConnection = 100000;
    server_.AddRule(Rule{"GET", path, 11, Fault{.closeAfterBytes = kBytesPerConnection}});
    auto downloader = DownloaderFor(path);
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));

    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(log_.Count(L"CurlDownLoader Code=18\r\n"), 11u);
    const auto gets = Gets();
    ASSERT_EQ(gets.size(), 12u);
    EXPECT_EQ(gets[0].Header("range"), "");
    for (std::size_t i = 1; i < gets.size(); ++i)
        EXPECT_EQ(gets[i].Header("range"), "bytes=" + std::to_string(i * kBytesPerConnection) + "-");
    EXPECT_TRUE(FileHolds(Destination(), content));
}

TEST_F(CurlDownloaderTest, DigestMismatchAsksForOneRestart) {
    const std::string content = PackageBytes(kMiB + 4096);
    struct Case {
        const char* name;
        std::string path;
        std::optional<Rule> fault;
        std::vector<int> codes;
        double lastValue;
    };
    const std::string correct = package_server::DigestPath("good.exe", content);
    const std::string wrong = "/0123456789abcdef0123456789abcdef/bad.exe";
    const Case cases[] = {
        {"bytes corrupted once", correct, Rule{"GET", correct, 1, Fault{.corruptBody = true}},
         {DL_CODE_START, DL_CODE_MD5, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}, 0.0},
        {"digest never matches", wrong, std::nullopt,
         {DL_CODE_START, DL_CODE_MD5, DL_CODE_RETRY, DL_CODE_START, DL_CODE_MD5, DL_CODE_FAIL}, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.ClearRequests();
        server_.AddContent(c.path, content);
        if (c.fault) server_.AddRule(*c.fault);
        StatusRecorder recorder;
        std::unique_ptr<CCurlDownloader> downloader;
        // The owner restarts the downloader from inside its own 1005 callback.
        auto callback = [&](int code, double value, const wchar_t* text) {
            recorder.Add(code, value, text);
            if (code == DL_CODE_RETRY) downloader->Start();
        };
        downloader = std::make_unique<CCurlDownloader>(callback, Utils::Utf8ToWideLenient(server_.Url(c.path)).c_str(),
                                                       Utils::WideFromPath(Destination()).c_str());
        downloader->Start();
        ASSERT_TRUE(recorder.WaitForTerminalCodes(2));
        downloader.reset();  // joins the worker: no further report can follow

        EXPECT_EQ(recorder.CodesWithoutProgress(), c.codes);
        EXPECT_EQ(recorder.All().back().value, c.lastValue);
        for (const Status& status : recorder.All()) {
            if (status.code == DL_CODE_MD5) {
                EXPECT_EQ(status.text, L"curl文件md5校验失败");
            }
            if (status.code == DL_CODE_RETRY) {
                EXPECT_EQ(status.value, 0.0);
            }
        }
        const auto gets = Gets();
        ASSERT_EQ(gets.size(), 2u);
        EXPECT_EQ(gets[1].Header("range"), "") << "the restart downloads from the first byte";
        EXPECT_TRUE(FileHolds(Destination(), content)) << "the restart replaced the mismatching file";
    }
}

TEST_F(CurlDownloaderTest, AddressWithoutDigestIsAcceptedWithANotice) {
    const std::string content = PackageBytes(kMiB + 7);
    const std::string path = server_.AddContent("/software/454/package.exe", content);
    auto downloader = DownloaderFor(path);
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));
    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_MD5, DL_CODE_SUCCESS}));
    EXPECT_EQ(recorder_.All()[recorder_.All().size() - 2].text, L"curl获取url-md5失败");
    EXPECT_TRUE(FileHolds(Destination(), content));
}

TEST_F(CurlDownloaderTest, EmptyDestinationEndsTheRunAfterOneFailure) {
    auto downloader = std::make_unique<CCurlDownloader>(recorder_.Callback(), L"http://127.0.0.1:9/x", L"");
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));
    downloader.reset();
    const std::vector<Status> all = recorder_.All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].code, DL_CODE_START);
    EXPECT_EQ(all[1].code, DL_CODE_FAIL);
    EXPECT_EQ(all[1].value, 1.0);
    EXPECT_EQ(all[1].text, L"");
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(CurlDownloaderTest, ProgressIsReportedOnlyWithSpeedAndAtMostFullPercent) {
    struct Case {
        double speed;
        double percent;
        std::optional<double> reported;
    };
    const Case cases[] = {
        {0.0, 50.0, std::nullopt},     // the very first second: no speed yet
        {4096.0, 100.5, std::nullopt}, // a server that sends more than it announced
        {4096.0, 37.5, 0.375},
        {4096.0, 100.0, 1.0},
    };
    CCurlDownloader downloader(recorder_.Callback(), L"http://127.0.0.1:9/x", Utils::WideFromPath(Destination()).c_str());
    for (const Case& c : cases) {
        const std::size_t before = recorder_.All().size();
        CCurlDownloader::OnClientProgress(&downloader, c.speed, 0.0, c.percent);
        const std::vector<Status> all = recorder_.All();
        SCOPED_TRACE(c.percent);
        if (!c.reported) {
            EXPECT_EQ(all.size(), before);
        } else {
            ASSERT_EQ(all.size(), before + 1);
            EXPECT_EQ(all.back().code, DL_CODE_PROGRESS);
            EXPECT_EQ(all.back().value, *c.reported);
            EXPECT_EQ(all.back().text, L"");
        }
    }
}

TEST_F(CurlDownloaderTest, DestructionStopsAStalledTransferWithoutATerminalCode) {
    const std::string path = server_.AddPackage("stalled.exe", PackageBytes(2 * kMiB));
    server_.AddRule(Rule{"GET", path, -1, Fault{.stall = std::chrono::minutes(10)}});
    auto downloader = DownloaderFor(path);
    downloader->Start();
    while (Gets().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    downloader.reset();
    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START}));
}

}  // namespace
