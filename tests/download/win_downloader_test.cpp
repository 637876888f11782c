#include "download/win_downloader.h"
#include "download_test_support.h"
#include "package_server/package_server.h"
#include "testing/sandbox.h"
#include "utils/paths.h"
#include "utils/text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

// GLib, GIO, libsoup, libproxy and the TLS module are not built with
// ThreadSanitizer: the proxy resolver, GIO's worker threads and the TLS
// handshake thread synchronise through locks it cannot see. Only
// ThreadSanitizer builds ever call this.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libglib-2.0.so\nrace:libgio-2.0.so\nrace:libgobject-2.0.so\nrace:libsoup-3.0.so\n"
           "race:libproxy.so\nrace:libgiognutls.so\nrace:libgnutls.so\n";
}

namespace {

using download_testing::FileHolds;
using download_testing::PackageBytes;
using download_testing::Status;
using download_testing::StatusRecorder;
using package_server::Fault;
using package_server::PackageServer;
using package_server::Rule;

class WinDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Start()); }

    std::unique_ptr<CWinDownloader> DownloaderFor(const std::wstring& address) {
        return std::make_unique<CWinDownloader>(recorder_.Callback(), address.c_str(),
                                                Utils::WideFromPath(Destination()).c_str());
    }
    std::wstring Address(const std::string& path) const { return Utils::Utf8ToWideLenient(server_.Url(path)); }
    std::filesystem::path Destination() const { return sandbox_.root() / "__Package_Lumivex.exe"; }
    std::vector<std::string> GetTargets() const {
        std::vector<std::string> targets;
        for (const auto& request : server_.Requests())
            if (request.method == "GET") targets.push_back(request.target);
        return targets;
    }

    testing_support::UserSandbox sandbox_;
    PackageServer server_;
    StatusRecorder recorder_;
};

TEST_F(WinDownloaderTest, ProgressIsReportedOnlyWhenTheTotalIsKnown) {
    struct Case {
        const char* name;
        bool omitContentLength;
    };
    for (const Case c : {Case{"with a length", false}, Case{"without a length", true}}) {
        SCOPED_TRACE(c.name);
        StatusRecorder recorder;
        const std::string content = PackageBytes(600000);
        const std::string path = server_.AddPackage(std::string("package-") + (c.omitContentLength ? "a" : "b"), content);
        server_.AddRule(Rule{"GET", path, 1, Fault{.omitContentLength = c.omitContentLength}});
        {
            CWinDownloader downloader(recorder.Callback(), Address(path).c_str(),
                                      Utils::WideFromPath(Destination()).c_str());
            downloader.Start();
            ASSERT_TRUE(recorder.WaitForTerminalCodes(1));
        }
        EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
        EXPECT_EQ(recorder.All().back().text, L"URLDownloadToFile");
        const std::vector<double> progress = recorder.ProgressValues();
        if (c.omitContentLength) {
            EXPECT_TRUE(progress.empty());
        } else {
            ASSERT_FALSE(progress.empty());
            EXPECT_EQ(progress.back(), 1.0);
        }
        EXPECT_TRUE(FileHolds(Destination(), content));
    }
}

TEST_F(WinDownloaderTest, ThreeFailuresOneSecondApartEndInTheLastResult) {
    const std::string path = server_.AddPackage("package.exe", PackageBytes(4096));
    server_.AddRule(Rule{"GET", path, 3, Fault{.status = 404}});
    auto downloader = DownloaderFor(Address(path));
    const auto started = std::chrono::steady_clock::now();
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(3))
        << "each failure, the third included, is followed by a one-second pause";
    EXPECT_EQ(recorder_.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(recorder_.All().back().value, 404.0);
    EXPECT_EQ(recorder_.All().back().text, L"URLDownloadToFile");
    EXPECT_EQ(GetTargets().size(), 3u);

    // The retry after a failure runs the whole download again.
    downloader->Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(2));
    EXPECT_EQ(recorder_.CodesWithoutProgress(),
              (std::vector<int>{DL_CODE_START, DL_CODE_FAIL, DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(GetTargets().size(), 4u);
    EXPECT_TRUE(std::filesystem::exists(Destination()));
}

TEST_F(WinDownloaderTest, AddressesAreEncodedExceptLocalFiles) {
    const std::string content = PackageBytes(5000);
    struct Case {
        const char* name;
        std::string requested;  // what the address names, UTF-8
        std::string served;     // the target the server must see
    };
    const Case cases[] = {
        {"blank", "/dl/my package.exe", "/dl/my+package.exe"},
        {"non-ASCII", "/dl/\xC3\xBC.exe", "/dl/%C3%BC.exe"},
        {"query and escapes kept", "/dl/p.exe?a=1&b=%26", "/dl/p.exe?a=1&b=%26"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.ClearRequests();
        StatusRecorder recorder;
        server_.AddContent(c.served.substr(0, c.served.find('?')), content);
        {
            CWinDownloader downloader(recorder.Callback(), Address(c.requested).c_str(),
                                      Utils::WideFromPath(Destination()).c_str());
            downloader.Start();
            ASSERT_TRUE(recorder.WaitForTerminalCodes(1));
        }
        EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
        EXPECT_EQ(GetTargets(), std::vector<std::string>{c.served});
        EXPECT_TRUE(FileHolds(Destination(), content));
    }

    // A local address goes to the file system unchanged.
    const std::filesystem::path source = sandbox_.root() / "local source" / "pkg.bin";
    std::filesystem::create_directories(source.parent_path());
    download_testing::WriteWholeFile(source, content + "local");
    StatusRecorder recorder;
    {
        CWinDownloader downloader(recorder.Callback(),
                                  (L"file://" + Utils::ReplaceAll(Utils::WideFromPath(source), L" ", L"%20")).c_str(),
                                  Utils::WideFromPath(Destination()).c_str());
        downloader.Start();
        ASSERT_TRUE(recorder.WaitForTerminalCodes(1));
    }
    EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_TRUE(FileHolds(Destination(), content + "local"));
}

TEST_F(WinDownloaderTest, AnEmptyDestinationEndsTheRunAtOnce) {
    CWinDownloader downloader(recorder_.Callback(), Address("/x").c_str(), L"");
    downloader.Start();
    ASSERT_TRUE(recorder_.WaitForTerminalCodes(1));
    const std::vector<Status> all = recorder_.All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].code, DL_CODE_FAIL);
    EXPECT_EQ(all[1].value, 1.0);
    EXPECT_EQ(all[1].text, L"");
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(WinDownloaderTest, DestructionReleasesAnUnstartedWorkerAndStopsARunningOne) {
    const std::string path = server_.AddPackage("package.exe", PackageBytes(4000000));
    server_.AddRule(Rule{"GET", path, -1, Fault{.bytesPerSecond = 1000000}});
    { auto unstarted = DownloaderFor(Address(path)); }
    EXPECT_TRUE(recorder_.All().empty());
    EXPECT_TRUE(server_.Requests().empty());

    for (int delayMs : {0, 300, 1500}) {
        SCOPED_TRACE(delayMs);
        StatusRecorder recorder;
        {
            CWinDownloader downloader(recorder.Callback(), Address(path).c_str(),
                                      Utils::WideFromPath(Destination()).c_str());
            downloader.Start();
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        }
        for (const Status& status : recorder.All()) EXPECT_NE(status.code, DL_CODE_SUCCESS);
    }
}

}  // namespace
