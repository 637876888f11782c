#include "utils/paths.h"

#include "testing/sandbox.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testing_support::UserSandbox;

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(PathsTest, XdgFoldersAndFallbacks) {
    UserSandbox sandbox;
    EXPECT_EQ(Utils::ConfigHome(), sandbox.configHome());
    EXPECT_EQ(Utils::StateHome(), sandbox.stateHome());
    EXPECT_EQ(Utils::AppDataFolder(), sandbox.dataHome());
    sandbox.setEnv("APPDATA", "/somewhere/appdata");
    EXPECT_EQ(Utils::AppDataFolder(), fs::path("/somewhere/appdata"));
    sandbox.setEnv("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(Utils::ConfigHome(), sandbox.home() / ".config");
    sandbox.setEnv("XDG_STATE_HOME", std::nullopt);
    EXPECT_EQ(Utils::StateHome(), sandbox.home() / ".local/state");
}

TEST(PathsTest, TempWorkFolderIsPrivate) {
    UserSandbox sandbox;
    const std::wstring folder = Utils::TempWorkFolder();
    EXPECT_EQ(folder, Utils::WideFromPath(sandbox.runtimeDir()) + L"/~KarVoTemp.92482B06FB471E17/");
    EXPECT_EQ(ModeOf(Utils::PathFromWide(folder)), 0700u);
    EXPECT_EQ(Utils::TempWorkFolder(), folder) << "an existing private folder is reused";
}

TEST(PathsTest, PlantedWorkFolderIsRefused) {
    UserSandbox sandbox;
    const fs::path planted = sandbox.runtimeDir() / "~KarVoTemp.92482B06FB471E17";
    struct Case {
        const char* what;
        void (*plant)(const fs::path&);
    };
    const Case cases[] = {
        {"open to others", [](const fs::path& p) { fs::create_directory(p); ::chmod(p.c_str(), 0777); }},
        {"owned by someone else", [](const fs::path& p) { fs::create_directory(p); ::chmod(p.c_str(), 0700); ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0); }},
        {"a symlink to a folder", [](const fs::path& p) { fs::create_directory(p.string() + ".real"); ::chmod((p.string() + ".real").c_str(), 0700); fs::create_directory_symlink(p.string() + ".real", p); }},
        {"a file", [](const fs::path& p) { testing_support::WriteFile(p, "x"); }},
    };
    for (const auto& [what, plant] : cases) {
        SCOPED_TRACE(what);
        plant(planted);
        EXPECT_EQ(Utils::TempWorkFolder(), L"");
        fs::remove(planted);
    }
}

TEST(PathsTest, RuntimeFolderFallsBackToAPrivateFolderInTmp) {
    UserSandbox sandbox;
    sandbox.setEnv("XDG_RUNTIME_DIR", std::nullopt);
    const fs::path expected = sandbox.tmpDir() / (".quorvane-" + std::to_string(::geteuid()));
    EXPECT_EQ(Utils::UserRuntimeFolder(), expected);
    EXPECT_EQ(ModeOf(expected), 0700u);
    ::chmod(expected.c_str(), 0755);
    EXPECT_EQ(Utils::UserRuntimeFolder(), fs::path()) << "a folder open to others is refused";
}

TEST(PathsTest, CreateDirectoryPath) {
    testing_support::TempDir dir;
    const std::wstring base = Utils::WideFromPath(dir.path());
    EXPECT_TRUE(Utils::CreateDirectoryPath(base + L"/a/b c/d"));
    EXPECT_TRUE(fs::is_directory(dir / "a/b c/d"));
    EXPECT_TRUE(Utils::CreateDirectoryPath(base + L"/a/b c/d")) << "existing folders are fine";
    EXPECT_TRUE(Utils::CreateDirectoryPath(base + L"/e//f/"));
    EXPECT_TRUE(fs::is_directory(dir / "e/f"));
    testing_support::WriteFile(dir / "file", "x");
    EXPECT_FALSE(Utils::CreateDirectoryPath(base + L"/file/sub"));
    EXPECT_FALSE(Utils::CreateDirectoryPath(base + L"/file"));
    EXPECT_FALSE(Utils::CreateDirectoryPath(L""));
    EXPECT_FALSE(Utils::CreateDirectoryPath(base + L"/" + std::wstring(5000, L'x')));
}

}  // namespace
