#include <gtest/gtest.h>

#include "kv_analytics/sdk.h"
#include "kv_analytics/send_status.h"
#include "tracker/tracker.h"
#include "tracker_test_support.h"
#include "utils/ini.h"

namespace {

using namespace karvo::tracking;
using tracker_test::DebugCapture;
using tracker_test::PropertyText;

const std::vector<std::string> kEventKeys = {
    "kv_aname", "kv_name", "kv_click_type", "kv_title", "kv_task_name", "kv_reason", "kv_task_elapsed",
    "kv_task_result", "kv_update_op", "kv_update_result", "app_crashed_reason", "$is_first_time", "kvc_ab"};

const std::vector<std::string> kSuperKeys = {
    "kv_app_id", "$app_id", "$app_version", "kv_app_store", "kv_edition", "kv_dlapp_id", "kv_dlapp_version",
    "kv_app_platform", "kv_track_type", "kv_sdk_version", "$os", "$screen_width", "$screen_height"};

KvEventClick ButtonClick(const std::string& name) {
    KvEventClick click;
    click.name = name;
    click.clickType = KvClickType::Button;
    return click;
}

class TrackerTest : public ::testing::Test {
protected:
    void SetUp() override { kv_analytics::StoreLastSendOk(false); }

    tracker_test::TrackerFixture fixture_;
};

TEST_F(TrackerTest, ClickTaskAndViewRecordsCarryTheirKeys) {
    auto tracker = fixture_.Start();
    KvContextProperties clickContext, taskContext, viewContext, bare;
    clickContext.setProperty({3}, "IN");
    taskContext.setProperty({7}, "IN");
    viewContext.setProperty({4}, "IN");

    KvEventClick click;
    click.name = "立即安装";
    click.clickType = KvClickType::Button;
    tracker->trackClick(click, clickContext);
    KvEventClick nameOnly;
    nameOnly.name = "n";
    tracker->trackClick(nameOnly, bare);
    tracker->trackTask({"", "大包下载完毕", "", Some(0.0f), Some(KvResult::Success)}, taskContext);
    tracker->trackTask({"a", "t", "why", Some(2.5f), Some(KvResult::Unknown)}, bare);
    tracker->trackView({"", "安装中", "", ""}, viewContext);
    tracker->trackUpdate({KvUpdateOp::UpgrateStart, nullptr, nullptr}, bare);
    tracker->trackCrash("");
    tracker.reset();  // the shutdown flush sends everything

    const auto records = fixture_.TrackRecords();
    struct Expected {
        std::string event;
        std::string properties;
    };
    const std::vector<Expected> expected = {
        {"KvEventClick", R"(kv_name="立即安装";kv_click_type="Button";$is_first_time=true;kvc_ab="IN")"},
        {"KvEventClick", R"(kv_name="n";kv_click_type="Others";$is_first_time=true)"},
        {"KvEventTask", R"(kv_task_name="大包下载完毕";kv_task_elapsed=0;kv_task_result="Success";$is_first_time=true;kvc_ab="IN")"},
        {"KvEventTask", R"(kv_aname="a";kv_task_name="t";kv_reason="why";kv_task_elapsed=2.5;$is_first_time=true)"},
        {"KvEventView", R"(kv_name="安装中";$is_first_time=true;kvc_ab="IN")"},
        {"KvEventUpdate", R"(kv_update_op="UpgrateStart")"},
        {"AppCrashed", ""},
    };
    ASSERT_EQ(records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i]["event"].asString(), expected[i].event);
        EXPECT_EQ(PropertyText(records[i], kEventKeys), expected[i].properties) << expected[i].event;
        EXPECT_EQ(PropertyText(records[i], kSuperKeys),
                  R"(kv_app_id="Lumivex.downloader";$app_id="Lumivex.downloader";$app_version="1.0.0";)"
                  R"(kv_app_store="quorvane-setup";kv_edition="china";kv_dlapp_id="Lumivex";kv_dlapp_version="2.0.0";)"
                  R"(kv_app_platform="Linux";kv_track_type="Client";kv_sdk_version="3.3.8";$os="Linux";)"
                  R"($screen_width=1920;$screen_height=1080)");
    }
}

TEST_F(TrackerTest, FirstEventGoesOnADetachedThreadAndATaskSendsNothing) {
    DebugCapture debug;
    auto tracker = fixture_.Start();
    const KvContextProperties context;
    tracker->trackTask({"", "task", "", Some(0.0f), Some(KvResult::Success)}, context);
    EXPECT_EQ(debug.Count("[Tracker] Sending messages asynchronously"), 1);
    ASSERT_TRUE(tracker_test::WaitForPending(*tracker, 1));
    EXPECT_TRUE(fixture_.collector.Requests().empty());

    tracker->trackCrash("崩溃");  // flush-now: the queued task goes out with the crash
    ASSERT_TRUE(fixture_.collector.WaitForRequests(1, std::chrono::seconds(30)));
    ASSERT_TRUE(tracker_test::WaitForPending(*tracker, 0));
    const auto records = fixture_.TrackRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["event"].asString(), "KvEventTask");
    EXPECT_EQ(records[1]["event"].asString(), "AppCrashed");
    EXPECT_EQ(records[1]["properties"]["app_crashed_reason"].asString(), "崩溃");

    // After a successful transmission the send step runs on the calling thread.
    ASSERT_TRUE(kv_analytics::LastSendOk());
    tracker->trackClick(ButtonClick("b"), context);
    EXPECT_EQ(tracker->pendingCount(), 2);
    EXPECT_EQ(debug.Count("[Tracker] Sending messages asynchronously"), 2);
}

TEST_F(TrackerTest, ShutdownFlushesPendingRecords) {
    auto tracker = fixture_.Start();
    const KvContextProperties context;
    for (const char* name : {"one", "two", "three"}) tracker->trackView({"", name, "", ""}, context);
    EXPECT_TRUE(fixture_.collector.Requests().empty());
    tracker.reset();
    const auto records = fixture_.TrackRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2]["properties"]["kv_name"].asString(), "three");
    EXPECT_EQ(kv_analytics::Sdk::Instance(), nullptr);
}

TEST_F(TrackerTest, WrapperReportsAFailureAndStaysUsable) {
    KvTrackerWrapper wrapper(fixture_.Start());
    testing::internal::CaptureStdout();
    wrapper.trackClick({}, KvContextProperties());
    wrapper.trackAppOpenNotification(nullptr, KvContextProperties());
    wrapper.trackClick(ButtonClick("ok"), KvContextProperties());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to trackClick\nFailed to trackAppOpenNotification\n");
    EXPECT_EQ(wrapper.impl()->pendingCount() >= 1, true);
}

TEST_F(TrackerTest, PaymentRaisesTheVipLevelOnlyOnSuccess) {
    auto tracker = fixture_.Start();
    KvEventPayment payment;
    payment.kvOrderId = "o-1";
    payment.currency = Some(KvCurrency::EUR);
    payment.paidPlatform = Some(KvPaidPlatform::Paddle);
    payment.result = Some(KvResult::Fail);
    tracker->trackPayment(payment, KvContextProperties());
    EXPECT_EQ(tracker->state().userVipLevel, 0);
    payment.result = Some(KvResult::Success);
    payment.paidAmount = 9.5f;
    tracker->trackPayment(payment, KvContextProperties());
    EXPECT_EQ(tracker->state().userVipLevel, 1);
    EXPECT_EQ(Utils::IniReadInt(L"Base", L"UserVipLevel", -1, fixture_.ConfigFile()), 1);
    tracker.reset();

    std::vector<std::string> kinds;
    for (const auto& record : fixture_.collector.Records())
        kinds.push_back(record["type"].asString() + ":" +
                        (record.isMember("event") ? record["event"].asString() : record["properties"].begin().name()));
    ASSERT_EQ(kinds.size(), 10u);
    EXPECT_EQ(kinds[0], "track:KvEventPayment");
    EXPECT_EQ(kinds[1], "profile_increment:kv_paid_count");
    EXPECT_EQ(kinds[3], "profile_set_once:kv_first_paid_date");
    EXPECT_EQ(kinds[4], "profile_set:kv_last_paid_date");
    const auto records = fixture_.collector.Records();
    EXPECT_EQ(records[0]["properties"]["kv_result"].asString(), "Fail");
    EXPECT_EQ(records[0]["properties"]["kv_paid_platform"].asString(), "Paddle");
    EXPECT_EQ(records[7]["properties"]["kv_consumption"].asDouble(), 9.5);
}

}  // namespace

namespace {

using namespace karvo::tracking;

TEST(TrackerLoginTest, LoginChangesTheIdentityAndLaunchSetsVisitDates) {
    kv_analytics::StoreLastSendOk(false);
    tracker_test::TrackerFixture fixture;
    auto tracker = fixture.Start();
    const std::string anonymous = tracker->state().distinctId;
    KvContextProperties context;
    context.setProperty({2}, "IN");
    KvUserInfo user;
    user.userId = "user-42";
    user.userType = KvUserType::Email;
    user.vipLevel = 2;
    tracker->trackLogin(user, true, "", context);
    EXPECT_TRUE(tracker->state().isLogined);
    EXPECT_EQ(tracker->state().distinctId, "user-42");
    EXPECT_EQ(Utils::IniReadString(L"Base", L"isLogined", L"", fixture.ConfigFile()), L"OK");
    EXPECT_EQ(Utils::IniReadString(L"Base", L"UserId", L"", fixture.ConfigFile()), L"user-42");
    EXPECT_EQ(kv_analytics::Sdk::Instance()->m_distinctId, "user-42");
    tracker->trackLaunch(KvContextProperties());
    tracker.reset();

    std::vector<std::string> seen;
    for (const auto& record : fixture.collector.Records())
        seen.push_back(record["type"].asString() + ":" + record.get("event", "").asString() + ":" +
                       record["distinct_id"].asString());
    const std::vector<std::string> expected = {
        "track:KvEventLogin:" + anonymous, "track_signup:$SignUp:user-42", "track:KvEventLaunch:user-42",
        "profile_set_once::user-42",       "profile_set_once::user-42",    "profile_set::user-42"};
    EXPECT_EQ(seen, expected);
    const auto login = fixture.collector.Records().at(0)["properties"];
    EXPECT_EQ(login["kv_type"].asString(), "email");
    EXPECT_EQ(login["kv_result"].asString(), "Success");
    EXPECT_EQ(login["kv_login_id"].asString(), "user-42");
    EXPECT_EQ(login["kvc_ab"].asString(), "IN");
    EXPECT_EQ(fixture.collector.Records().at(2)["properties"]["kv_user_id"].asString(), "user-42");
}

}  // namespace

namespace {

using namespace karvo::tracking;

TEST(TrackerActivityTest, ActivitySendsTheEventAndNineProfileUpdates) {
    kv_analytics::StoreLastSendOk(true);  // the send step runs on this thread
    tracker_test::TrackerFixture fixture;
    auto tracker = fixture.Start();
    tracker->trackActivity(KvContextProperties());
    EXPECT_EQ(tracker->pendingCount(), 0);  // flushed at once
    const auto records = fixture.collector.Records();
    ASSERT_EQ(records.size(), 11u);
    const auto& properties = records[0]["properties"];
    EXPECT_EQ(records[0]["event"].asString(), "KvEventActivity");
    EXPECT_EQ(properties["$ios_install_source"].asString(), "android_id=123##imei=1234##mac=123");
    EXPECT_EQ(properties["$user_agent"].asString(), UserAgentText());
    EXPECT_TRUE(properties["$is_first_time"].asBool());
    std::vector<std::string> keys;
    for (std::size_t i = 1; i < records.size(); ++i)
        for (const auto& name : records[i]["properties"].getMemberNames())
            if (name[0] != '$' || name == "$first_visit_time" || name == "$ios_install_source") keys.push_back(name);
    const std::vector<std::string> expected = {
        "$first_visit_time", "kv_first_visit_date", "kv_last_visit_date", "kv_os", "kv_os_version", "kv_app_store",
        "kv_app_platform", "kv_last_app_id", "kv_last_app_version", "$ios_install_source"};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(records[7]["properties"]["kv_app_platform"].asString(), "Linux");
}

}  // namespace

namespace {

using namespace karvo::tracking;

TEST(TrackerLocaleTest, LocaleTextsFollowSetLocale) {
    tracker_test::TrackerFixture fixture;
    fixture.sandbox.setEnv("LC_ALL", std::nullopt);
    fixture.sandbox.setEnv("LC_MESSAGES", std::nullopt);
    fixture.sandbox.setEnv("LANG", "de_DE.UTF-8");
    auto tracker = fixture.Start();
    const auto& supers = kv_analytics::Sdk::Instance()->m_superProperties;
    EXPECT_EQ(supers.Find("kv_l10n_locale")->AsString(), "de_DE");
    EXPECT_EQ(supers.Find("kv_l10n_language")->AsString(), "de");
    EXPECT_EQ(supers.Find("kv_l10n_country")->AsString(), "DE");
    tracker->setLocale("zh_CN");
    EXPECT_EQ(supers.Find("kv_l10n_locale")->AsString(), "zh_CN");
    EXPECT_EQ(supers.Find("kv_l10n_country")->AsString(), "CN");
    fixture.sandbox.setEnv("LANG", "C");
    tracker->setLocale("none");
    EXPECT_EQ(supers.Find("kv_l10n_locale")->AsString(), "");
    EXPECT_EQ(supers.Find("kv_l10n_language")->AsString(), "");
}

}  // namespace
