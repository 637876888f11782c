#include "analytics_collector/collector_server.h"
#include "package_server/package_server.h"
#include "testing/sandbox.h"
#include "utils/ini.h"
#include "utils/instance_lock.h"
#include "utils/paths.h"
#include "utils/process.h"
#include "utils/registry.h"
#include "utils/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sstream>
#include <sys/mount.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::UserSandbox;
using testing_support::WriteFile;

struct RunResult {
    int exitCode = -1;
    std::string progress;  // standard error without the diagnostic lines
};

class SilentInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        packagePath_ = server_.AddPackage("setup.exe", ReadFile(QV_SAMPLE_PACKAGE));
        sandbox_.setEnv("QUORVANE_PRODUCT_SECONDS", "0");
    }

    // Runs the installer silently; `whileRunning` is called once it has started.
    RunResult Install(std::vector<std::string> options, const std::function<void(pid_t)>& whileRunning = {}) {
        std::vector<std::wstring> argv{Utils::Utf8ToWideLenient(QV_INSTALLER), L"-silent=true",
                                       L"-downloadurl=" + Utils::Utf8ToWideLenient(server_.Url(packagePath_)),
                                       L"-installdir=" + Utils::WideFromPath(folder())};
        // Tracking goes to a collector stand-in, or is off: never to the default address.
        if (std::none_of(options.begin(), options.end(), [](const std::string& o) { return o.starts_with("-analyticsurl="); }))
            options.push_back("-isenableapptracking=false");
        for (const auto& option : options) argv.push_back(Utils::Utf8ToWideLenient(option));
        std::wstring commandLine;
        for (const auto& arg : argv) commandLine += (commandLine.empty() ? L"" : L" ") + arg;
        Utils::ConsoleProcess process;
        process.Start(commandLine, argv);
        if (whileRunning) whileRunning(process.ProcessId());
        RunResult result;
        std::string errors;
        char buffer[4096];
        for (long got; (got = process.ReadError(buffer, sizeof buffer)) > 0;) errors.append(buffer, static_cast<std::size_t>(got));
        const auto status = process.Wait();
        result.exitCode = status.state == Utils::ConsoleProcess::State::Exited ? status.exitCode : 1000 + status.signal;
        std::istringstream lines(errors);
        for (std::string line; std::getline(lines, line);)
            if (!line.starts_with("<P")) result.progress += line + "\n";
        return result;
    }
    fs::path folder() const { return sandbox_.root() / "apps"; }
    fs::path product() const { return folder() / "Lumivex"; }

    UserSandbox sandbox_;
    package_server::PackageServer server_;
    std::string packagePath_;
};

TEST_F(SilentInstallTest, InstallsRecordsAndReportsProgressToTheEnd) {
    const RunResult run = Install({});
    EXPECT_EQ(run.exitCode, 0) << run.progress;
    for (const char* file : {"Lumivex.exe", "uninst.ep", "set.ini"}) EXPECT_TRUE(fs::exists(product() / file)) << file;
    EXPECT_FALSE(fs::exists(product() / "__Package_Lumivex.exe"));
    std::uint32_t type = 0;
    std::wstring value;
    ASSERT_TRUE(Utils::RegReadString(L"InstallPath", type, value));
    EXPECT_EQ(value, Utils::WideFromPath(product()));
    ASSERT_TRUE(Utils::RegReadString(L"UnInstallEp", type, value));
    EXPECT_EQ(value, Utils::WideFromPath(product() / "uninst.ep"));
    EXPECT_EQ(Utils::IniReadString(L"Install", L"AppName", L"", product() / "set.ini"), L"Lumivex");
    // Plain lines, one per whole percent, ending at 100, then the outcome.
    const std::string outcome = "Quorvane is installed in " + product().string() + "\n";
    ASSERT_TRUE(run.progress.ends_with(outcome)) << run.progress;
    const std::string beforeOutcome = run.progress.substr(0, run.progress.size() - outcome.size());
    EXPECT_TRUE(beforeOutcome.substr(beforeOutcome.rfind('\n', beforeOutcome.size() - 2) + 1).starts_with("100% "))
        << beforeOutcome;
    EXPECT_NE(run.progress.find("70% "), std::string::npos);
    EXPECT_EQ(run.progress.find("101%"), std::string::npos);
}

TEST_F(SilentInstallTest, FailuresHaveTheirExitCodesAndLeaveNoPackage) {
    server_.AddRule({"", "", -1, package_server::Fault{404}});
    EXPECT_EQ(Install({}).exitCode, 1);
    EXPECT_FALSE(fs::exists(product() / "__Package_Lumivex.exe"));
    server_.ClearRules();

    sandbox_.setEnv("QUORVANE_SAMPLE_SCRIPT", WriteFile(sandbox_.root() / "fail", "say Progress=0.5\nsay State=Fail\n").string());
    const RunResult failed = Install({});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_NE(failed.progress.find("安装包安装失败"), std::string::npos) << failed.progress;
    EXPECT_FALSE(fs::exists(product() / "__Package_Lumivex.exe"));
    std::uint32_t type = 0;
    std::wstring value;
    EXPECT_FALSE(Utils::RegReadString(L"InstallPath", type, value)) << "nothing is recorded after a failure";
}

TEST_F(SilentInstallTest, AnotherInstanceHoldsTheLock) {
    Utils::InstanceLock lock(L"Installer_Lumivex");
    lock.Acquire();
    ASSERT_TRUE(lock.IsHeld());
    EXPECT_EQ(Install({}).exitCode, 255);
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(SilentInstallTest, InterruptDuringTheDownloadRemovesThePackage) {
    server_.AddRule({"GET", "", -1, package_server::Fault{0, std::nullopt, std::chrono::milliseconds(0), false, false, false, 200000}});
    const RunResult run = Install({}, [&](pid_t pid) {
        // Wait until the package is being written, then ask the installer to stop.
        for (int i = 0; i < 200 && !fs::exists(product() / "__Package_Lumivex.exe.part") &&
                        !fs::exists(product() / "__Package_Lumivex.exe");
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::kill(pid, SIGINT);
    });
    EXPECT_EQ(run.exitCode, 130) << run.progress;
    for (const char* leftover : {"__Package_Lumivex.exe", "__Package_Lumivex.exe.part"})
        EXPECT_FALSE(fs::exists(product() / leftover)) << leftover;
}

TEST_F(SilentInstallTest, LowDiskSpaceIsRefusedBeforeAnyDownload) {
    fs::create_directories(folder());
    ASSERT_EQ(::mount("tmpfs", folder().c_str(), "tmpfs", 0, "size=16m"), 0) << "the suite runs as root in its own mount namespace";
    const RunResult run = Install({});
    ::umount(folder().c_str());
    EXPECT_EQ(run.exitCode, 5) << run.progress;
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(SilentInstallTest, TrackingSwitchedOffSendsNothing) {
    analytics_collector::CollectorServer collector;
    ASSERT_TRUE(collector.bound());
    EXPECT_EQ(Install({"-analyticsurl=" + collector.Url(), "-isenableapptracking=false"}).exitCode, 0);
    EXPECT_TRUE(collector.Requests().empty());
    EXPECT_FALSE(fs::exists(sandbox_.stateHome() / "KVLocal"));
}

TEST_F(SilentInstallTest, SendsTheInstallEventsToTheCollector) {
    analytics_collector::CollectorServer collector;
    ASSERT_TRUE(collector.bound());
    const RunResult run = Install({"-analyticsurl=" + collector.Url()});
    ASSERT_EQ(run.exitCode, 0) << run.progress;
    // Every event has reached the collector by the time the installer has exited.
    std::vector<std::string> events;
    for (const Json::Value& record : collector.Records()) {
        const Json::Value& properties = record["properties"];
        const std::string kind = record["event"].asString();
        if (kind == "KvEventTask") events.push_back("task " + properties["kv_task_name"].asString());
        else if (kind == "KvEventView") events.push_back("view " + properties["kv_name"].asString());
        else events.push_back(kind);
        EXPECT_EQ(properties["kvc_ab"].asString(), "IN") << kind;
        EXPECT_EQ(properties["kv_app_platform"].asString(), "Linux") << kind;
        EXPECT_EQ(properties["kv_app_id"].asString(), "Lumivex.downloader") << kind;
    }
    EXPECT_EQ(events, (std::vector<std::string>{"view 安装中", "task 下载器启动", "task 开始下载大包", "task 大包下载完毕",
                                                "task 安装成功"}));
}

TEST(CrashReportingTest, CrashIsReportedAndTheProcessStillDiesBySigsegv) {
    UserSandbox sandbox;
    analytics_collector::CollectorServer collector;
    ASSERT_TRUE(collector.bound());
    Utils::ConsoleProcess process;
    const std::wstring program = Utils::Utf8ToWideLenient(QV_CRASH_PROGRAM);
    const std::wstring url = Utils::Utf8ToWideLenient(collector.Url());
    process.Start(program + L" " + url, {program, url});
    const auto status = process.Wait();
    EXPECT_EQ(status.state, Utils::ConsoleProcess::State::Killed);
    EXPECT_EQ(status.signal, SIGSEGV);
    std::vector<std::string> events;
    for (const Json::Value& record : collector.Records()) {
        const std::string kind = record["event"].asString();
        events.push_back(kind == "KvEventTask" ? "task " + record["properties"]["kv_task_name"].asString() : kind);
    }
    EXPECT_NE(std::find(events.begin(), events.end(), "task 崩溃退出"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "AppCrashed"), events.end()) << ::testing::PrintToString(events);
}

}  // namespace

