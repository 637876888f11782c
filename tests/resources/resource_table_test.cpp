// Finding the linked data by type and id.
#include <gtest/gtest.h>

#include <string>

#include "resources/resources.h"
#include "skin_files.h"
#include "testing/sandbox.h"

namespace resources_test {
namespace {

std::string AsText(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

TEST(ResourceTable, FindsTheSkinArchiveByTypeInAnyCase) {
    const auto skin = Resources::Find("SKINRES", 147);
    ASSERT_GT(skin.size(), 32u);
    EXPECT_EQ(AsText(skin.first(6)), std::string("7z\xBC\xAF\x27\x1C"));
    for (const char* type : {"skinres", "SkinRes"}) {
        const auto again = Resources::Find(type, 147);
        EXPECT_EQ(again.data(), skin.data()) << type;
        EXPECT_EQ(again.size(), skin.size()) << type;
    }
}

TEST(ResourceTable, TheWindowIconIsTheShippedPng) {
    const auto icon = Resources::Find(Resources::kIconType, Resources::kIconId);
    const auto source = ResourcesFolder() / "icon" / "quorvane.png";
    EXPECT_EQ(AsText(icon), testing_support::ReadFile(source));
    EXPECT_EQ(PngSize(source), std::make_pair(256, 256));
}

TEST(ResourceTable, UnknownTypesAndIdsFindNothing) {
    const struct {
        const char* type;
        int id;
    } cases[] = {{"SKINRES", 145}, {"SKINRES", 146}, {"ICON", 147}, {"SKINRE", 147}, {"", 147}, {"SKINRESX", 147}};
    for (const auto& c : cases) {
        EXPECT_TRUE(Resources::Find(c.type, c.id).empty()) << c.type << " " << c.id;
    }
}

}  // namespace
}  // namespace resources_test
