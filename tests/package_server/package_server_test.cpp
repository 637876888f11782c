#include "package_server/package_server.h"
#include "testing/sandbox.h"
#include "utils/md5.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>
#include <string>

namespace {

using package_server::Fault;
using package_server::PackageServer;
using package_server::Rule;

struct Reply {
    CURLcode result = CURLE_OK;
    long status = 0;
    std::string headers;  // lower case
    std::string body;

    bool HasHeader(const std::string& lowerCaseLine) const { return headers.find(lowerCaseLine) != std::string::npos; }
};

size_t Append(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// One request with libcurl; `range` as "first-last", `method` "HEAD" or another verb.
Reply Fetch(const std::string& url, const std::string& method = "GET", const std::string& range = "",
            bool followRedirects = false) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    Reply reply;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    if (method == "HEAD")
        curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    else if (method != "GET")
        curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, method.c_str());
    if (!range.empty()) curl_easy_setopt(curl.get(), CURLOPT_RANGE, range.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, followRedirects ? 1L : 0L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, &Append);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &reply.headers);
    reply.result = curl_easy_perform(curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &reply.status);
    for (char& c : reply.headers) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return reply;
}

std::string Bytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    return bytes;
}

std::string Inverted(std::string bytes) {
    for (char& c : bytes) c = static_cast<char>(~c);
    return bytes;
}

class PackageServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Start()); }
    PackageServer server_;
};

TEST_F(PackageServerTest, AnswersHeadGetAndRanges) {
    const std::string content = Bytes(100000);
    const std::string path = server_.AddPackage("setup.exe", content);
    EXPECT_EQ(path, "/" + [&] { Utils::Md5 md5; md5.Update(content.data(), content.size()); return md5.FinalHex(); }() + "/setup.exe");

    struct Case {
        const char* method;
        const char* range;
        long status;
        std::string body;
        const char* header;
    };
    const Case cases[] = {
        {"HEAD", "", 200, "", "content-length: 100000\r\n"},
        {"GET", "", 200, content, "content-type: application/octet-stream\r\n"},
        {"GET", "10-19", 206, content.substr(10, 10), "content-range: bytes 10-19/100000\r\n"},
        {"GET", "99990-", 206, content.substr(99990), "content-length: 10\r\n"},
        {"GET", "99990-200000", 206, content.substr(99990), "content-range: bytes 99990-99999/100000\r\n"},
        {"GET", "100000-", 416, "", "content-range: bytes */100000\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.range);
        const Reply reply = Fetch(server_.Url(path), c.method, c.range);
        EXPECT_EQ(reply.result, CURLE_OK);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_TRUE(reply.body == c.body) << reply.body.size() << " bytes";
        EXPECT_TRUE(reply.HasHeader(c.header)) << reply.headers;
    }
    EXPECT_EQ(server_.Requests().size(), std::size(cases));
    EXPECT_EQ(server_.Requests()[2].Header("range"), "bytes=10-19");
}

TEST_F(PackageServerTest, InjectsFaults) {
    const std::string content = Bytes(300000);
    const std::string path = server_.AddPackage("faulty.exe", content);
    struct Case {
        const char* name;
        Fault fault;
        const char* range;
        CURLcode result;
        long status;
        std::string body;
        std::optional<std::string> header;  // must be present; "!" prefix: must be absent
    };
    const Case cases[] = {
        {"status", Fault{.status = 500}, "", CURLE_OK, 500, "", std::nullopt},
        {"close after bytes", Fault{.closeAfterBytes = 1000}, "", CURLE_PARTIAL_FILE, 200, content.substr(0, 1000), std::nullopt},
        {"corrupt", Fault{.corruptBody = true}, "", CURLE_OK, 200, Inverted(content), std::nullopt},
        {"ignore range", Fault{.ignoreRange = true}, "100-199", CURLE_OK, 200, content, "!content-range"},
        {"no length", Fault{.omitContentLength = true}, "", CURLE_OK, 200, content, "!content-length"},
        {"rate limit", Fault{.bytesPerSecond = 2000000}, "1000-", CURLE_OK, 206, content.substr(1000), std::nullopt},
        {"short stall", Fault{.stall = std::chrono::milliseconds(50)}, "", CURLE_OK, 200, content, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.AddRule(Rule{"GET", path, 1, c.fault});
        const Reply reply = Fetch(server_.Url(path), "GET", c.range);
        EXPECT_EQ(reply.result, c.result);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_TRUE(reply.body == c.body) << reply.body.size() << " bytes";
        if (c.header && c.header->front() == '!') {
            EXPECT_FALSE(reply.HasHeader(c.header->substr(1) + ":")) << reply.headers;
        } else if (c.header) {
            EXPECT_TRUE(reply.HasHeader(*c.header)) << reply.headers;
        }
        // Each rule was used up by its one request: the next one is served normally.
        const Reply normal = Fetch(server_.Url(path));
        EXPECT_EQ(normal.status, 200);
        EXPECT_TRUE(normal.body == content);
    }
}

TEST_F(PackageServerTest, RulesMatchByMethodPathAndCount) {
    const std::string content = Bytes(2000);
    const std::string path = server_.AddPackage("counted.exe", content);
    server_.AddRule(Rule{"HEAD", "", -1, Fault{.status = 405}});
    server_.AddRule(Rule{"GET", path, 2, Fault{.status = 404}});
    EXPECT_EQ(Fetch(server_.Url(path), "HEAD").status, 405);
    EXPECT_EQ(Fetch(server_.Url(path), "HEAD").status, 405);
    EXPECT_EQ(Fetch(server_.Url(path)).status, 404);
    EXPECT_EQ(Fetch(server_.Url(path)).status, 404);
    EXPECT_EQ(Fetch(server_.Url(path)).status, 200);
    EXPECT_EQ(Fetch(server_.Url("/nothing/here.exe")).status, 404);
    EXPECT_EQ(Fetch(server_.Url(path), "POST").status, 405);
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[4].status, 200);
    EXPECT_EQ(requests[4].bodyBytesSent, content.size());
    EXPECT_EQ(requests[6].method, "POST");
}

TEST_F(PackageServerTest, RedirectsToTheStoredPackage) {
    const std::string content = Bytes(5000);
    const std::string path = server_.AddPackage("moved.exe", content);
    server_.AddRedirect("/software/454", "/hop");
    server_.AddRedirect("/hop", path, 301);
    const Reply reply = Fetch(server_.Url("/software/454"), "GET", "", true);
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.body == content);
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].status, 302);
    EXPECT_EQ(requests[1].status, 301);
    EXPECT_EQ(requests[2].target, path);
}

TEST_F(PackageServerTest, KeepsConnectionsAliveBetweenRequests) {
    const std::string content = Bytes(70000);
    const std::string path = server_.AddPackage("twice.exe", content);
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, server_.Url(path).c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    ASSERT_EQ(curl_easy_perform(curl.get()), CURLE_OK);
    curl_easy_setopt(curl.get(), CURLOPT_RANGE, "0-99");
    ASSERT_EQ(curl_easy_perform(curl.get()), CURLE_OK);
    long connections = -1;
    curl_easy_getinfo(curl.get(), CURLINFO_NUM_CONNECTS, &connections);
    EXPECT_EQ(connections, 0) << "the second request reused the first connection";
    EXPECT_TRUE(body == content + content.substr(0, 100));
}

TEST_F(PackageServerTest, ServesAFolderUnderDigestPaths) {
    testing_support::TempDir folder;
    testing_support::WriteFile(folder / "b.exe", "second package");
    testing_support::WriteFile(folder / "a.exe", "first package");
    const std::vector<std::string> paths = server_.AddFolder(folder.path());
    ASSERT_EQ(paths.size(), 2u);
    for (const auto& [name, text] : {std::pair{"a.exe", "first package"}, std::pair{"b.exe", "second package"}}) {
        const std::string path = package_server::DigestPath(name, text);
        EXPECT_NE(std::find(paths.begin(), paths.end(), path), paths.end()) << path;
        EXPECT_EQ(Fetch(server_.Url(path)).body, text);
    }
}

TEST_F(PackageServerTest, StopEndsStalledAnswers) {
    const std::string path = server_.AddPackage("stalled.exe", Bytes(1000));
    server_.AddRule(Rule{"GET", path, -1, Fault{.stall = std::chrono::hours(1)}});
    std::optional<Reply> reply;
    std::thread client([&] { reply = Fetch(server_.Url(path)); });
    while (server_.Requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    server_.Stop();
    client.join();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->result, CURLE_PARTIAL_FILE) << "the headers promised a body that never came";
    EXPECT_TRUE(reply->body.empty());
}

}  // namespace
