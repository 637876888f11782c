#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"
#include "download_test_support.h"
#include "package_server/package_server.h"
#include "package_server/tls_package_server.h"
#include "testing/sandbox.h"
#include "utils/paths.h"
#include "utils/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <cctype>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>

namespace {

using download_testing::FileHolds;
using download_testing::LogCapture;
using download_testing::PackageBytes;
using download_testing::Status;
using download_testing::StatusRecorder;
using package_server::Fault;
using package_server::PackageServer;
using package_server::Rule;

constexpr std::size_t kMiB = 1048576;

class MTCurlDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Start()); }

    // A downloader that, like the install driver, starts again from inside its DL_CODE_RETRY report.
    std::unique_ptr<CMTCurlDownloader> DownloaderFor(const std::string& path, bool isCurlReady = true) {
        auto downloader = std::make_unique<CMTCurlDownloader>(
            [this](int code, double value, const wchar_t* text) {
                recorder_.Add(code, value, text);
                if (code == DL_CODE_RETRY) restartTarget_->Start();
            },
            Utils::Utf8ToWideLenient(server_.Url(path)).c_str(), Utils::WideFromPath(Destination()).c_str(),
            isCurlReady);
        restartTarget_ = downloader.get();
        return downloader;
    }
    std::filesystem::path Destination() const { return sandbox_.root() / "__Package_Lumivex.exe"; }
    std::filesystem::path PartFile(int index) const {
        return Destination().string() + "_" + std::to_string(index);
    }
    std::vector<std::string> RangesRequested() const {
        std::vector<std::string> ranges;
        for (const auto& request : server_.Requests())
            if (request.method == "GET") ranges.push_back(request.Header("range"));
        return ranges;
    }

    testing_support::UserSandbox sandbox_;
    PackageServer server_;
    StatusRecorder recorder_;
    LogCapture log_;
    CMTCurlDownloader* restartTarget_ = nullptr;
};

TEST(MTCurlDownloaderSplit, RangesForSizesAroundThePartUnitAndBeyondTwoGiB) {
    struct Case {
        std::int64_t length;
        std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    };
    const Case cases[] = {
        {256, {{0, 255}}},
        {20971519, {{0, 20971518}}},
        {20971520, {{0, 10485759}, {10485760, 20971519}}},
        {31457281, {{0, 15728639}, {15728640, 31457280}}},
        // Lengths past 32 bits keep their exact offsets.
        {5368709121LL, {{0, 2684354559LL}, {2684354560LL, 5368709120LL}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<std::pair<std::int64_t, std::int64_t>> actual;
        for (const auto& range : CMTCurlDownloader::SplitRanges(c.length)) actual.emplace_back(range.first, range.last);
        EXPECT_EQ(actual, c.ranges);
    }
}

TEST_F(MTCurlDownloaderTest, PackagesAreFetchedInTheirRangesMergedAndVerified) {
    struct Case {
        std::size_t size;
        std::set<std::string> ranges;
    };
    const Case cases[] = {
        {20971519, {"bytes=0-20971518"}},
        {20971520, {"bytes=0-10485759", "bytes=10485760-20971519"}},
        {31457281, {"bytes=0-15728639", "bytes=15728640-31457280"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        StatusRecorder recorder;
        server_.ClearRequests();
        const std::string content = PackageBytes(c.size);
        const std::string path = server_.AddPackage("package" + std::to_string(c.size) + ".exe", content);
        server_.AddRedirect("/software/454", path);
        {
            CMTCurlDownloader downloader(recorder.Callback(), Utils::Utf8ToWideLenient(server_.Url("/software/454")).c_str(),
                                         Utils::WideFromPath(Destination()).c_str());
            downloader.Start();
            ASSERT_TRUE(recorder.WaitForTerminalCodes(1));
        }
        EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
        EXPECT_EQ(recorder.All().back().text, L"LibCurl");
        const std::vector<std::string> ranges = RangesRequested();
        EXPECT_EQ(std::set<std::string>(ranges.begin(), ranges.end()), c.ranges);
        EXPECT_EQ(ranges.size(), c.ranges.size());
        for (const auto& request : server_.Requests()) {
            if (request.method == "HEAD") {
                EXPECT_EQ(request.Header("connection"), "keep-alive");
            }
        }
        const std::vector<double> progress = recorder.ProgressValues();
        for (std::size_t i = 0; i < progress.size(); ++i) {
            EXPECT_LE(progress[i], 1.0);
            if (i > 0) {
                EXPECT_GE(progress[i] - progress[i - 1], 0.0099);
            }
        }
        EXPECT_TRUE(FileHolds(Destination(), content));
        EXPECT_FALSE(std::filesystem::exists(PartFile(0)));
        EXPECT_FALSE(std::filesystem::exists(PartFile(1)));
    }
}

TEST_F(MTCurlDownloaderTest, ProbeFailuresEndTheRunWithoutParts) {
    struct Case {
        const char* name;
        std::size_t size;
        std::optional<Fault> headFault;
        bool isCurlReady;
    };
    const Case cases[] = {
        {"255 bytes", 255, std::nullopt, true},
        {"no length in the HEAD answer", 4096, Fault{.omitContentLength = true}, true},
        {"HEAD answered 404", 4096, Fault{.status = 404}, true},
        {"libcurl not initialised", 4096, std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.ClearRequests();
        server_.ClearRules();
        StatusRecorder recorder;
        const std::string path = server_.AddPackage(std::string("probe") + std::to_string(c.size), PackageBytes(c.size));
        if (c.headFault) server_.AddRule(Rule{"HEAD", path, -1, *c.headFault});
        {
            CMTCurlDownloader downloader(recorder.Callback(), Utils::Utf8ToWideLenient(server_.Url(path)).c_str(),
                                         Utils::WideFromPath(Destination()).c_str(), c.isCurlReady);
            downloader.Start();
            ASSERT_TRUE(recorder.WaitForTerminalCodes(1));
        }
        EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
        EXPECT_EQ(recorder.All().back().value, 0.0);
        EXPECT_EQ(recorder.All().back().text, L"LibCurl");
        EXPECT_TRUE(RangesRequested().empty());
        EXPECT_EQ(server_.Requests().size(), c.isCurlReady ? 1u : 0u);
    }
}

TEST_F(MTCurlDownloaderTest, RestartAfterAFailedPartResumesFromThePartFile) {
    const std::string content = PackageBytes(2 * kMiB);
    const std::string path = server_.AddPackage("package.exe", content);
    // The first answer is slow enough for progress to be reported, then drops;
    // every retry of this run is refused.
    server_.AddRule(Rule{"GET", path, 1, Fault{.closeAfterBytes = kMiB, .bytesPerSecond = 400000}});
    server_.AddRule(Rule{"GET", path, 7, Fault{.status = 404}});
    auto downloader = DownloaderFor(path);
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(2));

    EXPECT_EQ(recorder_.CodesWithoutProgress(),
              (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}));
    const std::vector<Status> all = recorder_.All();
    const auto retry = std::find_if(all.begin(), all.end(), [](const Status& s) { return s.code == DL_CODE_RETRY; });
    EXPECT_EQ(retry->value, CURLE_HTTP_RETURNED_ERROR);
    EXPECT_FALSE(recorder_.ProgressValues().empty());
    const std::vector<std::string> ranges = RangesRequested();
    ASSERT_EQ(ranges.size(), 9u) << "one interrupted attempt costs 1 of 12, seven refusals 2 each";
    EXPECT_EQ(ranges.front(), "bytes=0-2097151");
    EXPECT_EQ(ranges.back(), "bytes=1048576-2097151") << "the restart resumes after the bytes held in the part file";
    EXPECT_EQ(log_.Count(L"CurlDownLoader Code=18"), 1u);
    EXPECT_EQ(log_.Count(L"CurlDownLoader Code=22"), 6u);
    const auto requests = server_.Requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.method == "HEAD"; }), 1)
        << "the restart reuses the probe";
    EXPECT_TRUE(FileHolds(Destination(), content));
}

TEST_F(MTCurlDownloaderTest, ACompletePartGetsNoThreadOnTheRestart) {
    const std::string content = PackageBytes(20971520);
    const std::string path = server_.AddPackage("package.exe", content);
    // Part 0 asks first (parts start 100 ms apart) and completes slowly enough
    // to report progress; part 1 is refused for all of its attempts.
    server_.AddRule(Rule{"GET", path, 1, Fault{.bytesPerSecond = 6000000}});
    server_.AddRule(Rule{"GET", path, 7, Fault{.status = 404}});
    auto downloader = DownloaderFor(path);
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(2));

    EXPECT_EQ(recorder_.CodesWithoutProgress(),
              (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}));
    const std::vector<std::string> ranges = RangesRequested();
    ASSERT_EQ(ranges.size(), 9u);
    EXPECT_EQ(ranges[0], "bytes=0-10485759");
    EXPECT_EQ(ranges.back(), "bytes=10485760-20971519") << "only the failed part is fetched again";
    EXPECT_TRUE(FileHolds(Destination(), content));
}

TEST_F(MTCurlDownloaderTest, ADroppedConnectionInEachPartResumesThatPart) {
    const std::string content = PackageBytes(20971520);
    const std::string path = server_.AddPackage("package.exe", content);
    server_.AddRule(Rule{"GET", path, 2, Fault{.closeAfterBytes = 1000000}});
    auto downloader = DownloaderFor(path);
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));

    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    const std::vector<std::string> ranges = RangesRequested();
    EXPECT_EQ(std::multiset<std::string>(ranges.begin(), ranges.end()),
              (std::multiset<std::string>{"bytes=0-10485759", "bytes=10485760-20971519", "bytes=1000000-10485759",
                                          "bytes=11485760-20971519"}));
    EXPECT_EQ(log_.Count(L"CurlDownLoader Code=18"), 2u);
    EXPECT_TRUE(FileHolds(Destination(), content));
}

TEST_F(MTCurlDownloaderTest, AServerThatIgnoresRangesNeverYieldsAPackage) {
    const std::string content = PackageBytes(64 * 1024);
    // No digest in the address: nothing but the range check stands between
    // whole-file answers and a wrongly assembled package.
    const std::string path = server_.AddContent("/software/plain.exe", content);
    server_.AddRule(Rule{"GET", path, -1, Fault{.ignoreRange = true}});
    auto downloader = DownloaderFor(path);
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(2));

    EXPECT_EQ(recorder_.CodesWithoutProgress(),
              (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(recorder_.All().back().value, CURLE_WRITE_ERROR);
    EXPECT_FALSE(std::filesystem::exists(Destination()));
    EXPECT_EQ(RangesRequested().size(), 14u) << "seven attempts in each run";
}

TEST_F(MTCurlDownloaderTest, AnUpperCaseDigestFailsTheChecksumTwice) {
    const std::string content = PackageBytes(4096);
    std::string digestPath = package_server::DigestPath("package.exe", content);
    std::transform(digestPath.begin(), digestPath.end(), digestPath.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    server_.AddContent(digestPath, content);
    auto downloader = DownloaderFor(digestPath);
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(2));

    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_MD5, DL_CODE_RETRY,
                                                                  DL_CODE_START, DL_CODE_MD5, DL_CODE_FAIL}));
    for (const Status& status : recorder_.All()) {
        if (status.code == DL_CODE_MD5) {
            EXPECT_EQ(status.text, L"mtcurl文件md5校验失败");
        }
        if (status.code == DL_CODE_RETRY || status.code == DL_CODE_FAIL) {
            EXPECT_EQ(status.value, 0.0);
        }
    }
    EXPECT_EQ(RangesRequested(), (std::vector<std::string>{"bytes=0-4095", "bytes=0-4095"}))
        << "the second run downloads everything again";
    EXPECT_FALSE(std::filesystem::exists(Destination()));
}

TEST_F(MTCurlDownloaderTest, NoDigestInTheAddressIsNoticedAndAccepted) {
    const std::string content = PackageBytes(4096);
    server_.AddContent("/software/454", content);
    auto downloader = DownloaderFor("/software/454");
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));
    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_MD5, DL_CODE_SUCCESS}));
    EXPECT_EQ(recorder_.All()[1].text, L"mtcurl获取url-md5失败");
    EXPECT_TRUE(FileHolds(Destination(), content));
}

TEST_F(MTCurlDownloaderTest, AMergeThatCannotBeRenamedIsAFailure) {
    const std::string content = PackageBytes(4096);
    const std::string path = server_.AddPackage("package.exe", content);
    // A folder with content where the package should go: the rename fails.
    std::filesystem::create_directories(Destination() / "occupied");
    auto downloader = DownloaderFor(path);
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(2));
    EXPECT_EQ(recorder_.CodesWithoutProgress(),
              (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(recorder_.All().back().value, PART_MERGE_FAILED);
    EXPECT_FALSE(std::filesystem::exists(PartFile(0)));
}

TEST_F(MTCurlDownloaderTest, APartFileLongerThanItsRangeNeverBecomesThePackage) {
    const std::string content = PackageBytes(2 * kMiB);
    const std::string path = server_.AddPackage("package.exe", content);
    server_.AddRule(Rule{"GET", path, 1, Fault{.closeAfterBytes = kMiB, .bytesPerSecond = 400000}});
    server_.AddRule(Rule{"GET", path, 7, Fault{.status = 404}});
    CMTCurlDownloader* target = nullptr;
    CMTCurlDownloader downloader(
        [&](int code, double value, const wchar_t* text) {
            recorder_.Add(code, value, text);
            if (code != DL_CODE_RETRY) return;
            // The kept part file grows past its range before the restart.
            std::ofstream(PartFile(0), std::ios::binary | std::ios::app) << PackageBytes(2 * kMiB);
            target->Start();
        },
        Utils::Utf8ToWideLenient(server_.Url(path)).c_str(), Utils::WideFromPath(Destination()).c_str());
    target = &downloader;
    downloader.Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(2));

    EXPECT_EQ(recorder_.CodesWithoutProgress(),
              (std::vector<int>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(recorder_.All().back().value, PART_MERGE_FAILED);
    EXPECT_EQ(RangesRequested().size(), 8u) << "the overlong part counts as complete and is not fetched";
    EXPECT_FALSE(std::filesystem::exists(Destination()));
    EXPECT_FALSE(std::filesystem::exists(PartFile(0)));
}

TEST_F(MTCurlDownloaderTest, UntrustedCertificatesAreRefusedByTheTwoPartAndSystemDownloaders) {
    const auto certificate = sandbox_.root() / "server.crt";
    const auto key = sandbox_.root() / "server.key";
    const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
                                " -addext subjectAltName=IP:127.0.0.1 -keyout '" + key.string() + "' -out '" +
                                certificate.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    package_server::TlsPackageServer tlsServer(certificate, key);
    ASSERT_TRUE(tlsServer.Start());
    const std::wstring url = Utils::Utf8ToWideLenient(tlsServer.Url(tlsServer.AddPackage("secure.bin", PackageBytes(4096))));

    StatusRecorder twoParts;
    {
        CMTCurlDownloader downloader(twoParts.Callback(), url.c_str(), Utils::WideFromPath(Destination()).c_str());
        downloader.Start();
        ASSERT_TRUE(twoParts.WaitForTerminalCodes(1));
    }
    EXPECT_EQ(twoParts.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));

    StatusRecorder system;
    {
        CWinDownloader downloader(system.Callback(), url.c_str(), Utils::WideFromPath(Destination()).c_str());
        downloader.Start();
        ASSERT_TRUE(system.WaitForTerminalCodes(1));
    }
    EXPECT_EQ(system.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(system.All().back().value, WIN_DL_DOWNLOAD_FAILURE);
    EXPECT_FALSE(std::filesystem::exists(Destination()));
}

TEST_F(MTCurlDownloaderTest, DestroyingTheDownloaderMidRunStopsEveryThread) {
    const std::string content = PackageBytes(20971520);
    const std::string path = server_.AddPackage("package.exe", content);
    server_.AddRule(Rule{"GET", path, -1, Fault{.bytesPerSecond = 2000000}});
    for (int delayMs : {0, 50, 150, 1200}) {
        SCOPED_TRACE(delayMs);
        StatusRecorder recorder;
        {
            CMTCurlDownloader downloader(recorder.Callback(), Utils::Utf8ToWideLenient(server_.Url(path)).c_str(),
                                         Utils::WideFromPath(Destination()).c_str());
            downloader.Start();
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        }
        EXPECT_FALSE(std::filesystem::exists(Destination()));
        for (const Status& status : recorder.All()) {
            EXPECT_NE(status.code, DL_CODE_SUCCESS);
            EXPECT_NE(status.code, DL_CODE_FAIL);
        }
    }
}

}  // namespace
