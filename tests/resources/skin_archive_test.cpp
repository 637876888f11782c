// The skin archive linked into the program: its format, its contents, and how a
// reader copes with a damaged copy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "resources/resources.h"
#include "seven_zip_headers.h"
#include "skin_files.h"
#include "testing/sandbox.h"

namespace resources_test {
namespace {

using ::testing::UnorderedElementsAreArray;

std::span<const std::uint8_t> LinkedArchive() { return Resources::Find(Resources::kSkinType, Resources::kSkinId); }

TEST(SkinArchive, IsOneSolidLzma2Block) {
    std::string error;
    const auto headers = ReadSevenZipHeaders(LinkedArchive(), error);
    ASSERT_TRUE(headers.has_value()) << error;
    ASSERT_EQ(headers->blocks.size(), 1u) << "every file must be in one solid block";
    const SevenZipBlock& block = headers->blocks[0];
    ASSERT_EQ(block.coders.size(), 1u);
    EXPECT_EQ(block.coders[0].codecId, std::vector<std::uint8_t>{0x21}) << "LZMA2";
    ASSERT_EQ(block.coders[0].properties.size(), 1u);
    EXPECT_GE(Lzma2DictionarySize(block.coders[0].properties[0]), block.unpackedSize)
        << "a dictionary smaller than the skin would split matches";
    EXPECT_EQ(block.streamCount, ExpectedSkinFiles().size());
    EXPECT_EQ(headers->entryCount, ExpectedSkinFiles().size() + ExpectedSkinFolders().size());
}

TEST(SkinArchive, ListsExactlyThePackageFilesAndFolders) {
    const ArchiveListing listing = ReadArchive(LinkedArchive());
    ASSERT_TRUE(listing.complete) << listing.error;
    EXPECT_EQ(listing.formatName, "7-Zip");
    std::vector<std::string> names;
    for (const auto& [name, content] : listing.files) names.push_back(name);
    EXPECT_EQ(names.size(), 68u);
    EXPECT_THAT(names, UnorderedElementsAreArray(ExpectedSkinFiles()));
    EXPECT_THAT(listing.folders, UnorderedElementsAreArray(ExpectedSkinFolders()));
    for (const std::string& name : names) EXPECT_EQ(name.find('\\'), std::string::npos) << name;
}

TEST(SkinArchive, EveryFileExtractsEqualToItsSource) {
    const ArchiveListing listing = ReadArchive(LinkedArchive());
    ASSERT_TRUE(listing.complete) << listing.error;
    for (const auto& [name, content] : listing.files) {
        const std::string source = testing_support::ReadFile(SkinFolder() / name);
        EXPECT_FALSE(source.empty()) << name;
        EXPECT_TRUE(content == source) << name << " differs from its source (" << content.size() << " against "
                                       << source.size() << " bytes)";
    }
}

TEST(SkinArchive, NamesTheInstallerAsksForFindExactlyOneEntry) {
    const ArchiveListing listing = ReadArchive(LinkedArchive());
    ASSERT_TRUE(listing.complete) << listing.error;
    std::multiset<std::string> keys;
    for (const auto& [name, content] : listing.files) keys.insert(LookupKey(name));
    // Names differ from the stored ones in case and separator; the lookup folds both.
    const struct {
        const char* requested;
        const char* stored;
    } cases[] = {
        {"MainWnd.xml", "mainWnd.xml"},
        {"ExitTipWnd.xml", "exitTipWnd.xml"},
        {"MessageBox1Wnd.xml", "MessageBox1Wnd.xml"},
        {"res\\mainWnd\\bg1.png", "res/mainWnd/bg1.png"},
        {"res/mainWnd/chDirBtn1.png", "res/mainWnd/chDirBtn1.png"},
        {"res\\mainWnd\\chDirBtn1.png", "res/mainWnd/chDirBtn1.png"},
        {"res\\mainWnd\\installBtnAnimate\\023.png", "res/mainWnd/installBtnAnimate/023.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(keys.count(LookupKey(c.requested)), 1u) << c.requested;
        EXPECT_EQ(LookupKey(c.requested), LookupKey(c.stored));
        EXPECT_TRUE(listing.files.contains(c.stored)) << c.stored;
    }
    // No two stored names fold to the same key, so a lookup never has to choose.
    for (const std::string& key : keys) EXPECT_EQ(keys.count(key), 1u) << key;
}

TEST(SkinArchive, ReadersReportTruncatedCopies) {
    const auto whole = LinkedArchive();
    ASSERT_GT(whole.size(), 1024u);
    for (const std::size_t length : {std::size_t{0}, std::size_t{6}, std::size_t{31}, std::size_t{32}, whole.size() / 3,
                                     whole.size() / 2, whole.size() - 100, whole.size() - 1}) {
        const std::vector<std::uint8_t> truncated(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        const ArchiveListing listing = ReadArchive(truncated);
        EXPECT_FALSE(listing.complete) << "cut to " << length << " bytes";
        EXPECT_FALSE(listing.error.empty()) << "cut to " << length << " bytes";
        std::string error;
        EXPECT_FALSE(ReadSevenZipHeaders(truncated, error).has_value()) << "cut to " << length << " bytes";
    }
}

TEST(SkinArchive, ReadersReportCorruptedCopies) {
    const auto whole = LinkedArchive();
    struct Damage {
        const char* what;
        std::size_t offset;
    };
    const Damage damages[] = {
        {"signature", 2},
        {"next header offset", 14},
        {"start of the packed data", 40},
        {"middle of the packed data", whole.size() / 2},
        {"end header", whole.size() - 20},
    };
    for (const Damage& damage : damages) {
        std::vector<std::uint8_t> copy(whole.begin(), whole.end());
        copy[damage.offset] ^= 0x5A;
        const ArchiveListing listing = ReadArchive(copy);
        EXPECT_FALSE(listing.complete) << damage.what;
        EXPECT_FALSE(listing.error.empty()) << damage.what;
    }
}

}  // namespace
}  // namespace resources_test
