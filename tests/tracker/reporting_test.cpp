#include "tracker/reporting.h"

#include <gtest/gtest.h>

#include <thread>

#include "kv_analytics/send_status.h"
#include "tracker/kv_exception.h"
#include "tracker/tracker.h"
#include "tracker_test_support.h"

namespace {

using namespace karvo::tracking;

const AbValues kInstallerAb = {{L"AB", L"IN"}};

class ReportingTest : public ::testing::Test {
protected:
    void SetUp() override { kv_analytics::StoreLastSendOk(false); }
    void TearDown() override { StopTracking(); }

    TrackingSettings Settings() const {
        TrackingSettings settings;
        settings.appId = L"Lumivex";
        settings.dlAppNameSuffix = L".downloader";
        settings.appVersion = L"1.0.0";
        settings.dlAppVersion = L"2.0.0";
        settings.exeName = L"quorvane-setup";
        settings.analyticsUrl = Utils_Url();
        return settings;
    }
    std::wstring Utils_Url() const {
        const std::string url = fixture_.collector.Url();
        return std::wstring(url.begin(), url.end());
    }

    tracker_test::TrackerFixture fixture_;
};

TEST_F(ReportingTest, TrackingDisabledTouchesNothing) {
    auto settings = Settings();
    settings.enabled = false;
    StartTracking(settings);
    EXPECT_EQ(CurrentTracker(), nullptr);
    ReportTaskEvent(L"下载器启动", L"", 0, kInstallerAb);
    ReportClickEvent(kInstallerAb, L"立即安装");
    ReportInstallingView(kInstallerAb);
    ReportCrash();
    StopTracking();
    EXPECT_FALSE(std::filesystem::exists(fixture_.sandbox.stateHome() / "KVLocal"));
    EXPECT_TRUE(fixture_.collector.Requests().empty());
}

TEST_F(ReportingTest, ReportsBeforeStartAreDropped) {
    ReportTaskEvent(L"libcurl初始化失败", L"", 0, kInstallerAb);
    StartTracking(Settings());
    StopTracking();
    EXPECT_TRUE(fixture_.TrackRecords().empty());
}

TEST_F(ReportingTest, InstallerEventsReachTheCollectorInOrderWithTheGroup) {
    StartTracking(Settings());
    ReportTaskEvent(L"下载器启动", L"", 0, kInstallerAb);
    ReportTaskEvent(L"开始下载大包", L"", 0, kInstallerAb);
    ReportTaskEvent(L"大包下载完毕", L"", 12.5f, kInstallerAb);
    ReportInstallingView(kInstallerAb);
    ReportClickEvent(kInstallerAb, L"立即体验");
    ReportTaskEvent(L"坏", L"", 0, {{L"AB", L"bad"}});  // a malformed group is left out, the event still goes
    ReportTaskEvent(L"安装成功", L"", 0, kInstallerAb);
    StopTracking();

    const auto records = fixture_.TrackRecords();
    ASSERT_EQ(records.size(), 7u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"KvEventTask", "下载器启动"}, {"KvEventTask", "开始下载大包"}, {"KvEventTask", "大包下载完毕"},
        {"KvEventView", "安装中"},     {"KvEventClick", "立即体验"},   {"KvEventTask", "坏"},
        {"KvEventTask", "安装成功"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& properties = records[i]["properties"];
        EXPECT_EQ(records[i]["event"].asString(), expected[i].first);
        const std::string name = properties.isMember("kv_task_name") ? properties["kv_task_name"].asString()
                                                                     : properties["kv_name"].asString();
        EXPECT_EQ(name, expected[i].second);
        EXPECT_EQ(properties["kvc_ab"].asString(), i == 5 ? "" : "IN") << name;
        EXPECT_EQ(properties["kv_app_id"].asString(), "Lumivex.downloader");
        EXPECT_EQ(properties["kv_dlapp_id"].asString(), "Lumivex");
        EXPECT_EQ(properties["kv_app_store"].asString(), "quorvane-setup");
    }
    EXPECT_EQ(records[2]["properties"]["kv_task_elapsed"].asDouble(), 12.5);
    EXPECT_EQ(records[4]["properties"]["kv_click_type"].asString(), "Button");
    EXPECT_EQ(records[0]["properties"]["kv_task_result"].asString(), "Success");
}

TEST_F(ReportingTest, CrashReportIsFlushedWithTheTaskBeforeIt) {
    StartTracking(Settings());
    ReportTaskEvent(L"崩溃退出", L"", 0, kInstallerAb);
    ReportCrash();
    ASSERT_TRUE(fixture_.collector.WaitForRequests(1, std::chrono::seconds(30)));
    StopTracking();
    const auto records = fixture_.TrackRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["properties"]["kv_task_name"].asString(), "崩溃退出");
    EXPECT_EQ(records[1]["event"].asString(), "AppCrashed");
    EXPECT_EQ(records[1]["properties"]["app_crashed_reason"].asString(), "崩溃");
}

TEST_F(ReportingTest, StopTrackingWaitsForASendThreadInFlight) {
    fixture_.collector.ScriptReplies({analytics_collector::Reply::Stall()});
    StartTracking(Settings());
    ReportCrash();  // flushed on a detached thread; the collector holds the request open
    std::thread releaser([this] {
        while (fixture_.collector.StalledCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let StopTracking start waiting
        fixture_.collector.ReleaseStalls();
    });
    StopTracking();
    // The stalled batch was answered 503 and the send thread's next attempt
    // delivered it, all before the tracker was gone.
    EXPECT_TRUE(kv_analytics::LastSendOk());
    releaser.join();
    const auto requests = fixture_.collector.Requests();
    ASSERT_EQ(requests.size(), 2u);
    ASSERT_EQ(requests[1].records.size(), 1u);
    EXPECT_EQ(requests[1].records[0]["event"].asString(), "AppCrashed");
}

TEST(ApplyAbValueTest, OnlyTheAbKeyCounts) {
    AbValues values = {{L"XY", L"IN"}};
    KvContextProperties context;
    ApplyAbValue(values, {7}, context);
    EXPECT_TRUE(context.getEventProperties(7).empty());
    values = {{L"AB", L""}};
    ApplyAbValue(values, {7}, context);
    EXPECT_TRUE(context.getEventProperties(7).empty());
    values = {{L"AB", L"ABCD"}};
    EXPECT_THROW(ApplyAbValue(values, {7}, context), KvException);
    values = {{L"AB", L"IN"}};
    ApplyAbValue(values, {7, 3}, context);
    EXPECT_EQ(context.getEventProperties(3).size(), 1u);
}

}  // namespace
