#include "download/curl_client.h"
#include "download_test_support.h"
#include "package_server/package_server.h"
#include "package_server/tls_package_server.h"
#include "testing/sandbox.h"
#include "utils/md5.h"
#include "utils/paths.h"
#include "utils/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {

using download_testing::PackageBytes;
using download_testing::FileHolds;
using download_testing::WriteWholeFile;
using package_server::Fault;
using package_server::PackageServer;
using package_server::Rule;

constexpr std::size_t kMiB = 1048576;

class CurlClientTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Start()); }

    // A client for `path` on the stand-in that downloads to <sandbox>/package.bin.
    std::unique_ptr<CurlClient> ClientFor(const std::string& path) {
        auto client = std::make_unique<CurlClient>(Utils::Utf8ToWideLenient(server_.Url(path)),
                                                   Utils::WideFromPath(Destination()), nullptr);
        client->SetProgressFunction(nullptr);
        return client;
    }
    std::filesystem::path Destination() const { return sandbox_.root() / "package.bin"; }
    std::filesystem::path PartFile() const { return sandbox_.root() / "package.bin.part"; }

    std::vector<std::string> Methods() const {
        std::vector<std::string> methods;
        for (const auto& request : server_.Requests()) methods.push_back(request.method);
        return methods;
    }
    std::vector<package_server::RequestRecord> Gets() const {
        std::vector<package_server::RequestRecord> gets;
        for (const auto& request : server_.Requests())
            if (request.method == "GET") gets.push_back(request);
        return gets;
    }

    testing_support::UserSandbox sandbox_;
    PackageServer server_;
};

TEST_F(CurlClientTest, FilesBelowOneMebibyteAreNeverDownloaded) {
    struct Case {
        std::size_t size;
        int result;
    };
    for (const auto [size, result] : {Case{kMiB - 1, CLIENT_LENGTH_UNKNOWN}, Case{kMiB, 0}}) {
        SCOPED_TRACE(size);
        server_.ClearRequests();
        const std::string content = PackageBytes(size);
        const auto client = ClientFor(server_.AddPackage("package" + std::to_string(size) + ".bin", content));
        EXPECT_EQ(client->Start(), result);
        if (result == 0) {
            EXPECT_TRUE(FileHolds(Destination(), content));
            EXPECT_FALSE(std::filesystem::exists(PartFile()));
        } else {
            EXPECT_TRUE(Gets().empty());
            EXPECT_FALSE(std::filesystem::exists(PartFile())) << "the partial file is not even created";
        }
    }
}

TEST_F(CurlClientTest, RefusedHeadFallsBackToTheSecondProbe) {
    struct Case {
        int refusals;
        int result;
        std::vector<std::string> methods;
    };
    const Case cases[] = {
        // First probe refused; the second probe's two requests succeed and the download runs.
        {1, 0, {"HEAD", "HEAD", "HEAD", "GET"}},
        // Every HEAD refused: both probes fail and nothing is downloaded.
        {-1, CLIENT_LENGTH_UNKNOWN, {"HEAD", "HEAD", "HEAD"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusals);
        server_.ClearRules();
        server_.ClearRequests();
        const std::string content = PackageBytes(kMiB + 10);
        const std::string path = server_.AddPackage("refused.bin", content);
        server_.AddRule(Rule{"HEAD", path, c.refusals, Fault{.status = 405}});
        const auto client = ClientFor(path);
        EXPECT_EQ(client->Start(), c.result);
        EXPECT_EQ(Methods(), c.methods);
        EXPECT_EQ(server_.Requests().front().status, 405);
        if (c.result == 0) {
            EXPECT_TRUE(FileHolds(Destination(), content));
        }
    }
}

TEST_F(CurlClientTest, PartialFileIsResumedFromItsSize) {
    const std::string content = PackageBytes(2 * kMiB);
    const std::string path = server_.AddPackage("resume.bin", content);
    struct Case {
        std::size_t partialSize;
        std::string range;
    };
    for (const auto& [partialSize, range] : {Case{0, ""}, Case{5000, "bytes=5000-"}}) {
        SCOPED_TRACE(partialSize);
        server_.ClearRequests();
        WriteWholeFile(PartFile(), content.substr(0, partialSize));
        const auto client = ClientFor(path);
        ASSERT_EQ(client->Start(), 0);
        ASSERT_EQ(Gets().size(), 1u);
        EXPECT_EQ(Gets()[0].Header("range"), range);
        EXPECT_EQ(Gets()[0].Header("accept-encoding"), "gzip, deflate");
        EXPECT_EQ(Gets()[0].Header("connection"), "keep-alive");
        EXPECT_EQ(Gets()[0].Header("user-agent"), "") << "no user agent is sent";
        EXPECT_TRUE(FileHolds(Destination(), content));
        EXPECT_FALSE(std::filesystem::exists(PartFile()));
        EXPECT_EQ(client->DownloadedFileMd5(), Utils::FileMd5(Destination().string()))
            << "the digest covers the bytes that were on disk before the transfer";
    }
}

TEST_F(CurlClientTest, ProbesAreSkippedOnceAddressAndLengthAreKnown) {
    const std::string content = PackageBytes(2 * kMiB);
    const std::string path = server_.AddPackage("known.bin", content);
    server_.AddRule(Rule{"GET", path, 1, Fault{.closeAfterBytes = 300000}});
    const auto client = ClientFor(path);
    EXPECT_EQ(client->Start(), CURLE_PARTIAL_FILE);
    EXPECT_EQ(std::filesystem::file_size(PartFile()), 300000u) << "received bytes stay in the partial file";
    EXPECT_EQ(client->Start(), 0);
    EXPECT_EQ(Methods(), (std::vector<std::string>{"HEAD", "GET", "GET"}));
    EXPECT_EQ(Gets()[1].Header("range"), "bytes=300000-");
    EXPECT_TRUE(FileHolds(Destination(), content));
    EXPECT_EQ(client->DownloadedFileMd5(), Utils::FileMd5(Destination().string()));
}

TEST_F(CurlClientTest, HttpErrorOnTheDownloadKeepsThePartialFile) {
    const std::string content = PackageBytes(2 * kMiB);
    const std::string path = server_.AddPackage("missing.bin", content);
    server_.AddRule(Rule{"GET", path, -1, Fault{.status = 404}});
    WriteWholeFile(PartFile(), content.substr(0, 5000));
    const auto client = ClientFor(path);
    download_testing::LogCapture log;
    EXPECT_EQ(client->Start(), CURLE_HTTP_RETURNED_ERROR);
    const std::vector<std::wstring> lines = log.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find(L"(CurlClient::Start)<"), std::wstring::npos) << "tagged with the function name";
    EXPECT_TRUE(lines.front().ends_with(L": start download\r\n"));
    EXPECT_EQ(log.Count(L": error:22:HTTP response code said error\r\n"), 1u);
    EXPECT_TRUE(lines.back().ends_with(L": end download\r\n"));
    EXPECT_TRUE(FileHolds(PartFile(), content.substr(0, 5000)));
    EXPECT_FALSE(std::filesystem::exists(Destination()));
}

TEST_F(CurlClientTest, SuccessReplacesTheDestinationAndFailureToReplaceIsReported) {
    const std::string content = PackageBytes(kMiB + 1);
    const std::string path = server_.AddPackage("replace.bin", content);

    WriteWholeFile(Destination(), "an older package");
    EXPECT_EQ(ClientFor(path)->Start(), 0);
    EXPECT_TRUE(FileHolds(Destination(), content));

    // A destination that cannot be replaced is a failed attempt, never a success.
    std::filesystem::remove(Destination());
    std::filesystem::create_directories(Destination() / "occupied");
    const auto client = ClientFor(path);
    EXPECT_EQ(client->Start(), CLIENT_FINISH_FAILED);
    EXPECT_TRUE(FileHolds(PartFile(), content)) << "the finished bytes are kept for the next attempt";
    std::filesystem::remove_all(Destination());
    EXPECT_EQ(client->Start(), 0) << "the next attempt only has to move the file";
    EXPECT_TRUE(FileHolds(Destination(), content));
}

TEST_F(CurlClientTest, DestructionDeletesThePartialFile) {
    const std::string path = server_.AddPackage("kept.bin", PackageBytes(2 * kMiB));
    server_.AddRule(Rule{"GET", path, 1, Fault{.closeAfterBytes = 1000}});
    {
        const auto client = ClientFor(path);
        EXPECT_EQ(client->Start(), CURLE_PARTIAL_FILE);
        EXPECT_TRUE(std::filesystem::exists(PartFile()));
    }
    EXPECT_FALSE(std::filesystem::exists(PartFile()));
}

TEST_F(CurlClientTest, UntrustedCertificateFailsTheDownload) {
    const auto certificate = sandbox_.root() / "server.crt";
    const auto key = sandbox_.root() / "server.key";
    const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
                                " -addext subjectAltName=IP:127.0.0.1 -keyout '" + key.string() + "' -out '" +
                                certificate.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    package_server::TlsPackageServer tlsServer(certificate, key);
    ASSERT_TRUE(tlsServer.Start());
    const std::string content = PackageBytes(kMiB + 100);
    const std::string url = tlsServer.Url(tlsServer.AddPackage("secure.bin", content));

    // The server itself works for a client that trusts its certificate...
    CurlEasyPtr trusting(curl_easy_init());
    curl_easy_setopt(trusting.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(trusting.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(trusting.get(), CURLOPT_CAINFO, certificate.c_str());
    ASSERT_EQ(curl_easy_perform(trusting.get()), CURLE_OK);

    // ...but the client keeps libcurl's verification on and refuses it.
    CurlClient client(Utils::Utf8ToWideLenient(url), Utils::WideFromPath(Destination()), nullptr);
    client.SetProgressFunction(nullptr);
    EXPECT_EQ(client.Start(), CLIENT_LENGTH_UNKNOWN);
    EXPECT_FALSE(std::filesystem::exists(Destination()));
    EXPECT_FALSE(std::filesystem::exists(PartFile()));
}

}  // namespace
