// The build-time packer: the same skin folder always gives the same archive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "resources/resources.h"
#include "skin_files.h"
#include "testing/sandbox.h"

namespace resources_test {
namespace {

// Runs the packer; its exit status (-1 when it could not be started).
int Pack(const std::filesystem::path& archive, const std::filesystem::path& folder) {
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        execl(QV_SKIN_PACKER_PROGRAM, QV_SKIN_PACKER_PROGRAM, archive.c_str(), folder.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(SkinPacker, PacksTheSameFolderIntoTheSameBytesAsTheLinkedArchive) {
    const testing_support::TempDir output;
    ASSERT_EQ(Pack(output / "first.7z", SkinFolder()), 0);
    ASSERT_EQ(Pack(output / "second.7z", SkinFolder()), 0);
    const std::string first = testing_support::ReadFile(output / "first.7z");
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(first == testing_support::ReadFile(output / "second.7z"));
    const auto linked = Resources::Find(Resources::kSkinType, Resources::kSkinId);
    EXPECT_TRUE(first == std::string(linked.begin(), linked.end())) << "the linked archive is not the packed skin";
}

TEST(SkinPacker, LeavesOutHiddenEntriesAndStoresSlashPaths) {
    const testing_support::TempDir work;
    testing_support::WriteFile(work / "skin/a.xml", "<Window/>");
    testing_support::WriteFile(work / "skin/res/sub/b.png", "png");
    testing_support::WriteFile(work / "skin/.a.xml.swp", "editor");
    testing_support::WriteFile(work / "skin/.git/config", "vcs");
    ASSERT_EQ(Pack(work / "out.7z", work / "skin"), 0);
    const std::string bytes = testing_support::ReadFile(work / "out.7z");
    const ArchiveListing listing =
        ReadArchive({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    ASSERT_TRUE(listing.complete) << listing.error;
    ASSERT_EQ(listing.files.size(), 2u);
    EXPECT_EQ(listing.files.at("a.xml"), "<Window/>");
    EXPECT_EQ(listing.files.at("res/sub/b.png"), "png");
    EXPECT_THAT(listing.folders, ::testing::UnorderedElementsAre("res", "res/sub"));
}

TEST(SkinPacker, FailsWithoutLeavingAnArchiveWhenTheFolderIsMissingOrEmpty) {
    const testing_support::TempDir work;
    std::filesystem::create_directories(work / "empty");
    EXPECT_NE(Pack(work / "out.7z", work / "missing"), 0);
    EXPECT_NE(Pack(work / "out.7z", work / "empty"), 0);
    EXPECT_NE(Pack(work / "no-such-folder/out.7z", SkinFolder()), 0);
    EXPECT_FALSE(std::filesystem::exists(work / "out.7z"));
    EXPECT_FALSE(std::filesystem::exists(work / "out.7z.partial"));
}

}  // namespace
}  // namespace resources_test
