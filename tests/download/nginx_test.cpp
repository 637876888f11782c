#include "download/curl_downloader.h"
#include "download_test_support.h"
#include "nginx_server.h"
#include "package_server/package_server.h"
#include "testing/sandbox.h"
#include "utils/paths.h"
#include "utils/text.h"

#include <gtest/gtest.h>

namespace {

using download_testing::FileHolds;
using download_testing::NginxServer;
using download_testing::PackageBytes;
using download_testing::StatusRecorder;
using download_testing::WriteWholeFile;

class NginxTest : public ::testing::Test {
protected:
    void SetUp() override {
        content_ = PackageBytes(3 * 1048576 + 17);
        path_ = package_server::DigestPath("setup.exe", content_);
        std::filesystem::create_directories(sandbox_.root() / "www" / path_.substr(1, 32));
        WriteWholeFile(sandbox_.root() / "www" / path_.substr(1), content_);
        ASSERT_TRUE(nginx_.Start()) << nginx_.Error();
    }
    std::filesystem::path Destination() const { return sandbox_.root() / "package.exe"; }

    testing_support::UserSandbox sandbox_;
    NginxServer nginx_{sandbox_.root() / "www"};
    std::string content_;
    std::string path_;
};

TEST_F(NginxTest, DownloadsAndVerifiesAPackage) {
    StatusRecorder recorder;
    {
        CCurlDownloader downloader(recorder.Callback(), Utils::Utf8ToWideLenient(nginx_.Url(path_)).c_str(),
                                   Utils::WideFromPath(Destination()).c_str());
        downloader.Start();
        ASSERT_TRUE(recorder.WaitForTerminalCodes(1));
    }
    EXPECT_EQ(recorder.CodesWithoutProgress(), (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_TRUE(FileHolds(Destination(), content_));
    EXPECT_EQ(nginx_.AccessLog(), "HEAD " + path_ + " range=- 200\nGET " + path_ + " range=- 200\n");
}

TEST_F(NginxTest, ResumesAPartialFile) {
    CurlClient client(Utils::Utf8ToWideLenient(nginx_.Url(path_)), Utils::WideFromPath(Destination()), nullptr);
    client.SetProgressFunction(nullptr);
    WriteWholeFile(Utils::PathFromWide(client.GetFilePath(true)), content_.substr(0, 5000));
    EXPECT_EQ(client.Start(), 0);
    EXPECT_TRUE(FileHolds(Destination(), content_));
    EXPECT_NE(nginx_.AccessLog().find("GET " + path_ + " range=bytes=5000- 206\n"), std::string::npos) << nginx_.AccessLog();
}

}  // namespace
