#include "kv_analytics/validation.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

using kv_analytics::CheckIdValue;
using kv_analytics::CheckName;
using kv_analytics::CheckProperties;
using kv_analytics::IsValidUtf8;
using kv_analytics::PropertiesNode;
using kv_analytics_test::MessageCapture;

std::string Bytes(std::initializer_list<unsigned> bytes) {
    std::string text;
    for (unsigned byte : bytes) text += static_cast<char>(byte);
    return text;
}

TEST(Utf8CheckTest, AcceptanceTable) {
    const struct {
        std::string text;
        bool valid;
        const char* what;
    } cases[] = {
        {"", true, "empty"},
        {"Hello ~", true, "printable ASCII"},
        {"\t\n\r", true, "tab, line feed, carriage return"},
        {Bytes({0x01}), false, "other control byte"},
        {Bytes({0x00}), false, "NUL"},
        {Bytes({0x7F}), false, "DEL"},
        {Bytes({0x0B}), false, "vertical tab"},
        {Bytes({0xC2, 0x80}), true, "U+0080"},
        {Bytes({0xDF, 0xBF}), true, "U+07FF"},
        {Bytes({0xC0, 0x80}), false, "overlong two-byte"},
        {Bytes({0xC1, 0xBF}), false, "overlong two-byte C1"},
        {Bytes({0xC2}), false, "truncated two-byte"},
        {Bytes({0xC2, 0x41}), false, "two-byte without continuation"},
        {Bytes({0x80}), false, "stray continuation"},
        {Bytes({0xE0, 0xA0, 0x80}), true, "U+0800"},
        {Bytes({0xE0, 0x9F, 0xBF}), false, "overlong three-byte"},
        {Bytes({0xE1, 0x80, 0x80}), true, "E1 lead"},
        {Bytes({0xEC, 0xBF, 0xBF}), true, "EC lead"},
        {Bytes({0xED, 0x9F, 0xBF}), true, "U+D7FF"},
        {Bytes({0xED, 0xA0, 0x80}), false, "surrogate U+D800"},
        {Bytes({0xEE, 0x80, 0x80}), true, "U+E000"},
        {Bytes({0xEF, 0xBF, 0xBF}), true, "U+FFFF"},
        {Bytes({0xE4, 0xB8}), false, "truncated three-byte"},
        {Bytes({0xF0, 0x90, 0x80, 0x80}), true, "U+10000"},
        {Bytes({0xF0, 0x8F, 0xBF, 0xBF}), false, "overlong four-byte"},
        {Bytes({0xF1, 0x80, 0x80, 0x80}), true, "F1 lead"},
        {Bytes({0xF3, 0xBF, 0xBF, 0xBF}), true, "F3 lead"},
        {Bytes({0xF4, 0x8F, 0xBF, 0xBF}), true, "U+10FFFF"},
        {Bytes({0xF4, 0x90, 0x80, 0x80}), false, "above U+10FFFF"},
        {Bytes({0xF5, 0x80, 0x80, 0x80}), false, "F5 lead"},
        {Bytes({0xFF}), false, "FF"},
        {Bytes({0xF0, 0x90, 0x80}), false, "truncated four-byte"},
        {"\xE4\xB8\xAD\xE6\x96\x87 ok", true, "mixed text"},
        {"ok" + Bytes({0xE4, 0xB8, 0xAD, 0x80}), false, "valid sequence then stray byte"},
    };
    for (const auto& [text, valid, what] : cases) EXPECT_EQ(IsValidUtf8(text), valid) << what;
}

TEST(NameCheckTest, VariableNamesOfOneToHundredBytes) {
    const struct {
        std::string name;
        bool valid;
        const char* message;
    } cases[] = {
        {"$AppStart_1", true, nullptr},
        {"_x", true, nullptr},
        {"Click", true, nullptr},
        {std::string(100, 'a'), true, nullptr},
        {"1abc", false, "The Event Name need to be a valid variable name."},
        {"a-b", false, "The Event Name need to be a valid variable name."},
        {"a b", false, "The Event Name need to be a valid variable name."},
        {"\xE4\xB8\xAD", false, "The Event Name need to be a valid variable name."},
        {"", false, "The Event Name is empty or too long, max length is 100"},
        {std::string(101, 'a'), false, "The Event Name is empty or too long, max length is 100"},
    };
    for (const auto& [name, valid, message] : cases) {
        MessageCapture messages;
        EXPECT_EQ(CheckName("Event Name", name), valid) << name;
        if (message) {
            EXPECT_EQ(messages.Errors(), std::vector<std::string>{message}) << name;
        } else {
            EXPECT_TRUE(messages.Errors().empty()) << name;
        }
    }
}

TEST(IdCheckTest, OneTo255Bytes) {
    const struct {
        std::string value;
        bool valid;
        const char* message;
    } cases[] = {
        {"a", true, nullptr},
        {std::string(255, 'i'), true, nullptr},
        {"", false, "The Distinct ID is empty."},
        {std::string(256, 'i'), false, "The Distinct ID is too long, max length is 255."},
    };
    for (const auto& [value, valid, message] : cases) {
        MessageCapture messages;
        EXPECT_EQ(CheckIdValue("Distinct ID", value), valid) << value.size();
        if (message) {
            EXPECT_EQ(messages.Errors(), std::vector<std::string>{message});
        }
    }
}

TEST(PropertiesCheckTest, KeysAndReservedTypes) {
    MessageCapture messages;
    PropertiesNode good;
    good.SetString("name", "x");
    good.SetDateTime("$time", 1700000000, 0);
    good.SetString("$project", "p");
    EXPECT_TRUE(CheckProperties(good));

    PropertiesNode badKey = good;
    badKey.SetNumber("a-b", 1);
    EXPECT_FALSE(CheckProperties(badKey));
    EXPECT_TRUE(messages.HasError("The Property Key need to be a valid variable name."));

    PropertiesNode timeAsText;
    timeAsText.SetString("$time", "2023-11-14 22:13:20");
    EXPECT_FALSE(CheckProperties(timeAsText));
    EXPECT_TRUE(messages.HasError("The property '$time' should be DateTime type."));

    PropertiesNode projectAsNumber;
    projectAsNumber.SetNumber("$project", 5);
    EXPECT_FALSE(CheckProperties(projectAsNumber));
    EXPECT_TRUE(messages.HasError("The property '$project' should be String type."));
}

}  // namespace
