// Attribute value syntax: colours, rectangles, numbers, image descriptors, window shapes.
#include <ui_framework/geometry.h>
#include <ui_framework/render.h>

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace skin;

TEST(AttributeValues, Colours) {
    struct Case {
        const wchar_t* text;
        std::optional<Color> expected;
    };
    const Case cases[] = {
        {L"#26003B76", 0x26003B76u}, {L"0xFF1675FE", 0xFF1675FEu}, {L"0XFFfc3a4e", 0xFFFC3A4Eu},
        {L"#FF8991AF", 0xFF8991AFu}, {L"#123456", 0xFF123456u},    {L"26003B76", std::nullopt},
        {L"#26003B7G", std::nullopt}, {L"#26003B761", std::nullopt}, {L"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        Color color = 0xDEADBEEF;
        EXPECT_EQ(ParseColor(text, color), expected.has_value()) << Narrow(text);
        EXPECT_EQ(color, expected.value_or(0xDEADBEEF)) << Narrow(text);
    }
}

TEST(AttributeValues, RectanglesSizesAndLeadingIntegers) {
    Rect rect;
    ASSERT_TRUE(ParseRect(L"9,0,9,3", rect));
    EXPECT_EQ(rect, (Rect{9, 0, 9, 3}));
    ASSERT_TRUE(ParseRect(L"84, 2, 100, 18", rect));
    EXPECT_EQ(rect, (Rect{84, 2, 100, 18}));
    EXPECT_FALSE(ParseRect(L"1,2,3", rect));
    Size size;
    ASSERT_TRUE(ParseSize(L"600,400", size));
    EXPECT_EQ(size.cx, 600);
    EXPECT_EQ(size.cy, 400);

    struct Case {
        const wchar_t* text;
        int expected;
    };
    for (const auto& [text, expected] : {Case{L"24", 24}, Case{L"30ms", 30}, Case{L" -5", -5}, Case{L"x1", 0},
                                         Case{L"", 0}, Case{L"99999999999", INT32_MAX}})
        EXPECT_EQ(ParseLeadingInt(text), expected) << Narrow(text);
}

TEST(AttributeValues, ImageDescriptors) {
    const auto bare = ImageDescriptor::Parse(L"res\\mainWnd\\bg1.png");
    EXPECT_EQ(bare.file, L"res\\mainWnd\\bg1.png");
    EXPECT_FALSE(bare.dest.has_value());

    const auto full = ImageDescriptor::Parse(
        L"file='res\\mainWnd\\Cb1.png' dest='0,2,15,16' source='1,1,5,5' corner='2,2,2,2' mask='#FFFF00FF' "
        L"fade='128' hole='true' xtiled='true' ytiled='false'");
    EXPECT_EQ(full.file, L"res\\mainWnd\\Cb1.png");
    ASSERT_TRUE(full.dest.has_value());
    EXPECT_EQ(*full.dest, (Rect{0, 2, 15, 16}));
    ASSERT_TRUE(full.source.has_value());
    EXPECT_EQ(*full.source, (Rect{1, 1, 5, 5}));
    EXPECT_EQ(full.corner, (Rect{2, 2, 2, 2}));
    ASSERT_TRUE(full.mask.has_value());
    EXPECT_EQ(*full.mask, 0xFFFF00FFu);
    EXPECT_EQ(full.fade, 128);
    EXPECT_TRUE(full.hole);
    EXPECT_TRUE(full.xtiled);
    EXPECT_FALSE(full.ytiled);
}

TEST(WindowShapes, SmallCornersKeepTheRectangleAndLargeOnesRoundIt) {
    const Shape square = RoundRectShape(600, 400, 1, 0);
    ASSERT_EQ(square.size(), 400u);
    for (const auto& row : square) {
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ(*row, std::make_pair(0, 600));
    }
    const Shape round = RoundRectShape(100, 50, 20, 20);
    ASSERT_TRUE(round[0].has_value());
    EXPECT_GT(round[0]->first, 3);
    EXPECT_EQ(round[0]->second, 100 - round[0]->first);
    EXPECT_EQ(*round[25], std::make_pair(0, 100));
    EXPECT_EQ(round[49], round[0]);
}

}  // namespace
