#include "kv_analytics/node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <string>

#include "test_support.h"
#include "testing/sandbox.h"

namespace {

using kv_analytics::PropertiesNode;
using kv_analytics::utils::ObjectNode;
using kv_analytics_test::MessageCapture;

TEST(NodeJsonTest, NumbersUseSixSignificantDigits) {
    const struct {
        double value;
        const char* json;
    } cases[] = {
        {12.5, "12.5"},        {1234567.0, "1.23457e+06"}, {0.1, "0.1"},   {100.0, "100"},
        {-0.5, "-0.5"},        {1e-7, "1e-07"},            {123456.0, "123456"}, {0.0, "0"},
        {3.14159265, "3.14159"},
    };
    for (const auto& [value, json] : cases) {
        ObjectNode node;
        node.SetNumber("v", value);
        EXPECT_EQ(node.ToJson(), std::string("{\"v\":") + json + "}") << value;
    }
}

TEST(NodeJsonTest, NonFiniteNumbersBecomeNullSoTheBatchStaysJson) {
    ObjectNode node;
    node.SetNumber("inf", std::numeric_limits<double>::infinity());
    node.SetNumber("nan", std::nan(""));
    EXPECT_EQ(node.ToJson(), R"({"inf":null,"nan":null})");
}

TEST(NodeJsonTest, EveryValueKindInKeyOrderWithoutBlanks) {
    ObjectNode inner;
    inner.SetString("x", "y");
    ObjectNode node;
    node.SetBool("flag", false);
    node.SetNumber("count", 7);
    node.SetNumber("big", std::int64_t{9007199254740993});
    node.SetList("tags", {"a", "b\"c"});
    node.SetList("none", {});
    node.SetObject("inner", inner);
    node.SetString("$name", "n");
    node.SetString("Upper", "u");
    node.SetBool("flag", true);  // replaces
    EXPECT_EQ(node.ToJson(),
              R"({"$name":"n","Upper":"u","big":9007199254740993,"count":7,"flag":true,"inner":{"x":"y"},)"
              R"("none":[],"tags":["a","b\"c"]})");
}

TEST(NodeJsonTest, StringEscaping) {
    ObjectNode node;
    node.SetString("s", "q\" b\\ \t\n\r \xE4\xB8\xAD/");
    node.SetList("l", {"\b\f"});  // list items are not checked, so these bytes reach the writer
    EXPECT_EQ(node.ToJson(), "{\"l\":[\"\\b\\f\"],\"s\":\"q\\\" b\\\\ \\t\\n\\r \xE4\xB8\xAD/\"}");
}

TEST(NodeJsonTest, ListItemsWithOtherControlBytesStayValidJson) {
    ObjectNode node;
    node.SetList("l", {std::string("a\x01" "b\x1f", 4)});
    EXPECT_EQ(node.ToJson(), R"({"l":["a\u0001b\u001f"]})");
}

TEST(NodeJsonTest, DateTimeIsWrittenAsLocalTimeWithMilliseconds) {
    testing_support::UserSandbox sandbox;
    const struct {
        const char* zone;
        const char* json;
    } cases[] = {
        {"UTC0", R"({"t":"2023-11-14 22:13:20.007"})"},
        {"CST-8", R"({"t":"2023-11-15 06:13:20.007"})"},
        {"EST5", R"({"t":"2023-11-14 17:13:20.007"})"},
    };
    for (const auto& [zone, json] : cases) {
        sandbox.setEnv("TZ", zone);
        tzset();
        ObjectNode node;
        node.SetDateTime("t", 1700000000, 7);
        EXPECT_EQ(node.ToJson(), json) << zone;
    }
    sandbox.setEnv("TZ", std::nullopt);
    tzset();
}

TEST(NodeJsonTest, MergeFromOverwritesAndKeepsOthers) {
    ObjectNode base;
    base.SetString("a", "1");
    base.SetString("b", "2");
    ObjectNode other;
    other.SetNumber("b", 3);
    other.SetBool("c", true);
    base.MergeFrom(other);
    EXPECT_EQ(base.ToJson(), R"({"a":"1","b":3,"c":true})");
}

TEST(NodeJsonTest, ObjectValueIsASnapshot) {
    ObjectNode inner;
    inner.SetNumber("v", 1);
    ObjectNode node;
    node.SetObject("o", inner);
    inner.SetNumber("v", 2);
    EXPECT_EQ(node.ToJson(), R"({"o":{"v":1}})");
}

TEST(PropertiesNodeTest, NeverHoldsNestedObjects) {
    ObjectNode inner;
    inner.SetNumber("v", 1);
    PropertiesNode properties;
    properties.SetObject("o", inner);
    ObjectNode& asBase = properties;
    asBase.SetObject("p", inner);
    EXPECT_TRUE(properties.Empty());
    EXPECT_EQ(properties.ToJson(), "{}");
}

TEST(PropertiesNodeTest, StringLimitIs8192Bytes) {
    MessageCapture messages;
    PropertiesNode properties;
    const std::string longest(8192, 'x');
    const std::string tooLong(8193, 'y');
    properties.SetString("fits", longest);
    properties.SetString("big", tooLong);
    ASSERT_NE(properties.Find("fits"), nullptr);
    EXPECT_EQ(properties.Find("fits")->AsString(), longest);
    EXPECT_FALSE(properties.Has("big"));
    EXPECT_TRUE(messages.HasError("String property 'big' is too long, value: " + tooLong));
}

TEST(PropertiesNodeTest, InvalidUtf8IsRefusedAndAnEarlierValueStays) {
    MessageCapture messages;
    PropertiesNode properties;
    properties.SetString("k", "kept");
    properties.SetString("k", "bad\x7F");
    properties.SetString("c", static_cast<const char*>("tab\tline\n"));
    EXPECT_EQ(properties.ToJson(), R"({"c":"tab\tline\n","k":"kept"})");
    EXPECT_TRUE(messages.HasError("String property 'k' is not valid UTF-8 string, value: bad\x7F"));
}

}  // namespace
