#include "install/download_installer.h"
#include "install/installer.h"
#include "install/uninstaller.h"
#include "package_server/package_server.h"
#include "status_recorder.h"
#include "utils/ini.h"
#include "utils/paths.h"
#include "utils/process.h"
#include "utils/text.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::UserSandbox;

// A package standing in for the real one: it installs a product file into the
// folder given by /D= and reports through the console protocol. Packages are at
// least 1 MiB, so the script is padded after its last command.
const std::string kPackage = std::string(
    "#!/bin/sh\n"
    "for a in \"$@\"; do case \"$a\" in /D=*) dir=\"${a#/D=}\";; esac; done\n"
    "echo Progress=0.3\n"
    "printf 'product' > \"$dir/Lumivex.exe\"\n"
    "echo \"InstPath=$dir\"\n"
    "echo Progress=1\n"
    "echo State=Success\n"
    "exit 0\n#") + std::string(1 << 20, 'x') + "\n";

class CurlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { curl_global_init(CURL_GLOBAL_ALL); }
    void TearDown() override { curl_global_cleanup(); }
};
[[maybe_unused]] const auto* const g_curl = ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

class DownloadInstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        url_ = Utils::Utf8ToWideLenient(server_.Url(server_.AddPackage("setup.exe", kPackage)));
    }
    std::unique_ptr<CDownloadInstaller> MakeDriver(std::int32_t downloadType = 1) {
        return std::make_unique<CDownloadInstaller>(recorder_.callback(), DriverSettings{downloadType, false, L""});
    }
    std::wstring InstallDir(const char* leaf = "Apps/Lumivex") const {
        return Utils::WideFromPath(sandbox_.root() / leaf);
    }
    // An uninstaller of the previous version that records how it was run.
    std::wstring PreviousUninstaller(const std::string& outcome) {
        const fs::path folder = sandbox_.root() / "old version";
        WriteScript(folder / "uninst.ep", "printf '%s|' \"$0\" \"$@\" > \"" + (sandbox_.root() / "uninstall.log").string() +
                                              "\"\necho Progress=0.5\n" + outcome);
        return Utils::WideFromPath(folder / "uninst.ep");
    }

    UserSandbox sandbox_;
    package_server::PackageServer server_;
    std::wstring url_;
    StatusRecorder recorder_;
};

TEST_F(DownloadInstallerTest, DownloadsInstallsAndRemovesThePackage) {
    for (std::int32_t downloadType : {0, 1, 7, 2, 3}) {
        SCOPED_TRACE(downloadType);
        recorder_.clear();
        const std::wstring dir = InstallDir(("type " + std::to_string(downloadType) + "/Lumivex").c_str());
        auto driver = MakeDriver(downloadType);
        driver->SetInstallParams(url_, L"", L"", dir, true, true, true, true, L"");
        driver->Start();
        ASSERT_TRUE(recorder_.waitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL}));
        driver.reset();
        const auto codes = recorder_.codes();
        ASSERT_GE(codes.size(), 4u);
        EXPECT_EQ(codes.front(), DL_CODE_START);
        EXPECT_EQ(codes.back(), IST_CODE_SUCCESS);
        const std::vector<int> stages(codes.begin(), codes.end());
        EXPECT_NE(std::find(stages.begin(), stages.end(), DL_CODE_SUCCESS), stages.end());
        EXPECT_NE(std::find(stages.begin(), stages.end(), IST_CODE_START), stages.end());
        EXPECT_EQ(ReadFile(Utils::PathFromWide(dir) / "Lumivex.exe"), "product");
        EXPECT_FALSE(fs::exists(Utils::PathFromWide(dir) / "__Package_Lumivex.exe"));
        const auto reports = recorder_.reports();
        EXPECT_NE(std::find(reports.begin(), reports.end(), Report{IST_INFO_INSTPATH, 0, dir}), reports.end());
    }
}

TEST_F(DownloadInstallerTest, PreviousVersionIsUninstalledFirstWithItsCommandLine) {
    const std::wstring uninstaller = PreviousUninstaller("echo State=Success\n");
    auto driver = MakeDriver();
    const std::wstring dir = InstallDir("with blanks/Lumivex");
    driver->SetInstallParams(url_, L"", uninstaller, dir, true, false, true, true, L"zh-CN");
    driver->Start();
    ASSERT_TRUE(recorder_.waitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL, UNIST_CODE_FAIL, UNIST_CODE_ERROR}));
    driver.reset();
    const auto codes = recorder_.codes();
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[0], UNIST_CODE_PROGRESS);
    EXPECT_EQ(codes[1], UNIST_CODE_SUCCESS);
    EXPECT_EQ(codes[2], DL_CODE_START) << "the download starts only after the uninstaller succeeded";
    EXPECT_EQ(codes.back(), IST_CODE_SUCCESS);
    const std::string copy = Utils::WideToUtf8(Utils::TempWorkFolder()) + "Lumivex_un_asa.exe";
    const std::string log = ReadFile(sandbox_.root() / "uninstall.log");
    EXPECT_EQ(log.substr(0, copy.size() + 4), copy + "|/S|");
    EXPECT_NE(log.find("|-console=show|_?=" + (sandbox_.root() / "old version").string() + "|"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(copy.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(DownloadInstallerTest, FailingUninstallerStopsTheChain) {
    for (const std::string outcome : {"echo State=Fail\n", "echo Error=busy\n"}) {
        recorder_.clear();
        server_.ClearRequests();
        auto driver = MakeDriver();
        driver->SetInstallParams(url_, L"", PreviousUninstaller(outcome), InstallDir(), true, true, true, true, L"");
        driver->Start();
        ASSERT_TRUE(recorder_.waitFor({UNIST_CODE_ERROR, UNIST_CODE_SUCCESS}));
        driver.reset();
        EXPECT_EQ(recorder_.codes().back(), UNIST_CODE_ERROR);
        EXPECT_TRUE(server_.Requests().empty()) << "no download after a failed uninstall";
    }
}

TEST_F(DownloadInstallerTest, PlantedWorkFolderIsNeverUsed) {
    // Someone else's work folder holding an "uninstaller copy": the copy cannot be
    // made, so the uninstaller counts as missing and the planted file never runs.
    const fs::path planted = sandbox_.runtimeDir() / "~KarVoTemp.92482B06FB471E17";
    const fs::path marker = sandbox_.root() / "planted-ran";
    WriteScript(planted / "Lumivex_un_asa.exe", "touch '" + marker.string() + "'\necho State=Success\n");
    ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
    auto driver = MakeDriver();
    driver->SetInstallParams(url_, L"", PreviousUninstaller("echo State=Success\n"), InstallDir(), true, true, true, true, L"");
    driver->Start();
    ASSERT_TRUE(recorder_.waitFor({UNIST_CODE_FAIL, UNIST_CODE_SUCCESS}));
    driver.reset();
    EXPECT_EQ(recorder_.reports().back(), (Report{UNIST_CODE_FAIL, 1.0, L"可执行卸载文件不存在"}));
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(DownloadInstallerTest, ForcedInstallWaitsForTheRunningProductWithoutBlockingStart) {
    // A running program whose file name is the product's.
    const fs::path product = sandbox_.root() / "bin/Lumivex.exe";
    fs::create_directories(product.parent_path());
    fs::copy_file("/bin/sleep", product);
    Utils::ConsoleProcess running;
    running.Start(Utils::WideFromPath(product) + L" 30", {Utils::WideFromPath(product), L"30"});
    ASSERT_NE(Utils::FindProcessByName(L"Lumivex.exe"), 0u);

    CDownloadInstaller driver(recorder_.callback(), DriverSettings{1, true, L""});
    driver.SetInstallParams(url_, L"", PreviousUninstaller("echo State=Success\n"), InstallDir(), true, true, true, true, L"");
    driver.Start();  // returns although the product still runs
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(recorder_.reports().empty()) << "nothing is uninstalled while the product runs";
    ::kill(running.ProcessId(), SIGKILL);
    running.Wait();
    ASSERT_TRUE(recorder_.waitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL, UNIST_CODE_FAIL, UNIST_CODE_ERROR}));
    EXPECT_EQ(recorder_.codes().front(), UNIST_CODE_PROGRESS);
}

TEST_F(DownloadInstallerTest, RetryAfterAFailedDownloadDownloadsAgain) {
    for (std::int32_t downloadType : {1, 2, 3}) {
        SCOPED_TRACE(downloadType);
        recorder_.clear();
        server_.ClearRules();
        server_.AddRule({"", "", -1, package_server::Fault{404}});
        auto driver = MakeDriver(downloadType);
        const std::wstring dir = InstallDir(("retry " + std::to_string(downloadType) + "/Lumivex").c_str());
        driver->SetInstallParams(url_, L"", L"", dir, true, true, true, true, L"");
        driver->Start();
        ASSERT_TRUE(recorder_.waitFor({DL_CODE_FAIL, IST_CODE_SUCCESS}));
        EXPECT_EQ(recorder_.codes().back(), DL_CODE_FAIL);
        EXPECT_FALSE(fs::exists(Utils::PathFromWide(driver->GetPackagePath())));
        server_.ClearRules();
        recorder_.clear();
        driver->Start();  // the same driver, and with it the same downloader
        ASSERT_TRUE(recorder_.waitFor({DL_CODE_FAIL, IST_CODE_SUCCESS}));
        driver.reset();
        EXPECT_EQ(recorder_.codes().back(), IST_CODE_SUCCESS);
        EXPECT_EQ(ReadFile(Utils::PathFromWide(dir) / "Lumivex.exe"), "product");
    }
}

}  // namespace

namespace {

class SamplePackageTest : public DownloadInstallerTest {
protected:
    static std::string SamplePackage() { return ReadFile(QV_SAMPLE_PACKAGE); }
};

TEST_F(SamplePackageTest, InstallsAndUninstallsARealProductFolder) {
    const std::string sampleUrl = server_.Url(server_.AddPackage("setup.exe", SamplePackage()));
    const std::wstring dir = InstallDir("Programs/Lumivex");
    auto driver = MakeDriver();
    driver->SetInstallParams(Utils::Utf8ToWideLenient(sampleUrl), L"", L"", dir, true, true, true, true, L"de-DE");
    driver->Start();
    ASSERT_TRUE(recorder_.waitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL}));
    driver.reset();

    // Download progress is reported at most once a second, so a fast local
    // download may have none; every other stage code comes in this order.
    std::vector<int> stages;
    for (int code : recorder_.codes())
        if (code < 3000 && code != DL_CODE_PROGRESS && (stages.empty() || stages.back() != code)) stages.push_back(code);
    EXPECT_EQ(stages, (std::vector<int>{DL_CODE_START, DL_CODE_SUCCESS, IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_SUCCESS}));

    const fs::path folder = Utils::PathFromWide(dir);
    EXPECT_FALSE(fs::exists(folder / "__Package_Lumivex.exe"));
    for (const char* file : {"Lumivex.exe", "uninst.ep", "samples.bin", "config.ini"}) EXPECT_TRUE(fs::exists(folder / file)) << file;
    EXPECT_EQ(Utils::IniReadString(L"Install", L"Language", L"", folder / "config.ini"), L"de-DE");
    EXPECT_TRUE(fs::exists(sandbox_.home() / "Desktop/quorvane.desktop"));
    EXPECT_TRUE(fs::exists(sandbox_.dataHome() / "applications/quorvane.desktop"));
    const auto reports = recorder_.reports();
    for (const Report& wanted : {Report{IST_INFO_INSTPATH, 0, dir}, Report{IST_INFO_EXEPATH, 0, dir + L"/Lumivex.exe"},
                                 Report{IST_INFO_UNINSTEP, 0, dir + L"/uninst.ep"}, Report{IST_INFO_STARTUPSTYLE, 1, L""}})
        EXPECT_NE(std::find(reports.begin(), reports.end(), wanted), reports.end()) << wanted;

    // The installed uninstaller, run the way the next installer would run it, removes the product.
    StatusRecorder uninstall;
    {
        CUninstaller uninstaller(uninstall.callback(), dir + L"/uninst.ep", dir);
        uninstaller.Start();
    }
    EXPECT_EQ(uninstall.codes().back(), UNIST_CODE_SUCCESS);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(sandbox_.home() / "Desktop/quorvane.desktop"));
}

TEST_F(SamplePackageTest, ScriptedModeSpeaksWhatItIsToldIncludingInvalidText) {
    const fs::path script = testing_support::WriteFile(sandbox_.root() / "script",
                                                       "say Encode=UTF8\nsleep 200\nraw 4d6573736167653d61ff0a\nsay Progress=0.5\ncrash\n");
    sandbox_.setEnv("QUORVANE_SAMPLE_SCRIPT", script.string());
    const std::string sampleUrl = server_.Url(server_.AddPackage("setup.exe", SamplePackage()));
    auto driver = MakeDriver();
    driver->SetInstallParams(Utils::Utf8ToWideLenient(sampleUrl), L"", L"", InstallDir(), true, true, true, true, L"");
    driver->Start();
    ASSERT_TRUE(recorder_.waitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL}));
    driver.reset();
    const auto reports = recorder_.reports();
    EXPECT_NE(std::find(reports.begin(), reports.end(), Report{IST_INFO_MESSAGE, 0, L"a\uFFFD"}), reports.end());
    EXPECT_EQ(reports.back(), (Report{IST_CODE_FAIL, 0.0, L"安装包安装失败"})) << "a crashed package is a failure";
    EXPECT_FALSE(fs::exists(Utils::PathFromWide(InstallDir()) / "__Package_Lumivex.exe"));
}

}  // namespace
