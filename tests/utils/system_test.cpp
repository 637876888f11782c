#include "child_program.h"

#include "testing/sandbox.h"
#include "utils/log.h"
#include "utils/process.h"
#include "utils/system.h"
#include "utils/text.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Utils::ConsoleProcess;
using Utils::NetworkStatusSource;
using utils_test::ReadToEnd;

std::mutex g_linesMutex;
std::vector<std::wstring> g_lines;

void CaptureLine(std::wstring_view line) {
    std::lock_guard lock(g_linesMutex);
    g_lines.emplace_back(line);
}

// Captures the diagnostic lines written while it lives.
class LogCapture {
public:
    LogCapture() {
        std::lock_guard lock(g_linesMutex);
        g_lines.clear();
        previous_ = Utils::SetDebugOutputSink(&CaptureLine);
    }
    ~LogCapture() { Utils::SetDebugOutputSink(previous_); }
    std::vector<std::wstring> Lines() const {
        std::lock_guard lock(g_linesMutex);
        return g_lines;
    }

private:
    Utils::DebugOutputSink previous_ = nullptr;
};

// Tests that mount file systems or change routes run only as root inside the
// suite's private namespaces (tests/scripts/isolated.sh), never on the host.
bool InIsolatedRootNamespace() {
    const char* isolated = std::getenv("QV_ISOLATED");
    return ::geteuid() == 0 && isolated && std::string(isolated) == "1";
}

// 8 + 4 + 4 + 16 hexadecimal digits; the third group is the lower-case one and
// carries the version (4), the fourth starts with the variant (8, 9, A or B).
bool IsGuidText(const std::wstring& text) {
    if (text.size() != 32) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool thirdGroup = i >= 12 && i < 16;
        const std::wstring_view digits = thirdGroup ? L"0123456789abcdef" : L"0123456789ABCDEF";
        if (digits.find(text[i]) == std::wstring_view::npos) return false;
    }
    return text[12] == L'4' && std::wstring_view(L"89AB").find(text[16]) != std::wstring_view::npos;
}

TEST(NewGuidTextTest, ThirtyTwoHexDigitsWithOnlyTheThirdGroupLowerCase) {
    EXPECT_FALSE(IsGuidText(L"0123456789ABCDEF4123856789ABCDEF")) << "upper-case third group";
    std::set<std::wstring> seen;
    bool sawLowerCaseLetter = false;
    for (int i = 0; i < 200; ++i) {
        const std::wstring guid = Utils::NewGuidText();
        EXPECT_TRUE(IsGuidText(guid)) << Utils::WideToUtf8(guid);
        sawLowerCaseLetter = sawLowerCaseLetter || guid.substr(12, 4).find_first_of(L"abcdef") != std::wstring::npos;
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 200u);
    EXPECT_TRUE(sawLowerCaseLetter) << "200 random third groups without a letter";
}

TEST(IsOs64BitTest, TrueWhenThisProcessIs64Bit) {
    if (sizeof(void*) == 8) {
        EXPECT_TRUE(Utils::IsOs64Bit()) << "a 64-bit process needs a 64-bit system";
    }
    std::wstring family, name;
    Utils::GetOsVersionName(family, name);
    EXPECT_EQ(family, L"Linux");
    EXPECT_FALSE(name.empty());
}

class FakeNetworkSource : public NetworkStatusSource {
public:
    explicit FakeNetworkSource(std::optional<Reading> reading) : reading_(reading) {}
    std::optional<Reading> Read() override { return reading_; }

private:
    std::optional<Reading> reading_;
};

TEST(CheckNetworkTest, ResultEncodesReasonAndConnectivityBits) {
    using C = NetworkStatusSource::Connectivity;
    using R = NetworkStatusSource::Reading;
    struct Case {
        const char* name;
        std::optional<R> reading;
        std::uint32_t result;
        const wchar_t* logged;  // the end of the one line logged, or nullptr for none
    };
    const Case cases[] = {
        {"no monitor", std::nullopt, 0, nullptr},
        {"no network", R{false, C::Local, false, false}, 0x10000, L"(Utils::CheckNetwork)<0"},
        {"limited IPv4", R{true, C::Limited, true, false}, 0x20020, L"get_IsConnectedToInternet:0"},
        {"portal on both", R{true, C::Portal, true, true}, 0x20220, L"get_IsConnectedToInternet:0"},
        {"local only", R{true, C::Local, true, false}, 0x20010, L"get_IsConnectedToInternet:0"},
        {"full IPv4", R{true, C::Full, true, false}, 0x40, nullptr},
        {"full IPv6", R{true, C::Full, false, true}, 0x400, nullptr},
        {"full on both", R{true, C::Full, true, true}, 0x440, nullptr},
        {"full without route data", R{true, C::Full, false, false}, 0x40, nullptr},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const auto previous = Utils::SetNetworkStatusSource(std::make_shared<FakeNetworkSource>(test.reading));
        LogCapture capture;
        EXPECT_EQ(Utils::CheckNetwork(), test.result);
        Utils::SetNetworkStatusSource(previous);

        const auto lines = capture.Lines();
        if (!test.logged) {
            EXPECT_TRUE(lines.empty());
            continue;
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(L"(Utils::CheckNetwork)<"), std::wstring::npos);
        EXPECT_NE(lines[0].find(test.logged), std::wstring::npos);
        EXPECT_FALSE(lines[0].ends_with(L"\n")) << "raw form";
    }
    LogCapture capture;
    Utils::SetNetworkStatusSource(std::make_shared<FakeNetworkSource>(R{false, C::Local, false, false}));
    Utils::CheckNetwork();
    Utils::SetNetworkStatusSource(nullptr);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_TRUE(capture.Lines()[0].ends_with(L": GetConnectivity 0"));
}

TEST(CheckNetworkTest, FollowsTheDefaultRouteOfTheSystem) {
    // The child changes routes only in a network namespace of its own.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace";
    const fs::path tool = fs::exists("/usr/sbin/ip") ? "/usr/sbin/ip" : "/sbin/ip";
    ConsoleProcess child;
    utils_test::StartChild(child, {L"network-check", Utils::WideFromPath(tool)});
    const std::string output = ReadToEnd(child.OutputReadEnd());
    EXPECT_EQ(child.Wait().exitCode, 0);
    // Only loopback: no network; a default route: full IPv4 connectivity; removed again: none.
    EXPECT_EQ(output, "10000\n40\n10000\n");
}

// Unmounts on destruction.
struct TmpfsMount {
    fs::path point;
    bool mounted = false;
    TmpfsMount(fs::path where, const char* options) : point(std::move(where)) {
        fs::create_directories(point);
        mounted = ::mount("tmpfs", point.c_str(), "tmpfs", 0, options) == 0;
    }
    ~TmpfsMount() {
        if (mounted) ::umount2(point.c_str(), MNT_DETACH);
    }
};

TEST(HardDiskManagerTest, CountsFollowATmpfsAndItsFill) {
    if (!InIsolatedRootNamespace()) GTEST_SKIP() << "mounts a tmpfs: only inside the isolated suite";
    constexpr std::uint64_t kMiB = 1024 * 1024;
    testing_support::TempDir folder;
    TmpfsMount disk(folder / "disk", "size=16m,mode=0700");
    ASSERT_TRUE(disk.mounted);

    Utils::HardDiskManager empty;
    ASSERT_TRUE(empty.CheckFreeSpace(Utils::WideFromPath(disk.point)));
    EXPECT_EQ(empty.TotalBytes(), 16 * kMiB);
    EXPECT_EQ(empty.TotalFreeBytes(), 16 * kMiB);
    EXPECT_EQ(empty.FreeBytesAvailable(), 16 * kMiB);

    // A folder that does not exist yet is measured on its nearest existing ancestor.
    Utils::HardDiskManager missing;
    ASSERT_TRUE(missing.CheckFreeSpace(Utils::WideFromPath(disk.point / "not" / "yet" / "made")));
    EXPECT_EQ(missing.TotalBytes(), 16 * kMiB);

    {
        std::ofstream file(disk.point / "four-mebibytes", std::ios::binary);
        const std::string block(kMiB, 'x');
        for (int i = 0; i < 4; ++i) file << block;
    }
    Utils::HardDiskManager filled;
    ASSERT_TRUE(filled.CheckFreeSpace(Utils::WideFromPath(disk.point)));
    EXPECT_EQ(filled.TotalBytes(), 16 * kMiB);
    EXPECT_GE(empty.FreeBytesAvailable() - filled.FreeBytesAvailable(), 4 * kMiB);
    EXPECT_LT(empty.FreeBytesAvailable() - filled.FreeBytesAvailable(), 5 * kMiB);
    EXPECT_EQ(filled.TotalFreeBytes(), filled.FreeBytesAvailable());
}

TEST(HardDiskManagerTest, FailureLogsAndKeepsTheCounts) {
    testing_support::TempDir folder;
    const fs::path file = testing_support::WriteFile(folder / "file", "x");
    const struct {
        fs::path path;
        long code;
    } cases[] = {
        {folder / std::string(300, 'n'), ENAMETOOLONG},
        {file / "below-a-file", ENOTDIR},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.path.string());
        Utils::HardDiskManager fresh;
        EXPECT_FALSE(fresh.CheckFreeSpace(Utils::WideFromPath(test.path)));
        EXPECT_EQ(fresh.FreeBytesAvailable(), 0u);
        EXPECT_EQ(fresh.TotalBytes(), 0u);
        EXPECT_EQ(fresh.TotalFreeBytes(), 0u);

        Utils::HardDiskManager measured;
        ASSERT_TRUE(measured.CheckFreeSpace(Utils::WideFromPath(folder.path())));
        const std::uint64_t total = measured.TotalBytes();
        ASSERT_GT(total, 0u);
        LogCapture capture;
        EXPECT_FALSE(measured.CheckFreeSpace(Utils::WideFromPath(test.path)));
        EXPECT_EQ(measured.TotalBytes(), total);
        const auto lines = capture.Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(L"(Utils::HardDiskManager::CheckFreeSpace)<"), std::wstring::npos);
        EXPECT_TRUE(lines[0].ends_with(L": HardDiskManager::CheckFreeSpace FAIL code=" + std::to_wstring(test.code) + L"\r\n"));
    }
}

std::uint32_t g_fakeTicks = 0;
std::uint32_t FakeTicks() { return g_fakeTicks; }

TEST(StopwatchTest, ElapsedSecondsAcrossTheTickWrap) {
    Utils::Stopwatch watch(&FakeTicks);
    g_fakeTicks = 5000;
    EXPECT_FALSE(watch.IsRunning());
    EXPECT_EQ(watch.Elapsed(), 0.0f) << "not started";
    g_fakeTicks = 0xFFFFFF00u;
    watch.Start();
    EXPECT_EQ(watch.Elapsed(), 0.0f);
    g_fakeTicks = 0x64u;  // 0x100 + 0x64 = 356 ms later, after the wrap
    EXPECT_FLOAT_EQ(watch.Elapsed(), 0.356f);
    watch.Stop();
    EXPECT_EQ(watch.Elapsed(), 0.0f);
}

TEST(StopwatchTest, RealTicksNeverRunBackwards) {
    Utils::Stopwatch watch;
    watch.Start();
    float previous = 0.0f;
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const float now = watch.Elapsed();
        EXPECT_GE(now, previous);
        previous = now;
    }
    EXPECT_GE(previous, 0.025f) << "five sleeps of at least 5 ms";
}

// What the test child reports about accounts, one "key=value" a line.
std::map<std::string, std::string> AccountQueries(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> all{L"accounts"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    ConsoleProcess child;
    utils_test::StartChild(child, all);
    std::istringstream output(utils_test::ReadToEnd(child.OutputReadEnd()));
    const ConsoleProcess::Status status = child.Wait();
    EXPECT_EQ(status.exitCode, 0) << "the child could not set itself up";
    std::map<std::string, std::string> answers;
    for (std::string line; std::getline(output, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) answers[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return answers;
}

// /etc/group without any administrator group, plus `extraLine`.
fs::path GroupFileWith(const testing_support::TempDir& folder, const std::string& extraLine) {
    std::ifstream system("/etc/group");
    std::string content;
    for (std::string line; std::getline(system, line);) {
        if (line.starts_with("sudo:") || line.starts_with("wheel:") || line.starts_with("admin:")) continue;
        content += line + "\n";
    }
    static int counter = 0;
    return testing_support::WriteFile(folder / ("group" + std::to_string(++counter)), content + extraLine + "\n");
}

class AccountsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!InIsolatedRootNamespace()) GTEST_SKIP() << "changes users and mounts: only inside the isolated suite";
        // No system bus: the console user comes from the terminal or the real user.
        sandbox_.setEnv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    }
    testing_support::UserSandbox sandbox_;
    testing_support::TempDir folder_;
};

TEST_F(AccountsTest, AdministratorGroupsDecideForAnAccount) {
    const struct {
        std::string groupLine;
        const char* accountAdmin;
    } cases[] = {
        {"sudo:x:27:nobody", "1"},  {"wheel:x:10:daemon,nobody", "1"}, {"admin:x:990:nobody", "1"},
        {"sudo:x:27:", "0"},        {"staff:x:50:nobody", "0"},        {"sudo:x:27:nobodyelse", "0"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.groupLine);
        const fs::path groups = GroupFileWith(folder_, test.groupLine);
        auto answers = AccountQueries({L"--group-file", Utils::WideFromPath(groups), L"--uid", L"65534", L"--setsid", L"nobody"});
        EXPECT_EQ(answers["process-admin"], "0");
        EXPECT_EQ(answers["account-admin"], test.accountAdmin);
        EXPECT_EQ(answers["console-user"], "nobody");
    }
}

TEST_F(AccountsTest, RootAndUnknownUsers) {
    auto root = AccountQueries({L"--setsid", L"root"});
    EXPECT_EQ(root["process-admin"], "1");
    EXPECT_EQ(root["account-admin"], "1");
    EXPECT_EQ(root["console-user"], "root");

    auto unknown = AccountQueries({L"--uid", L"54321", L"--setsid", L"no-such-account-qv"});
    EXPECT_EQ(unknown["process-admin"], "0");
    EXPECT_EQ(unknown["account-admin"], "0");
    EXPECT_EQ(unknown["console-user"], "-") << "a uid without a name gives no console user";
}

// A message bus of our own (dbus-daemon) with the test child serving the login
// manager's seat0 on it.
class TestLoginBus {
public:
    TestLoginBus(const fs::path& folder, const std::wstring& sessionId, const std::wstring& userName)
        : address_(L"unix:path=" + Utils::WideFromPath(folder / "bus")) {
        daemon_.Start(L"dbus-daemon", {L"/usr/bin/dbus-daemon", L"--session", L"--nofork", L"--address=" + address_,
                                       L"--print-address=1"});
        ready_ = !utils_test::ReadLine(daemon_.OutputReadEnd()).empty();  // the address is printed once it listens
        utils_test::StartChild(logind_, {L"fake-logind", address_, sessionId, userName});
        ready_ = ready_ && utils_test::ReadLine(logind_.OutputReadEnd()) == "ready";
    }
    ~TestLoginBus() {
        logind_.Close();
        logind_.Wait();
        ::kill(daemon_.ProcessId(), SIGTERM);
        daemon_.Wait();
    }
    bool ready() const { return ready_; }
    std::string address() const { return Utils::WideToUtf8(address_); }

private:
    std::wstring address_;
    ConsoleProcess daemon_;
    ConsoleProcess logind_;
    bool ready_ = false;
};

TEST_F(AccountsTest, ConsoleUserIsTheActiveUserOfSeat0) {
    const struct {
        const wchar_t* sessionId;
        const char* consoleUser;
    } cases[] = {
        {L"1", "seat-user"},
        {L"", "root"},  // no active session: the real user
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.consoleUser);
        TestLoginBus bus(folder_.path(), test.sessionId, L"seat-user");
        ASSERT_TRUE(bus.ready());
        sandbox_.setEnv("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
        EXPECT_EQ(AccountQueries({L"--setsid", L"root"})["console-user"], test.consoleUser);
    }
}

TEST_F(AccountsTest, ConsoleUserIsTheOwnerOfTheControllingTerminal) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    ASSERT_EQ(::chown(terminal.c_str(), 1, static_cast<gid_t>(-1)), 0);  // uid 1: "daemon"

    auto answers = AccountQueries({L"--ctty", Utils::Utf8ToWide(terminal), L"--uid", L"65534", L"nobody"});
    EXPECT_EQ(answers["console-user"], "daemon");
    EXPECT_EQ(answers["process-admin"], "0");
    ::close(master);
}

}  // namespace
