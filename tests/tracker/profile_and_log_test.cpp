#include <gtest/gtest.h>

#include <functional>

#include "kv_analytics/sdk.h"
#include "testing/sandbox.h"
#include "tracker/kv_exception.h"
#include "tracker/track_logger.h"
#include "tracker/user_profile.h"

namespace {

using namespace karvo::tracking;

TEST(ProfileTest, KeysOfTheWrongKindAreRefused) {
    struct Case {
        std::function<void()> call;
        std::string message;
        std::string function;
    };
    const std::vector<Case> cases = {
        {[] { ProfileUserPropertyString("kv_visit_count", "1"); },
         "user property [kv_visit_count] is string type value, it cannot be accumulated!", "ProfileUserPropertyString"},
        {[] { ProfileUserPropertyString("kv_dlapp_id", "x"); }, "Not supported user property [kv_dlapp_id]!",
         "ProfileUserPropertyString"},
        {[] { ProfileUserPropertyNumber("kv_unknown", 1); }, "Not supported user property [kv_unknown]!",
         "ProfileUserPropertyNumber"},
        {[] { ProfileUserPropertyDateTime("kv_paid_count", 1000); },
         "user property [kv_paid_count] is boolean value, it cannot be accumulative!", "ProfileUserPropertyDateTime"},
        {[] { ProfileUserPropertyDateTime("idfa_nope", 1000); }, "Not supported user property [idfa_nope]!",
         "ProfileUserPropertyDateTime"},
    };
    for (const auto& test : cases) {
        try {
            test.call();
            ADD_FAILURE() << "accepted: " << test.message;
        } catch (const KvException& error) {
            EXPECT_EQ(error.message, test.message);
            EXPECT_EQ(error.functionName, test.function);
            EXPECT_EQ(error.sourceFile, "NativeUserTracker");
        }
    }
    EXPECT_EQ(ProfileOperationOf("kv_first_paid_date"), ProfileOperation::SetOnce);
    EXPECT_EQ(ProfileOperationOf("kv_consumption"), ProfileOperation::Increment);
    EXPECT_EQ(ProfileOperationOf("kv_last_paid_date"), ProfileOperation::Set);
}

TEST(ProfileTest, DateTimesAreSecondsOrMilliseconds) {
    testing_support::UserSandbox sandbox;
    ASSERT_TRUE(kv_analytics::Sdk::Init(sandbox.root().string(), "http://127.0.0.1:1/sa", "d", false));
    ProfileUserPropertyDateTime("kv_last_visit_date", 1000);
    ProfileUserPropertyDateTime("kv_last_visit_date", 1700000000123);
    const auto queued = kv_analytics::Sdk::Instance()->queue().Snapshot();
    kv_analytics::Sdk::Destroy();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_NE(queued[0].find("\"type\":\"profile_set\""), std::string::npos);
    EXPECT_NE(queued[0].find(".000\""), std::string::npos) << queued[0];
    EXPECT_NE(queued[1].find(".123\""), std::string::npos) << queued[1];
}

TEST(TrackLoggerTest, ReadsSkipLinesWithTooFewFields) {
    testing_support::TempDir folder;
    const auto path = folder / "log.txt";
    testing_support::WriteFile(path, FormatTrackLogLine("t1", "Click", "{\"a\":\"x\ty\"}") + "\n" +
                                         "t2\tView\n" + "\n" + "t3\tTask\t{}\n");
    NativeTrackLogger logger;
    logger.open(path.string());
    std::vector<TrackLogRecord> records;
    logger.readRecords(records, 0, 10);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].time, "t1");
    EXPECT_EQ(records[0].properties, "{\"a\":\"x y\"}");
    EXPECT_EQ(records[1].kind, "Task");

    logger.readRecords(records, 3, 10);  // rewinds for an earlier line
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].time, "t3");

    logger.clear();
    EXPECT_EQ(testing_support::ReadFile(path), "\n");
    logger.close();
    logger.readRecords(records, 0, 10);
    EXPECT_TRUE(records.empty());
}

TEST(TrackLoggerTest, OpenCreatesAMissingFile) {
    testing_support::TempDir folder;
    NativeTrackLogger logger;
    logger.open((folder / "new.txt").string());
    EXPECT_TRUE(logger.isOpen());
    EXPECT_TRUE(std::filesystem::exists(folder / "new.txt"));
    NativeTrackLogger broken;
    broken.open((folder / "missing" / "x.txt").string());
    EXPECT_FALSE(broken.isOpen());
}

}  // namespace
