#include <gtest/gtest.h>
#include <curl/curl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "analytics_collector/batch_decoding.h"
#include "analytics_collector/collector_server.h"
#include "kv_analytics/batch_encoding.h"
#include "kv_analytics/batch_sender.h"
#include "kv_analytics/http_connection.h"
#include "kv_analytics/send_status.h"
#include "test_support.h"
#include "testing/sandbox.h"

namespace {

using analytics_collector::CollectorServer;
using analytics_collector::Reply;

TEST(BatchEncodingTest, Base64StandardVectors) {
    const struct {
        const char* input;
        const char* encoded;
    } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [input, encoded] : cases) EXPECT_EQ(kv_analytics::Base64Encode(input), encoded) << input;
    EXPECT_EQ(kv_analytics::Base64Encode(std::string("\xFB\xFF\xBF", 3)), "+/+/");
}

TEST(BatchEncodingTest, PercentEncodingKeepsOnlyUnreservedBytes) {
    EXPECT_EQ(kv_analytics::PercentEncode("aZ09-._~+/= &%"), "aZ09-._~%2B%2F%3D%20%26%25");
    EXPECT_EQ(kv_analytics::PercentEncode(std::string("\x00\xFF\n", 3)), "%00%FF%0A");
}

TEST(BatchEncodingTest, GzipAtBestCompressionRoundTrips) {
    std::string large;
    unsigned state = 12345;
    while (large.size() < 200000) {  // poorly compressible, so the output passes several 32 KiB steps
        state = state * 1103515245 + 12345;
        large += static_cast<char>(state >> 16);
    }
    for (const std::string& input : {std::string(), std::string("[{\"a\":1}]"), large}) {
        std::string compressed;
        ASSERT_TRUE(kv_analytics::GzipCompress(input, compressed));
        ASSERT_GE(compressed.size(), 10u);
        EXPECT_EQ(static_cast<unsigned char>(compressed[0]), 0x1F);
        EXPECT_EQ(static_cast<unsigned char>(compressed[1]), 0x8B);
        EXPECT_EQ(compressed[2], 8) << "deflate method";
        EXPECT_EQ(compressed[8], 2) << "extra flags of the slowest, best compression";
        EXPECT_EQ(analytics_collector::Gunzip(compressed), input);
    }
}

TEST(BatchEncodingTest, BodyIsAFormThatDecodesToTheBatch) {
    const std::string batch = R"([{"a":"x+y/z=="},{"b":2}])";
    std::string body;
    ASSERT_TRUE(kv_analytics::EncodeBatch(batch, body));
    EXPECT_TRUE(body.starts_with("data_list="));
    EXPECT_TRUE(body.ends_with("&gzip=1"));
    std::string error;
    const auto decoded = analytics_collector::DecodeBatchBody(body, error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->json, batch);
    ASSERT_EQ(decoded->records.size(), 2u);
    EXPECT_EQ(decoded->records[0]["a"].asString(), "x+y/z==");
}

TEST(CollectorDecodingTest, RefusesBodiesThatAreNotStrictlyEncoded) {
    std::string good;
    ASSERT_TRUE(kv_analytics::EncodeBatch("[]", good));
    const std::string payload = good.substr(10, good.size() - 17);
    const struct {
        std::string body;
        const char* what;
    } cases[] = {
        {"data_list=" + payload, "no gzip flag"},
        {"x=" + payload + "&gzip=1", "wrong field"},
        {"data_list=" + payload + "+&gzip=1", "unescaped plus"},
        {"data_list=" + payload + "%2&gzip=1", "cut escape"},
        {"data_list=QUJD&gzip=1", "Base64 of something not gzip"},
        {"data_list=QUJ&gzip=1", "Base64 without padding"},
    };
    for (const auto& [body, what] : cases) {
        std::string error;
        EXPECT_FALSE(analytics_collector::DecodeBatchBody(body, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
    }
    std::string error;
    EXPECT_TRUE(analytics_collector::DecodeBatchBody(good, error)) << error;
}

TEST(HttpConnectionTest, PostReadsStatusBodyAndHeaders) {
    CollectorServer collector;
    collector.SetDefaultReply(Reply::Answer(202, "accepted"));
    kv_analytics::HttpConnection connection;
    connection.SetBaseUrl(collector.Url(""));
    connection.SetHeader("X-Probe", "1");
    connection.SetTimeoutSeconds(3);
    std::string body;
    ASSERT_TRUE(kv_analytics::EncodeBatch("[]", body));
    const auto& response = connection.Post("/path?q=1", body);
    EXPECT_EQ(response.status, 202);
    EXPECT_EQ(response.body, "accepted");
    EXPECT_EQ(response.headers.at("Content-Type"), "text/plain");
    EXPECT_EQ(response.headers.at("HTTP/1.1 202 Accepted"), "present");
    EXPECT_GT(response.timings.total, 0.0);

    const auto requests = collector.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/path?q=1");
    EXPECT_EQ(requests[0].body, body);
    EXPECT_EQ(requests[0].headers.find("X-Probe")->second, "1");
    EXPECT_EQ(requests[0].headers.find("User-Agent")->second, "KvAnalytics CPP SDK 0.9");
}

TEST(HttpConnectionTest, FailedTransferGivesMinusOneAndLibcurlText) {
    std::string url;
    {
        CollectorServer closed;
        url = closed.Url();
    }
    kv_analytics::HttpConnection connection;
    const auto& response = connection.Post(url, "x");
    EXPECT_EQ(response.status, -1);
    EXPECT_EQ(response.body, curl_easy_strerror(CURLE_COULDNT_CONNECT));
}

// A TLS server with a self-signed certificate: the transport must refuse it.
TEST(HttpConnectionTest, TlsPeerIsVerified) {
    testing_support::TempDir dir;
    const std::string cert = (dir / "cert.pem").string();
    const std::string key = (dir / "key.pem").string();
    const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout " + key +
                             " -out " + cert + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);

    int port = 0;
    {
        CollectorServer probe;  // borrow a free port number
        port = probe.port();
    }
    const pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
        const std::string accept = "127.0.0.1:" + std::to_string(port);
        execlp("openssl", "openssl", "s_server", "-quiet", "-accept", accept.c_str(), "-cert", cert.c_str(), "-key",
               key.c_str(), "-www", static_cast<char*>(nullptr));
        _exit(127);
    }
    kv_analytics::HttpConnection connection;
    connection.SetTimeoutSeconds(3);
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/sa";
    int status = -1;
    std::string body;
    // The server needs a moment to listen: retry while the connection is refused.
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto& response = connection.Post(url, "x");
        status = response.status;
        body = response.body;
        if (body != curl_easy_strerror(CURLE_COULDNT_CONNECT)) break;
        usleep(20000);
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(body, curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION));
}

TEST(CollectorServerTest, UndecodableBodyIsRefused) {
    CollectorServer collector;
    kv_analytics::HttpConnection connection;
    const auto& response = connection.Post(collector.Url(), "data_list=%%&gzip=1");
    EXPECT_EQ(response.status, 400);
    EXPECT_EQ(collector.Requests().at(0).decodeError, "data_list is not strictly percent-encoded");
    EXPECT_TRUE(collector.Records().empty());
}

TEST(BatchSenderTest, StoresTheOutcomeInTheLastSendFlag) {
    kv_analytics_test::MessageCapture messages;
    CollectorServer collector;
    collector.ScriptReplies({Reply::Answer(200), Reply::Answer(500, "no")});
    kv_analytics::BatchSender sender(collector.Url());
    EXPECT_TRUE(sender.Send("[{\"a\":1}]", {}));
    EXPECT_TRUE(kv_analytics::LastSendOk());
    EXPECT_FALSE(sender.Send("[{\"a\":2}]", {{"Cookie", "c=1"}}));
    EXPECT_FALSE(kv_analytics::LastSendOk());
    EXPECT_TRUE(messages.HasError("KvAnalytics SDK send failed: no"));
    const auto requests = collector.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].batchJson, "[{\"a\":1}]");
    EXPECT_EQ(requests[1].headers.find("Cookie")->second, "c=1");
}

}  // namespace
