#include "utils/text.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(TextTest, Utf8RoundTripsEveryPlane) {
    const std::wstring wide = L"a\u00e9\u4e2d\U0001F600";
    const std::string utf8 = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
    EXPECT_EQ(Utils::WideToUtf8(wide), utf8);
    EXPECT_EQ(Utils::Utf8ToWide(utf8), wide);
    EXPECT_EQ(Utils::ToWide(utf8, Utils::kCodePageUtf8), wide);
    EXPECT_EQ(Utils::ToMultiByte(wide, Utils::kCodePageUtf8), utf8);
}

TEST(TextTest, InvalidUtf8) {
    struct Case {
        const char* bytes;
        std::size_t size;
        const wchar_t* lenient;
    };
    const Case cases[] = {
        {"\xC0\xAF", 2, L"\uFFFD\uFFFD"},              // overlong "/"
        {"\xE0\x80\xAF", 3, L"\uFFFD\uFFFD\uFFFD"},    // overlong three-byte form
        {"\xED\xA0\x80", 3, L"\uFFFD\uFFFD\uFFFD"},    // surrogate
        {"\xF4\x90\x80\x80", 4, L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"ab\xE4\xB8", 4, L"ab\uFFFD"},                // truncated at the end
        {"\xFFz", 2, L"\uFFFDz"},
    };
    for (const auto& [bytes, size, lenient] : cases) {
        const std::string_view input(bytes, size);
        EXPECT_EQ(Utils::Utf8ToWide(input), L"") << "strict decoding rejects " << input;
        EXPECT_EQ(Utils::ToWide(input, Utils::kCodePageUtf8), lenient) << input;
        EXPECT_EQ(Utils::ToWide(input, Utils::kCodePageAnsi), lenient) << "C locale counts as UTF-8";
    }
    EXPECT_EQ(Utils::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(TextTest, CodePagesThroughIconv) {
    // "中文" in GBK (code page 936).
    const std::string gbk = "\xD6\xD0\xCE\xC4";
    EXPECT_EQ(Utils::ToWide(gbk, 936), L"\u4e2d\u6587");
    EXPECT_EQ(Utils::ToMultiByte(L"\u4e2d\u6587", 936), gbk);
    // An incomplete double-byte character still gives text, never "".
    EXPECT_EQ(Utils::ToWide("\xD6\xD0\xCE", 936), L"\u4e2d\uFFFD");
    EXPECT_EQ(Utils::ToWide("caf\xE9", 1252), L"caf\u00e9");
    EXPECT_EQ(Utils::ToMultiByte(L"a\u4e2d", 1252), "a?");
    EXPECT_EQ(Utils::ToWide("x", 99999), L"") << "unknown code page";
    EXPECT_EQ(Utils::ToWide("", 936), L"");
}

TEST(TextTest, UrlEncode) {
    EXPECT_EQ(Utils::UrlEncode(L"a b"), L"a+b");
    EXPECT_EQ(Utils::UrlEncode(L"\u00e9"), L"%C3%A9");
    EXPECT_EQ(Utils::UrlEncode(L"http://h:80/a b/c?x=1&y=%2F"), L"http://h:80/a+b/c?x=1&y=%2F");
    EXPECT_EQ(Utils::UrlEncode(L"\t\x7f~!"), L"%09%7F~!");
}

TEST(TextTest, ReplaceAllSearchesFromTheStartEachTime) {
    EXPECT_EQ(Utils::ReplaceAll(L"/${ROUTE}/x/${ROUTE}", L"${ROUTE}", L"r"), L"/r/x/r");
    EXPECT_EQ(Utils::ReplaceAll(L"aab", L"ab", L"b"), L"b") << "a replacement that forms the pattern is replaced too";
    EXPECT_EQ(Utils::ReplaceAll(L"abc", L"", L"x"), L"abc");
}

TEST(TextTest, NumbersParseInTheCLocaleWhateverLcNumeric) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may not exist; the parse must not depend on it
    struct Case {
        const wchar_t* text;
        bool ok;
        double value;
    };
    const Case cases[] = {{L" 0.25x", true, 0.25}, {L"-3", true, -3}, {L"abc", false, 0}, {L"", false, 0},
                          {L"1e999", false, 0},    {L"+7,5", true, 7}};
    for (const auto& [text, ok, expected] : cases) {
        double value = 0;
        EXPECT_EQ(Utils::ParseDouble(text, value), ok) << text;
        if (ok) {
            EXPECT_DOUBLE_EQ(value, expected);
        }
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    std::int32_t number = 0;
    EXPECT_TRUE(Utils::ParseInt32(L"  -2147483648tail", number));
    EXPECT_EQ(number, INT32_MIN);
    EXPECT_FALSE(Utils::ParseInt32(L"2147483648", number));
    EXPECT_FALSE(Utils::ParseInt32(L"x1", number));
    EXPECT_EQ(Utils::ToDecimalText(4294967295u), L"4294967295");
}

}  // namespace
