#include "tracker/context_properties.h"

#include <gtest/gtest.h>

#include "tracker/kv_exception.h"

namespace {

using namespace karvo::tracking;

TEST(AbValueTest, ValidInvalidAndRefusedValues) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"IN", ""},
        {"A", ""},
        {"B7", ""},
        {"XY9", ""},
        {"Z0Q", ""},
        {"ABCD", "value's length is great than 3."},
        {"in", "First char is not in A to Z"},
        {"1A", "First char is not in A to Z"},
        {"Ab", "second char is not in A to Z and 0 to 9"},
        {"A-", "second char is not in A to Z and 0 to 9"},
        {"ABc", "third char is not in A to Z and 0 to 9"},
        {"AB.", "third char is not in A to Z and 0 to 9"},
    };
    for (const auto& [value, message] : cases) {
        try {
            EXPECT_TRUE(isValidABValue(value)) << value;
            EXPECT_EQ(message, "") << value;
        } catch (const KvException& error) {
            EXPECT_EQ(error.message, message) << value;
            EXPECT_EQ(error.functionName, "isValidABValue");
            EXPECT_EQ(error.sourceFile, "KvContextProperties");
        }
    }
    EXPECT_FALSE(isValidABValue(""));
}

TEST(ContextPropertiesTest, SecondSetOfTheGroupIsRefused) {
    KvContextProperties context;
    context.setProperty({3}, "IN");
    try {
        context.setProperty({4}, "XY");
        FAIL() << "no exception";
    } catch (const KvException& error) {
        EXPECT_EQ(error.message, "Property[kvc_ab] already exist!");
        EXPECT_EQ(error.functionName, "setProperty");
    }
    EXPECT_TRUE(context.getEventProperties(4).empty());
    ASSERT_EQ(context.getEventProperties(3).size(), 1u);
}

TEST(ContextPropertiesTest, KindsSevenAndFifteen) {
    KvContextProperties context;
    try {
        context.setProperty({7, 15}, "IN");
        FAIL() << "no exception";
    } catch (const KvException& error) {
        EXPECT_EQ(error.message, "KvEvent[15] overflow!");
        EXPECT_EQ(error.functionName, "setProperty");
    }
    const auto& task = context.getEventProperties(7);
    ASSERT_EQ(task.size(), 1u);
    EXPECT_EQ(task[0].name, "kvc_ab");
    EXPECT_EQ(task[0].type, KvContextProperties::String);
    EXPECT_EQ(task[0].value->text, "IN");
    try {
        context.getEventProperties(15);
        FAIL() << "no exception";
    } catch (const KvException& error) {
        EXPECT_EQ(error.message, "KvEvent[15] overflow!");
        EXPECT_EQ(error.functionName, "getEventProperties");
    }
}

TEST(ContextPropertiesTest, ApplyAddsOnlyTheKindsItems) {
    KvContextProperties context;
    context.setProperty({7, 3}, "IN");
    kv_analytics::PropertiesNode task, view;
    task.SetString("kv_task_name", "x");
    EXPECT_TRUE(context.applyTo(7, task));
    EXPECT_FALSE(context.applyTo(4, view));
    EXPECT_EQ(task.ToJson(), R"({"kv_task_name":"x","kvc_ab":"IN"})");
    EXPECT_TRUE(view.Empty());
}

TEST(ContextPropertiesTest, TimesAreSecondsOrMilliseconds) {
    // Compare against the local-time text of a known instant in either unit.
    const std::string fromSeconds = FormatLocalTime(1000);
    const std::string fromMilliseconds = FormatLocalTime(1000 * 1000LL + 0);  // below the threshold: seconds
    EXPECT_EQ(fromSeconds.size(), 23u);
    EXPECT_EQ(fromSeconds.substr(19), ".000");
    EXPECT_NE(fromSeconds, fromMilliseconds);
    const std::int64_t millis = 1700000000123;
    EXPECT_EQ(FormatLocalTime(millis).substr(19), ".123");
    EXPECT_EQ(FormatLocalTime(millis).substr(0, 19), FormatLocalTime(1700000000).substr(0, 19));
}

}  // namespace
