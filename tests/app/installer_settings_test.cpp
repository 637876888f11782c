#include "installer_app/installer_settings.h"

#include "testing/sandbox.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

class InstallerSettingsTest : public ::testing::Test {
protected:
    std::filesystem::path exe() const { return folder_ / "quorvane-setup"; }
    void WriteConfig(const std::string& content, const char* name = "KarvoInstallerConfig.ini") {
        WriteFile(folder_ / name, content);
    }
    InstallerSettings Load() const { return InstallerSettings(exe()); }
    static InstallerSettings WithOptions(InstallerSettings settings, const wchar_t* commandLine) {
        settings.ParseCommandLine(Utils::CommandLineArgs(commandLine));
        return settings;
    }
    TempDir folder_;
};

TEST_F(InstallerSettingsTest, DefaultsWithoutFileOrOptions) {
    const InstallerSettings s = WithOptions(Load(), L"quorvane-setup");
    EXPECT_EQ(s.AppId, L"Lumivex");
    EXPECT_EQ(s.AppVersion, L"1.7.9");
    EXPECT_EQ(s.ExeName, L"quorvane-setup");
    EXPECT_EQ(s.DlAppNameSuffix, L".downloader");
    EXPECT_EQ(s.DlAppVersion, L"");
    EXPECT_EQ(s.InstCmd, L"");
    EXPECT_EQ(s.DownloadUrl, L"http://download.lumivex.example/software/454");
    EXPECT_EQ(s.DownloadType, 1);
    EXPECT_FALSE(s.IsCheckNet);
    EXPECT_TRUE(s.IsEnableAppTracking);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.7);
    EXPECT_TRUE(s.IsCurlReady);
    EXPECT_EQ(s.GetAbGroup(), L"IN");
    EXPECT_EQ(s.LanguageIndex, -1);
    EXPECT_FALSE(s.IsInsNew);
    EXPECT_EQ(s.AnalyticsUrl, L"");
}

TEST_F(InstallerSettingsTest, SectionHeaderAloneTurnsTheNetworkCheckOn) {
    WriteConfig("[Install]\n");
    const InstallerSettings s = Load();
    EXPECT_TRUE(s.IsCheckNet);
    EXPECT_TRUE(s.IsEnableAppTracking);
    EXPECT_EQ(s.DownloadType, 1);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.7);
    EXPECT_EQ(s.DownloadUrl, L"http://download.lumivex.example/software/454");
}

TEST_F(InstallerSettingsTest, FileKeysAndTheirConversions) {
    struct Case {
        const char* lines;
        void (*check)(const InstallerSettings&);
    };
    const Case cases[] = {
        {"IsCheckNet=True", [](const InstallerSettings& s) { EXPECT_FALSE(s.IsCheckNet); }},
        {"IsCheckNet=1", [](const InstallerSettings& s) { EXPECT_FALSE(s.IsCheckNet); }},
        {"ischecknet = true ", [](const InstallerSettings& s) { EXPECT_TRUE(s.IsCheckNet); }},
        {"IsEnableAppTracking=false", [](const InstallerSettings& s) { EXPECT_FALSE(s.IsEnableAppTracking); }},
        {"DownloadType=3", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadType, 3); }},
        {"DownloadType=abc", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadType, 0); }},
        {"DownloadType= -2x", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadType, -2); }},
        {"DownloadType=", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadType, 1); }},
        {"DownloadType=99999999999", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadType, 0); }},
        {"DownloadScale=abc", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadScale, 0.0); }},
        {"DownloadScale=  0.25xyz", [](const InstallerSettings& s) { EXPECT_DOUBLE_EQ(s.DownloadScale, 0.25); }},
        {"DownloadScale=1e999", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadScale, 0.0); }},
        {"DownloadUrl=", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadUrl, L""); }},
        {"DownloadUrl=http://127.0.0.1:8080/p/${ROUTE}/x",
         [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadUrl, L"http://127.0.0.1:8080/p/download_silent/x"); }},
        {"m_DlAppVersion=2.0\nDlAppNameSuffix=.dl\nInstCmd=-a b",
         [](const InstallerSettings& s) {
             EXPECT_EQ(s.DlAppVersion, L"2.0");
             EXPECT_EQ(s.DlAppNameSuffix, L".dl");
             EXPECT_EQ(s.InstCmd, L"-a b");
         }},
        {"AppId=Other\nAppVersion=9.9", [](const InstallerSettings& s) {
             EXPECT_EQ(s.AppId, L"Lumivex");
             EXPECT_EQ(s.AppVersion, L"1.7.9");
         }},
        {"AnalyticsUrl=http://127.0.0.1:9/sa?project=pc",
         [](const InstallerSettings& s) { EXPECT_EQ(s.AnalyticsUrl, L"http://127.0.0.1:9/sa?project=pc"); }},
    };
    for (const auto& [lines, check] : cases) {
        SCOPED_TRACE(lines);
        WriteConfig(std::string("[Install]\r\n") + lines + "\r\n");
        check(Load());
    }
}

TEST_F(InstallerSettingsTest, ValuesAreCutToTheReadBuffer) {
    WriteConfig("[Install]\nInstCmd=" + std::string(300, 'x') + "\n");
    EXPECT_EQ(Load().InstCmd, std::wstring(259, L'x'));
}

TEST_F(InstallerSettingsTest, FileNameIsFoundWhateverItsCase) {
    WriteConfig("[install]\nDownloadType=2\n", "karvoinstallerconfig.INI");
    EXPECT_EQ(Load().DownloadType, 2);
}

TEST_F(InstallerSettingsTest, CommandLineOverridesTheFile) {
    WriteConfig("[Install]\nInstCmd=fromfile\nDownloadType=2\n");
    const InstallerSettings s = WithOptions(
        Load(), LR"("C:\dir\quorvane setup" -downloadtype=3 -ischecknet=true -instcmd=abc stray -language=9 -insnew=true)");
    EXPECT_EQ(s.DownloadType, 3);
    EXPECT_TRUE(s.IsCheckNet);
    EXPECT_EQ(s.InstCmd, L"abc");
    EXPECT_EQ(s.LanguageIndex, 9);
    EXPECT_TRUE(s.IsInsNew);
}

TEST_F(InstallerSettingsTest, OptionConversions) {
    struct Case {
        const wchar_t* commandLine;
        void (*check)(const InstallerSettings&);
    };
    const Case cases[] = {
        {L"p -ischecknet=true -ischecknet=false", [](const InstallerSettings& s) { EXPECT_TRUE(s.IsCheckNet); }},
        {L"p -ischecknet", [](const InstallerSettings& s) { EXPECT_FALSE(s.IsCheckNet); }},
        {L"p -isenableapptracking=TRUE", [](const InstallerSettings& s) { EXPECT_FALSE(s.IsEnableAppTracking); }},
        {L"p -downloadtype=abc", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadType, 0); }},
        {L"p -downloadtype=4294967297", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadType, 0); }},
        {L"p -downloadscale=abc", [](const InstallerSettings& s) { EXPECT_TRUE(std::isnan(s.DownloadScale)); }},
        {L"p -downloadscale=-1e400", [](const InstallerSettings& s) { EXPECT_TRUE(std::isnan(s.DownloadScale)); }},
        {L"p -downloadscale=0.5", [](const InstallerSettings& s) { EXPECT_DOUBLE_EQ(s.DownloadScale, 0.5); }},
        {L"p -downloadurl=http://h/${ROUTE}/${ROUTE}",
         [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadUrl, L"http://h/download_silent/download_silent"); }},
        {L"p -dlappnamesuffix=.x -dlappversion=3", [](const InstallerSettings& s) {
             EXPECT_EQ(s.DlAppNameSuffix, L".x");
             EXPECT_EQ(s.DlAppVersion, L"3");
         }},
        {L"p -DownloadType=3 downloadtype=3", [](const InstallerSettings& s) { EXPECT_EQ(s.DownloadType, 1); }},
        {L"p \"-instcmd=a b\" -analyticsurl=http://127.0.0.1:1/sa", [](const InstallerSettings& s) {
             EXPECT_EQ(s.InstCmd, L"a b");
             EXPECT_EQ(s.AnalyticsUrl, L"http://127.0.0.1:1/sa");
         }},
    };
    for (const auto& [commandLine, check] : cases) {
        SCOPED_TRACE(std::string(commandLine, commandLine + std::wcslen(commandLine)));
        check(WithOptions(Load(), commandLine));
    }
}

TEST(ResolveRouteTest, PlaceholderTable) {
    struct Case {
        const wchar_t* address;
        const wchar_t* osName;
        const wchar_t* resolved;
    };
    const Case cases[] = {
        {L"http://h/pkg/${ROUTE}/setup", L"10", L"http://h/pkg/download_silent/setup"},
        {L"http://h/pkg/${ROUTE}/setup", L"XP", L"http://h/pkg/download_silent_xp/setup"},
        {L"http://h/pkg/${ROUTE}/setup", L"XP-", L"http://h/pkg/download_silent_xp/setup"},
        {L"http://h/pkg/${ROUTE}/setup", L"Server 2003", L"http://h/pkg/download_silent/setup"},
        {L"http://h/${ROUTE}/a/${ROUTE}?q=1", L"12", L"http://h/download_silent/a/download_silent?q=1"},
        {L"http://h/${route}/setup", L"12", L"http://h/${route}/setup"},
        {L"http://h/software/454", L"XP", L"http://h/software/454"},
    };
    for (const auto& [address, osName, resolved] : cases) EXPECT_EQ(ResolveRoute(address, osName), resolved);
    EXPECT_EQ(ResolveRoute(L"http://h/${ROUTE}"), L"http://h/download_silent") << "Linux is never in the XP family";
}

}  // namespace
