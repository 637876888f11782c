#include "install/failure_report.h"
#include "install/install_progress.h"
#include "install/install_state.h"
#include "utils/ini.h"
#include "utils/paths.h"
#include "utils/registry.h"
#include "utils/text.h"

#include "testing/sandbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::UserSandbox;
using testing_support::WriteFile;

std::wstring RegistryValue(const wchar_t* name) {
    std::uint32_t type = 0;
    std::wstring value;
    return Utils::RegReadString(name, type, value) ? value : L"<missing>";
}

class InstallStateTest : public ::testing::Test {
protected:
    std::wstring Folder(const char* leaf) const { return Utils::WideFromPath(sandbox_.root() / leaf); }
    UserSandbox sandbox_;
    InstallState state_;
};

TEST_F(InstallStateTest, NothingRegisteredMeansNotInstalled) {
    state_.LoadExistingInstall();
    EXPECT_FALSE(state_.IsInstalled());
    EXPECT_EQ(state_.ExistingUninstallerPath, L"");
    // The suite runs as root: an administrator with administrator rights when the
    // console user is one too; otherwise the program files folder.
    const std::wstring folder = state_.GetDefaultInstallDir();
    const std::wstring expected = state_.AdminAct && state_.AuthorizationAct
                                      ? Utils::WideFromPath(Utils::AppDataFolder() / "zerin/Lumivex")
                                      : Utils::WideFromPath(Utils::ProgramFilesFolder() / "Lumivex");
    EXPECT_EQ(folder, expected);
}

TEST_F(InstallStateTest, MissingUninstallerValueIsDerived) {
    ASSERT_TRUE(Utils::RegWriteString(L"InstallPath", Folder("old")));
    state_.LoadExistingInstall();
    EXPECT_TRUE(state_.IsInstalled());
    EXPECT_EQ(state_.ExistingUninstallerPath, Folder("old/uninst.ep"));
    EXPECT_NE(state_.GetDefaultInstallDir(), Folder("old")) << "an installation without its uninstaller is not proposed";
    WriteFile(sandbox_.root() / "old/uninst.ep", "x");
    EXPECT_EQ(state_.GetDefaultInstallDir(), Folder("old"));
}

TEST_F(InstallStateTest, ChosenFolderGetsItsOwnProductFolder) {
    ASSERT_TRUE(Utils::RegWriteString(L"InstallPath", Folder("old")));
    WriteFile(sandbox_.root() / "old/uninst.ep", "x");
    state_.LoadExistingInstall();
    EXPECT_EQ(state_.GetChosenInstallDir(Folder("old")), Folder("old"));
    EXPECT_EQ(state_.GetChosenInstallDir(Folder("old/")), Folder("old"));
    EXPECT_EQ(state_.GetChosenInstallDir(Folder("Apps")), Folder("Apps/Lumivex"));
    EXPECT_TRUE(state_.IsSameAsDefaultDir(Folder("old/./")));
    EXPECT_FALSE(state_.IsSameAsDefaultDir(Folder("old/sub")));
}

TEST_F(InstallStateTest, OverrideSettingDecidesTheUninstall) {
    ASSERT_TRUE(Utils::RegWriteString(L"InstallPath", Folder("old")));
    ASSERT_TRUE(Utils::RegWriteString(L"UnInstallEp", Folder("old/uninst.ep")));
    state_.LoadExistingInstall();
    struct Case {
        const char* setIni;
        bool disabled;
    };
    const Case cases[] = {{"[Uninstall]\nIsOverride=false\n", true}, {"[Uninstall]\nIsOverride=False\n", false},
                          {"[Uninstall]\nIsOverride=true\n", false}, {"[Install]\nAppName=x\n", false}};
    for (const auto& [setIni, disabled] : cases) {
        WriteFile(sandbox_.root() / "old/set.ini", setIni);
        EXPECT_EQ(state_.IsOverrideDisabled(Folder("old")), disabled) << setIni;
        EXPECT_EQ(state_.UninstallerFor(Folder("old")), disabled ? L"" : Folder("old/uninst.ep")) << setIni;
        EXPECT_FALSE(state_.IsOverrideDisabled(Folder("elsewhere"))) << "another folder always uninstalls";
        EXPECT_EQ(state_.UninstallerFor(Folder("elsewhere/Lumivex")), Folder("old/uninst.ep"));
    }
}

TEST_F(InstallStateTest, SuccessIsRecordedWithTrimmedPaths) {
    const std::wstring dir = Folder("new/Lumivex");
    state_.SetRecordedInstallPath(dir + L"\r");
    state_.SaveInstallInfo();
    EXPECT_EQ(RegistryValue(L"InstallPath"), dir);
    EXPECT_EQ(RegistryValue(L"UnInstallEp"), L"<missing>") << "no uninstaller file, no value";
    WriteFile(sandbox_.root() / "new/Lumivex/uninst.exe", "x");
    state_.SetRecordedUninstallerPath(dir + L"/uninst.exe\r\n");
    state_.SaveInstallInfo();
    EXPECT_EQ(RegistryValue(L"UnInstallEp"), dir + L"/uninst.exe");
}

TEST_F(InstallStateTest, SetIniAndTrackingFileAreWritten) {
    const std::wstring dir = Folder("new/Lumivex");
    fs::create_directories(Utils::PathFromWide(dir));
    state_.SetRecordedInstallPath(dir);
    state_.WriteInstallSetIni(L"quorvane-setup");
    const fs::path setIni = Utils::PathFromWide(dir) / "set.ini";
    EXPECT_EQ(Utils::IniReadString(L"Install", L"APPStore", L"", setIni), L"quorvane-setup");
    EXPECT_EQ(Utils::IniReadString(L"Install", L"AppName", L"", setIni), L"Lumivex");
    const std::wstring deviceId = Utils::IniReadString(L"Install", L"DeviceID", L"", setIni);
    EXPECT_TRUE(std::regex_match(Utils::WideToUtf8(deviceId), std::regex("[0-9A-F]{12}[0-9a-f]{4}[0-9A-F]{16}")));
    const fs::path tracking = sandbox_.dataHome() / "KarVoData/Lumivex/KVAnalytics.ini";
    EXPECT_EQ(Utils::IniReadString(L"Install", L"KVAnalyticsIni", L"", setIni), Utils::WideFromPath(tracking));
    const std::wstring updated = Utils::IniReadString(L"Init", L"UpdateTime", L"", tracking);
    EXPECT_TRUE(std::regex_match(Utils::WideToUtf8(updated), std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")));
    state_.WriteInstallSetIni(L"quorvane-setup");
    EXPECT_NE(Utils::IniReadString(L"Install", L"DeviceID", L"", setIni), deviceId) << "a new identifier on every write";
}

TEST_F(InstallStateTest, TrackingFolderThatCannotBeCreatedWritesNoReference) {
    const std::wstring dir = Folder("new");
    fs::create_directories(Utils::PathFromWide(dir));
    WriteFile(sandbox_.root() / "appdata", "a file, not a folder");
    sandbox_.setEnv("APPDATA", (sandbox_.root() / "appdata").string());
    state_.SetRecordedInstallPath(dir);
    state_.WriteInstallSetIni(L"setup");
    const fs::path setIni = Utils::PathFromWide(dir) / "set.ini";
    EXPECT_EQ(Utils::IniReadString(L"Install", L"AppName", L"", setIni), L"Lumivex");
    EXPECT_EQ(Utils::IniReadString(L"Install", L"KVAnalyticsIni", L"<none>", setIni), L"<none>");
}

}  // namespace

namespace {

TEST(FailureReportTest, TextsAndTheirLimit) {
    testing_support::TempDir dir;
    const std::wstring package = Utils::WideFromPath(dir / "__Package_Lumivex.exe");
    const std::wstring diagnosis = DownloadFailureDiagnosis(-997.0, L"HTTP 404", package);
    EXPECT_TRUE(diagnosis.starts_with(L"1.code=-997；2.msg=HTTP 404；3.缓存磁盘容量=")) << Utils::WideToUtf8(diagnosis);
    EXPECT_NE(diagnosis.find(L"G；4.缓存读写权限=可读；5.服务器连接状态code="), std::wstring::npos);
    EXPECT_FALSE(fs::exists(dir / "__Package_Lumivex.exe")) << "the write test leaves nothing behind";

    const std::wstring unwritable = Utils::WideFromPath(dir / "missing-folder/__Package_Lumivex.exe");
    EXPECT_NE(DownloadFailureDiagnosis(1004, L"", unwritable).find(L"4.缓存读写权限=无权限"), std::wstring::npos);

    EXPECT_EQ(ShortFailureReport(1000.0, L"磁盘已满"), L":1.code=1000；2.msg=磁盘已满");
    EXPECT_EQ(ShortFailureReport(2.0, std::wstring(500, L'x')).size(), 199u);
}

}  // namespace

namespace {

TEST(InstallProgressTest, DownloadShareAndSmoothedInstallShare) {
    InstallProgress progress(0.7);
    EXPECT_EQ(progress.OnDownloadProgress(0.5), 35);
    EXPECT_EQ(progress.OnDownloadProgress(1.0), 70);
    std::vector<int> shown;
    for (int line = 0; line < 8; ++line) shown.push_back(progress.OnInstallProgress(0.0));
    EXPECT_EQ(shown, (std::vector<int>{74, 78, 83, 88, 92, 97, 98, 98}));
    EXPECT_EQ(progress.OnInstallProgress(1.0), 100) << "the package's own figure takes over when higher";
}

TEST(InstallProgressTest, OddScalesStayInRange) {
    struct Case {
        double scale, download;
        int downloadShown, firstInstallShown;
    };
    const Case cases[] = {
        {std::nan(""), 0.5, 0, 15}, {0.0, 1.0, 0, 15}, {1.0, 1.0, 100, 100}, {2.5, 1.0, 100, 100}, {-1.0, 1.0, 0, 0},
    };
    for (const auto& [scale, download, downloadShown, firstInstallShown] : cases) {
        InstallProgress progress(scale);
        EXPECT_EQ(progress.OnDownloadProgress(download), downloadShown) << scale;
        EXPECT_EQ(progress.OnInstallProgress(0.0), firstInstallShown) << scale;
    }
}

}  // namespace
