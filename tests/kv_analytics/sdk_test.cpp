#include "kv_analytics/sdk.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

#include "analytics_collector/collector_server.h"
#include "test_support.h"
#include "testing/sandbox.h"

namespace {

using kv_analytics::PropertiesNode;
using kv_analytics::Sdk;
using kv_analytics_test::MessageCapture;
using kv_analytics_test::NormaliseVolatileFields;

constexpr const char* kLib = R"("lib":{"$lib":"cpp","$lib_method":"code","$lib_version":"0.9"})";

class SdkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Sdk::Instance(), nullptr); }
    void TearDown() override { Sdk::Destroy(); }

    void InitSdk(const std::string& distinctId, bool isLoginId = false) {
        ASSERT_TRUE(Sdk::Init(staging().string(), collector_.Url(), distinctId, isLoginId));
    }
    std::filesystem::path staging() const { return sandbox_.stateHome() / "staging.txt"; }
    std::vector<std::string> Queued() const { return Sdk::Instance()->queue().Snapshot(); }

    testing_support::UserSandbox sandbox_;
    analytics_collector::CollectorServer collector_;
    MessageCapture messages_;
};

TEST_F(SdkTest, TrackRecordLayout) {
    InitSdk("user-1");
    PropertiesNode properties;
    properties.SetString("name", "x");
    properties.SetNumber("count", 3);
    properties.SetDateTime("$time", 1700000000, 123);
    Sdk::Track("Click", properties);

    const auto queued = Queued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(NormaliseVolatileFields(queued[0], false),
              std::string(R"({"_track_id":0,"distinct_id":"user-1","event":"Click",)") + kLib +
                  R"(,"properties":{"$lib":"cpp","$lib_version":"0.9","count":3,"name":"x"},)"
                  R"("time":1700000000123,"type":"track"})");
}

TEST_F(SdkTest, TrackIdEndsWithTheClockDigits) {
    InitSdk("user-1");
    const auto before = kv_analytics::CurrentTimeMillis();
    const auto id = kv_analytics::NewTrackId();
    const auto after = kv_analytics::CurrentTimeMillis();
    EXPECT_GE(id, 0);
    EXPECT_LT(id, 1000000000);
    // The last four digits are the clock's, read between `before` and `after`.
    const auto sinceBefore = (id % 10000 - before % 10000 + 10000) % 10000;
    EXPECT_LE(sinceBefore, after - before) << id;
    const auto randomPart = id / 10000;
    EXPECT_GE(randomPart / 1000, 0);
    EXPECT_LE(randomPart / 1000, 98);
    EXPECT_LE(randomPart % 1000, 998);
}

TEST_F(SdkTest, SignupRecordThenEveryRecordCarriesTheLoginId) {
    InitSdk("anon-1");
    Sdk::TrackSignup("login-9");
    Sdk::Track("After", PropertiesNode());
    Sdk::ProfileSet("plan", std::string("pro"));

    const auto queued = Queued();
    ASSERT_EQ(queued.size(), 3u);
    EXPECT_EQ(NormaliseVolatileFields(queued[0], true),
              std::string(R"({"_track_id":0,"distinct_id":"login-9","event":"$SignUp",)") + kLib +
                  R"(,"original_id":"anon-1","properties":{"$lib":"cpp","$lib_version":"0.9"},)"
                  R"("time":0,"type":"track_signup"})");
    EXPECT_EQ(NormaliseVolatileFields(queued[1], true),
              std::string(R"({"_track_id":0,"distinct_id":"login-9","event":"After",)") + kLib +
                  R"(,"properties":{"$is_login_id":true,"$lib":"cpp","$lib_version":"0.9"},"time":0,"type":"track"})");
    EXPECT_EQ(NormaliseVolatileFields(queued[2], true),
              std::string(R"({"_track_id":0,"distinct_id":"login-9",)") + kLib +
                  R"(,"properties":{"$is_login_id":true,"plan":"pro"},"time":0,"type":"profile_set"})");
    EXPECT_EQ(Sdk::Instance()->m_distinctId, "login-9");
    EXPECT_TRUE(Sdk::Instance()->m_isLoginId);
}

TEST_F(SdkTest, ProfileOperationsCarryNoSuperPropertiesAndNoEvent) {
    InitSdk("user-1");
    PropertiesNode extra;
    extra.SetString("channel", "web");
    Sdk::Instance()->m_superProperties.MergeFrom(extra);

    PropertiesNode several;
    several.SetNumber("a", 1);
    several.SetNumber("b", 2.5);
    Sdk::ProfileSet(several);
    Sdk::ProfileSet("i", 5);
    Sdk::ProfileSet("d", 0.25);
    Sdk::ProfileSetOnce("first", std::string("yes"));
    Sdk::ProfileSetOnce("n", std::int64_t{7});
    Sdk::ProfileIncrement("visits", 1);
    Sdk::ProfileIncrement(several);
    Sdk::ProfileAppend("tags", "new");
    Sdk::Track("WithSuper", PropertiesNode());

    const struct {
        const char* type;
        const char* properties;
    } expected[] = {
        {"profile_set", R"({"a":1,"b":2.5})"},       {"profile_set", R"({"i":5})"},
        {"profile_set", R"({"d":0.25})"},            {"profile_set_once", R"({"first":"yes"})"},
        {"profile_set_once", R"({"n":7})"},          {"profile_increment", R"({"visits":1})"},
        {"profile_increment", R"({"a":1,"b":2.5})"}, {"profile_append", R"({"tags":["new"]})"},
    };
    const auto queued = Queued();
    ASSERT_EQ(queued.size(), std::size(expected) + 1);
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(NormaliseVolatileFields(queued[i], true),
                  std::string(R"({"_track_id":0,"distinct_id":"user-1",)") + kLib + R"(,"properties":)" +
                      expected[i].properties + R"(,"time":0,"type":")" + expected[i].type + "\"}");
    }
    EXPECT_NE(queued.back().find(R"("properties":{"$lib":"cpp","$lib_version":"0.9","channel":"web"})"),
              std::string::npos)
        << queued.back();
}

TEST_F(SdkTest, RejectedRecordsAreNotQueued) {
    InitSdk("user-1");
    const auto trackWith = [](const std::string& event, const std::string& key, bool timeAsText) {
        PropertiesNode properties;
        properties.SetNumber(key, 1);
        if (timeAsText) properties.SetString("$time", "2023-01-01");
        Sdk::Track(event, properties);
    };
    trackWith("1abc", "ok", false);
    trackWith("", "ok", false);
    trackWith(std::string(101, 'e'), "ok", false);
    trackWith("Good", "a-b", false);
    trackWith("Good", "ok", true);
    EXPECT_TRUE(Queued().empty());
    EXPECT_TRUE(messages_.HasError("The Event Name need to be a valid variable name."));
    EXPECT_TRUE(messages_.HasError("The Event Name is empty or too long, max length is 100"));
    EXPECT_TRUE(messages_.HasError("The Property Key need to be a valid variable name."));
    EXPECT_TRUE(messages_.HasError("The property '$time' should be DateTime type."));

    trackWith("$AppStart_1", "ok", false);
    trackWith("_x", "ok", false);
    EXPECT_EQ(Queued().size(), 2u);
}

TEST_F(SdkTest, OversizedStringIsDroppedButTheEventIsSent) {
    InitSdk("user-1");
    PropertiesNode properties;
    properties.SetString("fits", std::string(8192, 'f'));
    properties.SetString("big", std::string(8193, 'b'));
    Sdk::Track("Sized", properties);
    const auto queued = Queued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_NE(queued[0].find("\"fits\":\"" + std::string(8192, 'f') + "\""), std::string::npos);
    EXPECT_EQ(queued[0].find("\"big\""), std::string::npos);
    EXPECT_TRUE(messages_.HasError("String property 'big' is too long, value: " + std::string(8193, 'b')));
}

TEST_F(SdkTest, ProjectAndInstallSource) {
    InitSdk("user-1");
    PropertiesNode properties;
    properties.SetString("$project", "demo");
    properties.SetString("k", "v");
    Sdk::Track("WithProject", properties);
    PropertiesNode overriding;
    overriding.SetString("$ios_install_source", "store");
    Sdk::TrackWithInstallSource("Activity", PropertiesNode());
    Sdk::TrackWithInstallSource("Activity", overriding);

    const auto queued = Queued();
    ASSERT_EQ(queued.size(), 3u);
    EXPECT_EQ(NormaliseVolatileFields(queued[0], true),
              std::string(R"({"_track_id":0,"distinct_id":"user-1","event":"WithProject",)") + kLib +
                  R"(,"project":"demo","properties":{"$lib":"cpp","$lib_version":"0.9","k":"v"},"time":0,"type":"track"})");
    EXPECT_NE(queued[1].find(R"("properties":{"$ios_install_source":"","$lib")"), std::string::npos) << queued[1];
    EXPECT_NE(queued[2].find(R"("properties":{"$ios_install_source":"store","$lib")"), std::string::npos);
}

TEST_F(SdkTest, SuperPropertiesCanBeReset) {
    InitSdk("user-1");
    Sdk::Instance()->m_superProperties.SetString("extra", "1");
    Sdk::ResetSuperProperties();
    EXPECT_EQ(Sdk::Instance()->m_superProperties.ToJson(), R"({"$lib":"cpp","$lib_version":"0.9"})");
}

TEST_F(SdkTest, NothingHappensBeforeInit) {
    PropertiesNode properties;
    properties.SetString("k", "v");
    Sdk::Track("Click", properties);
    Sdk::TrackWithInstallSource("Click", properties);
    Sdk::TrackSignup("login");
    Sdk::ProfileSet(properties);
    Sdk::ProfileAppend("k", "v");
    Sdk::ResetSuperProperties();
    EXPECT_FALSE(Sdk::Flush());
    EXPECT_EQ(Sdk::Instance(), nullptr);
    EXPECT_TRUE(collector_.Requests().empty());
}

TEST_F(SdkTest, InitChecksTheIdAndKeepsTheFirstInstance) {
    EXPECT_FALSE(Sdk::Init(staging().string(), collector_.Url(), "", false));
    EXPECT_TRUE(messages_.HasError("The Distinct ID is empty."));
    EXPECT_FALSE(Sdk::Init(staging().string(), collector_.Url(), std::string(256, 'x'), false));
    EXPECT_EQ(Sdk::Instance(), nullptr);

    InitSdk("first", true);
    const auto instance = Sdk::Instance();
    EXPECT_TRUE(Sdk::Init(staging().string(), collector_.Url(), "second", false));
    EXPECT_EQ(Sdk::Instance(), instance);
    EXPECT_EQ(instance->m_distinctId, "first");
    EXPECT_TRUE(instance->m_isLoginId);
}

TEST_F(SdkTest, FlushDeliversAndDestroySavesTheRest) {
    InitSdk("user-1");
    Sdk::Track("Sent", PropertiesNode());
    ASSERT_TRUE(Sdk::Flush());
    const auto records = collector_.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["event"].asString(), "Sent");
    EXPECT_EQ(records[0]["distinct_id"].asString(), "user-1");

    Sdk::Track("Kept", PropertiesNode());
    const std::string kept = Queued().at(0);
    Sdk::Destroy();
    EXPECT_EQ(Sdk::Instance(), nullptr);
    EXPECT_EQ(testing_support::ReadFile(staging()), kept + "\n");
}

TEST_F(SdkTest, RecordsFromSeveralThreadsAllArrive) {
    InitSdk("user-1");
    constexpr int kThreads = 4;
    constexpr int kEach = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) {
                PropertiesNode properties;
                properties.SetNumber("thread", t);
                properties.SetNumber("i", i);
                Sdk::Track("Parallel", properties);
                if (i % 10 == 0) Sdk::Flush();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(Sdk::Flush());
    std::set<std::pair<int, int>> seen;
    for (const auto& record : collector_.Records())
        seen.emplace(record["properties"]["thread"].asInt(), record["properties"]["i"].asInt());
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_EQ(collector_.Records().size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
