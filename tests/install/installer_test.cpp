#include "install/child_command.h"
#include "install/installer.h"
#include "status_recorder.h"
#include "utils/paths.h"

#include <gtest/gtest.h>

namespace {

using testing_support::TempDir;


class InstallerRunTest : public ::testing::Test {
protected:
    // Runs `script` as the package and returns every report of the run.
    std::vector<Report> RunPackage(const std::string& script, const std::wstring& installDir = L"/opt/Lumivex") {
        const auto package = WriteScript(dir_ / "__Package_Lumivex.exe", script);
        {
            CInstaller installer(recorder_.callback(), L"\"" + Utils::WideFromPath(package) + L"\"", installDir);
            installer.Install();
        }
        return recorder_.reports();
    }
    TempDir dir_;
    StatusRecorder recorder_;
};

TEST(InstallerCommandLineTest, ExampleCommandLineAndItsArgv) {
    CInstaller installer([](int, double, const wchar_t*) {}, LR"("C:\T\__Package_Lumivex.exe")", L"");
    installer.InstallDir = LR"(D:\Apps\Lumivex)";
    installer.AdminAct = true;
    installer.AuthorizationAct = true;
    installer.CreateDesktopShortcut = true;
    installer.CreateQuickStart = false;
    installer.InsLang = L"zh-CN";
    EXPECT_EQ(installer.BuildCommandLine(),
              LR"("C:\T\__Package_Lumivex.exe" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true -dsc=true -ssc=false -inslang="zh-CN" -instdir="D:\Apps\Lumivex" /D=D:\Apps\Lumivex)");
    installer.InstallDir.clear();
    installer.InsLang.clear();
    installer.InstCmd = L"-extra=\"a b\"";
    EXPECT_EQ(installer.BuildCommandLine(),
              LR"("C:\T\__Package_Lumivex.exe" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true -dsc=true -ssc=false -extra="a b")");
}

TEST(InstallerCommandLineTest, ArgvKeepsQuotedAndTrailingFoldersWhole) {
    const std::wstring line = LR"( /S -dsc=true -inslang="zh-CN" -instdir="/home/a b/Lumivex" /D=/home/a b/Lumivex)";
    EXPECT_EQ(BuildChildArgv(L"/tmp/x y/__Package_Lumivex.exe", line),
              (std::vector<std::wstring>{L"/tmp/x y/__Package_Lumivex.exe", L"/S", L"-dsc=true", L"-inslang=zh-CN",
                                         L"-instdir=/home/a b/Lumivex", L"/D=/home/a b/Lumivex"}));
    EXPECT_EQ(BuildChildArgv(L"/u", L" /S -console=show _?=/old dir/x"),
              (std::vector<std::wstring>{L"/u", L"/S", L"-console=show", L"_?=/old dir/x"}));
    EXPECT_EQ(BuildChildArgv(L"/p", L""), (std::vector<std::wstring>{L"/p"}));
}

TEST(InstallerParseTest, KeysValuesAndResults) {
    struct Case {
        std::wstring chunk;
        int result;
        std::vector<Report> reports;
    };
    const std::wstring longValue(900, L'v');
    const Case cases[] = {
        {L"Progress=0.5\nState=Success\n", 1, {{2002, 0.5, L""}, {2003, 0.0, L""}}},
        {L"State= Success \r\n", 1, {{2003, 0.0, L""}}},
        {L"State=success\nState=Done\n", 0, {}},
        {L"State=Fail\n", 1000, {{2004, 0.0, L"安装包安装失败"}}},
        {L"Error=disk full\r\n", 1000, {{2004, 1000.0, L"disk full\r"}}},
        {L"State=Fail\nState=Success", 1, {{2004, 0.0, L"安装包安装失败"}, {2003, 0.0, L""}}},
        {L"InstPath=/opt/Lumivex\r\nUninstEp=/opt/Lumivex/uninst.ep\n",
         0, {{3000, 0.0, L"/opt/Lumivex\r"}, {3003, 0.0, L"/opt/Lumivex/uninst.ep"}}},
        {L"ExePath=/opt/L/Lumivex.exe\nStartExe=/s\nUninstExePath=/u1\nUninstExe=/u2\n",
         0, {{3001, 0.0, L"/opt/L/Lumivex.exe"}, {3001, 0.0, L"/s"}, {3002, 0.0, L"/u1"}, {3002, 0.0, L"/u2"}}},
        {L"TopShowDetention=-1\nFinsihCloseDetention=3000\nTopShowDetention=x\n",
         0, {{3007, 4294967295.0, L""}, {3008, 3000.0, L""}, {3007, 0.0, L""}}},
        {L"StartupStyle=AutoStartup\nStartupStyle= UserStartup\nStartupStyle=NonStartup\nStartupStyle=odd\n",
         0, {{3005, 1.0, L""}, {3005, 2.0, L""}, {3005, 0.0, L""}, {3005, 0.0, L""}}},
        {L"StartUrl=http://127.0.0.1/x\nMessage=\n", 0, {{3004, 0.0, L"http://127.0.0.1/x"}, {3009, 0.0, L""}}},
        {L"Progress=abc\n  Progress=0.9\nxProgress=1\n", 0, {{2002, 0.0, L""}}},
        {L"InstPath=" + longValue, 0, {{3000, 0.0, std::wstring(771, L'v')}}},
        {L"", 0, {}},
    };
    for (const auto& [chunk, result, reports] : cases) {
        StatusRecorder recorder;
        CInstaller installer(recorder.callback(), L"\"/p\"", L"");
        EXPECT_EQ(installer.Parse(chunk), result) << chunk.substr(0, 40).size();
        EXPECT_EQ(recorder.reports(), reports);
    }
}

TEST(InstallerParseTest, VersionAndEncodingAreRemembered) {
    CInstaller installer([](int, double, const wchar_t*) {}, L"\"/p\"", L"");
    EXPECT_EQ(installer.Parse(L"InstallVersion=2.5.9\nEncode=UTF8\n"), 0);
    EXPECT_EQ(installer.InstallVersion().major, 2);
    EXPECT_EQ(installer.InstallVersion().patch, 9);
    EXPECT_EQ(installer.CodePage(), 65001u);
    installer.Parse(L"InstallVersion=3\nEncode= 936 \n");
    EXPECT_EQ(installer.InstallVersion().major, 3);
    EXPECT_EQ(installer.InstallVersion().minor, 5) << "fields not matched keep their values";
    EXPECT_EQ(installer.CodePage(), 936u);
    installer.Parse(L"Encode=ACP\n");
    EXPECT_EQ(installer.CodePage(), 0u);
    installer.Parse(L"Encode=junk\n");
    EXPECT_EQ(installer.CodePage(), 0u);
}

TEST_F(InstallerRunTest, ProgressOnlyThenExitIsInferredSuccess) {
    EXPECT_EQ(RunPackage("echo Progress=0.25\necho Progress=0.75\nexit 3\n"),
              (std::vector<Report>{{2001, 0, L""}, {2002, 0, L""}, {2002, 0.25, L""}, {2002, 0.75, L""}, {2003, 1.0, L""}}));
}

TEST_F(InstallerRunTest, AnnouncedSuccessIsNotRepeatedAtExit) {
    EXPECT_EQ(RunPackage("printf 'Progress=0.5\\nState=Success\\n'\nsleep 0.2\n"),
              (std::vector<Report>{{2001, 0, L""}, {2002, 0, L""}, {2002, 0.5, L""}, {2003, 0.0, L""}}));
}

TEST_F(InstallerRunTest, FailureWrittenJustBeforeExitStillCounts) {
    const auto reports = RunPackage("echo Progress=0.9\nprintf 'State=Fail\\n'\nexit 0\n");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), (Report{2004, 0.0, L"安装包安装失败"}));
    for (const auto& report : reports) EXPECT_NE(report.code, 2003);
}

TEST_F(InstallerRunTest, DeathBySignalIsAFailure) {
    const auto reports = RunPackage("echo Progress=0.1\nkill -9 $$\n");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), (Report{2004, 0.0, L"安装包安装失败"}));
}

TEST_F(InstallerRunTest, PackageThatCannotStart) {
    const std::vector<Report> expected{{2001, 0, L""}, {2002, 0, L""}, {2004, 2.0, L""}};
    {
        CInstaller installer(recorder_.callback(), L"\"/nonexistent/__Package_Lumivex.exe\"", L"/opt/x");
        installer.Install();
    }
    EXPECT_EQ(recorder_.reports(), expected);
    recorder_.clear();
    EXPECT_EQ(RunPackage("echo State=Success\n", L"/opt/" + std::wstring(1000, L'd')), expected)
        << "a command line of 1024 characters or more is a start failure, never cut";
}

TEST_F(InstallerRunTest, FolderWithBlanksArrivesWholeAndEncodingSwitchesNextChunk) {
    const auto reports = RunPackage(
        "for a in \"$@\"; do case \"$a\" in /D=*) echo \"InstPath=${a#/D=}\";; esac; done\n"
        "printf 'Encode=936\\n'\nsleep 0.3\nprintf 'Message=\\326\\320\\316\\304\\n'\nsleep 0.3\necho State=Success\n",
        L"/tmp/a b/Lumivex");
    const std::vector<Report> expected{{2001, 0, L""},
                                       {2002, 0, L""},
                                       {3000, 0, L"/tmp/a b/Lumivex"},
                                       {3009, 0, L"中文"},
                                       {2003, 0, L""}};
    EXPECT_EQ(reports, expected);
}

TEST_F(InstallerRunTest, InvalidBytesBecomeReplacementCharacters) {
    const auto reports = RunPackage("printf 'Encode=UTF8\\n'\nsleep 0.3\nprintf 'Message=a\\377\\344\\270\\n'\n");
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports[2], (Report{3009, 0, L"a\uFFFD\uFFFD"}));
}

TEST_F(InstallerRunTest, GrandchildKeepingTheOutputOpenDoesNotHoldTheRun) {
    const auto reports = RunPackage("sleep 2 &\necho Progress=0.5\n");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), (Report{2003, 1.0, L""}));
}

}  // namespace
