// The skin archive read from memory and the resource lookups built on it.
#include "skin_test_support.h"

#include <ui_framework/resources.h>

#include <gtest/gtest.h>

namespace skin_test {
namespace {

using skin::Resources;
using skin::SkinArchive;

TEST(SkinArchive, ReadsSolidLzma2ArchiveFromMemoryWithCaseInsensitiveLookup) {
    const std::string background(201453, 'x');
    const auto bytes = Make7z({{"mainWnd.xml", "<Window/>"},
                               {"res/mainWnd/bg1.png", background},
                               {"res/mainWnd/chDirBtn1.png", "browse"}});
    // 7z signature: the writer really produced a 7z archive.
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 2), "7z");

    const auto archive = SkinArchive::Open(bytes.data(), bytes.size());
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->Names().size(), 3u);

    struct Case {
        const wchar_t* request;
        std::string expected;
    };
    const Case cases[] = {
        {L"MainWnd.xml", "<Window/>"},
        {L"mainwnd.XML", "<Window/>"},
        {L"res\\mainWnd\\bg1.png", background},
        {L"RES/MAINWND/BG1.PNG", background},
        {L"res/mainWnd/chDirBtn1.png", "browse"},
        {L"res\\mainWnd\\chDirBtn1.png", "browse"},
    };
    for (const auto& [request, expected] : cases) {
        const auto found = archive->Find(request);
        ASSERT_TRUE(found.has_value()) << skin::Narrow(request);
        EXPECT_EQ(std::string(found->begin(), found->end()), expected) << skin::Narrow(request);
    }
}

TEST(SkinArchive, MissingFileIsReportedNotThrown) {
    const auto bytes = Make7z({{"a.xml", "a"}});
    const auto archive = SkinArchive::Open(bytes.data(), bytes.size());
    ASSERT_NE(archive, nullptr);
    for (const wchar_t* missing : {L"b.xml", L"a.xm", L"a.xml2", L"", L"res\\common\\minbtn4.png"})
        EXPECT_FALSE(archive->Find(missing).has_value()) << skin::Narrow(missing);
}

TEST(SkinArchive, RejectsBlobsThatAreNoArchive) {
    const std::string garbage = "this is not an archive at all";
    EXPECT_EQ(SkinArchive::Open(garbage.data(), garbage.size()), nullptr);
    EXPECT_EQ(SkinArchive::Open(nullptr, 0), nullptr);
    auto bytes = Make7z({{"a.xml", std::string(5000, 'a')}});
    bytes.resize(bytes.size() / 2);  // truncated
    EXPECT_EQ(SkinArchive::Open(bytes.data(), bytes.size()), nullptr);
}

class ResourcesTest : public SkinFixture {};

TEST_F(ResourcesTest, PackagedArchiveIsOpenedByIdAndLooksOnDiskAfterwards) {
    const auto bytes = Make7z({{"mainWnd.xml", "packaged"}});
    Resources& resources = Resources::Instance();
    EXPECT_FALSE(resources.UsePackagedArchive(147));  // nothing registered yet
    resources.RegisterPackagedResource(L"SKINRES", 147, bytes.data(), bytes.size());
    ASSERT_TRUE(resources.UsePackagedArchive(147));
    const skin::SkinArchive* first = resources.Archive();
    EXPECT_TRUE(resources.UsePackagedArchive(147));
    EXPECT_EQ(resources.Archive(), first) << "opened once per process";

    testing_support::WriteFile(sandbox_.root() / "skin" / "res" / "mainWnd" / "installPrg3.png", "on disk");
    resources.SetResourceFolder(sandbox_.root() / "skin");
    EXPECT_EQ(resources.ResourceFolder(), sandbox_.root() / "skin");
    const auto packaged = resources.LoadFile(L"MAINWND.xml");
    ASSERT_TRUE(packaged);
    EXPECT_EQ(std::string(packaged->begin(), packaged->end()), "packaged");
    const auto loose = resources.LoadFile(L"res\\mainWnd\\installPrg3.png");
    ASSERT_TRUE(loose);
    EXPECT_EQ(std::string(loose->begin(), loose->end()), "on disk");
    EXPECT_FALSE(resources.LoadFile(L"..\\outside.png"));
    EXPECT_FALSE(resources.LoadFile(L"nothing.png"));
}

TEST_F(ResourcesTest, ImagesDecodeFromTheArchiveAndMissingOnesAreNull) {
    UseSkin("", {{"res/a.png", MakePng(4, 3, 0xFF102030)}, {"res/broken.png", "not a png"}});
    auto image = Resources::Instance().LoadImage(L"res\\A.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Resources::Instance().LoadImage(L"res/broken.png"), nullptr);
    EXPECT_EQ(Resources::Instance().LoadImage(L"res/none.png"), nullptr);
}

TEST_F(ResourcesTest, NumberedTextsAddLookUpAndReportMissingIds) {
    Resources& resources = Resources::Instance();
    const auto generation = resources.TextGeneration();
    resources.SetText(104, L"磁盘空间不足");
    resources.SetText(7, L"seven");
    resources.SetText(7, L"SEVEN");
    EXPECT_EQ(resources.FindText(104), L"磁盘空间不足");
    EXPECT_EQ(resources.FindText(7), L"SEVEN");
    EXPECT_FALSE(resources.FindText(8).has_value());
    EXPECT_GT(resources.TextGeneration(), generation);
    resources.ClearTexts();
    EXPECT_FALSE(resources.FindText(104).has_value());
}

}  // namespace
}  // namespace skin_test
