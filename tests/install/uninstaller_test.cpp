#include "install/uninstaller.h"
#include "status_recorder.h"
#include "utils/paths.h"

#include <gtest/gtest.h>

namespace {

using testing_support::TempDir;

class UninstallerTest : public ::testing::Test {
protected:
    std::vector<Report> RunUninstaller(const std::string& script, const std::wstring& oldDir = L"/old dir/Lumivex") {
        const auto exe = WriteScript(dir_ / "Lumivex_un_asa.exe", script);
        {
            CUninstaller uninstaller(recorder_.callback(), Utils::WideFromPath(exe), oldDir);
            uninstaller.Start();
        }
        return recorder_.reports();
    }
    TempDir dir_;
    StatusRecorder recorder_;
};

TEST(UninstallerCommandLineTest, Example) {
    CUninstaller uninstaller([](int, double, const wchar_t*) {}, LR"(C:\T\~KarVoTemp.92482B06FB471E17\\Lumivex_un_asa.exe)",
                             LR"(D:\Apps\Lumivex)");
    EXPECT_EQ(uninstaller.BuildCommandLine(true, true),
              LR"(C:\T\~KarVoTemp.92482B06FB471E17\\Lumivex_un_asa.exe /S -adminact=true -authorizationact=true -console=show _?=D:\Apps\Lumivex)");
    EXPECT_NE(uninstaller.BuildCommandLine(false, true).find(L" /S -adminact=false -authorizationact=true "), std::wstring::npos);
}

TEST(UninstallerParseTest, ReducedProtocol) {
    struct Case {
        std::wstring chunk;
        int result;
        std::vector<Report> reports;
    };
    const Case cases[] = {
        {L"Progress=0.5\n", 0, {{5002, 0.5, L""}}},
        {L"State= Success\r\n", 1, {{5003, 0.0, L""}}},
        {L"State=Fail\n", 1000, {{5005, 0.0, L"安装包卸载失败"}}},
        {L"Error=locked\r\n", 1000, {{5005, 0.0, L"locked\r"}}},
        {L"InstPath=/x\nExePath=/y\nState=success\n", 0, {}},
    };
    for (const auto& [chunk, result, reports] : cases) {
        StatusRecorder recorder;
        CUninstaller uninstaller(recorder.callback(), L"/u", L"/d");
        EXPECT_EQ(uninstaller.Parse(chunk), result);
        EXPECT_EQ(recorder.reports(), reports);
    }
    CUninstaller uninstaller([](int, double, const wchar_t*) {}, L"/u", L"/d");
    uninstaller.Parse(L"Encode=UTF8\n");
    EXPECT_EQ(uninstaller.CodePage(), 65001u);
    uninstaller.Parse(L"Encode=936\n");
    EXPECT_EQ(uninstaller.CodePage(), 0u) << "anything but UTF8 selects the system code page";
}

TEST_F(UninstallerTest, ProgressOnlyThenExit) {
    EXPECT_EQ(RunUninstaller("echo Progress=0.5\n"),
              (std::vector<Report>{{5002, 0.0, L""}, {5002, 0.5, L""}, {5003, 1.0, L""}}));
}

TEST_F(UninstallerTest, SuccessLineThenMoreOutputReportsOneSuccess) {
    EXPECT_EQ(RunUninstaller("echo State=Success\nsleep 0.2\necho Progress=0.9\n"),
              (std::vector<Report>{{5002, 0.0, L""}, {5003, 0.0, L""}, {5002, 0.9, L""}}));
}

TEST_F(UninstallerTest, FailureAndDeathBySignal) {
    EXPECT_EQ(RunUninstaller("echo State=Fail\n"), (std::vector<Report>{{5002, 0.0, L""}, {5005, 0.0, L"安装包卸载失败"}}));
    recorder_.clear();
    EXPECT_EQ(RunUninstaller("kill -9 $$\n"), (std::vector<Report>{{5002, 0.0, L""}, {5005, 0.0, L"安装包卸载失败"}}));
}

TEST_F(UninstallerTest, FolderWithBlanksArrivesAsOneArgument) {
    const auto reports = RunUninstaller("for a in \"$@\"; do case \"$a\" in _?=*) echo \"Error=${a#_?=}\";; esac; done\n");
    EXPECT_EQ(reports, (std::vector<Report>{{5002, 0.0, L""}, {5005, 0.0, L"/old dir/Lumivex"}}));
}

TEST_F(UninstallerTest, MissingOrUnstartableUninstaller) {
    {
        CUninstaller uninstaller(recorder_.callback(), Utils::WideFromPath(dir_ / "missing.exe"), L"/d");
        uninstaller.Start();
    }
    EXPECT_EQ(recorder_.reports(), (std::vector<Report>{{5004, 1.0, L"可执行卸载文件不存在"}}));
    recorder_.clear();
    testing_support::WriteFile(dir_ / "not-executable.exe", "data");
    {
        CUninstaller uninstaller(recorder_.callback(), Utils::WideFromPath(dir_ / "not-executable.exe"), L"/d");
        uninstaller.Start();
    }
    EXPECT_EQ(recorder_.reports(), (std::vector<Report>{{5002, 0.0, L""}, {5004, 2.0, L""}}));
}

}  // namespace
