#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "kv_analytics/sdk.h"
#include "testing/sandbox.h"
#include "tracker/kv_exception.h"
#include "tracker/persistence.h"
#include "tracker/tracker.h"
#include "tracker_test_support.h"
#include "utils/ini.h"
#include "utils/text.h"

namespace {

using namespace karvo::tracking;
using testing_support::WriteFile;

std::string Read(const std::string& section, const std::string& key, const std::filesystem::path& file) {
    return Utils::WideToUtf8(
        Utils::IniReadString(Utils::Utf8ToWide(section), Utils::Utf8ToWide(key), L"<missing>", file));
}

bool IsGuidText(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !(std::isdigit(static_cast<unsigned char>(text[i])) || (text[i] >= 'A' && text[i] <= 'F')))
            return false;
    }
    return true;
}

class PersistenceTest : public ::testing::Test {
protected:
    void WriteBase(const std::string& lines) { WriteFile(fixture_.ConfigFile(), "[Base]\n" + lines); }

    tracker_test::TrackerFixture fixture_;
};

TEST_F(PersistenceTest, FirstRunCreatesTheIdentityAndUninstallInfo) {
    auto tracker = fixture_.Start();
    const auto file = fixture_.ConfigFile();
    const std::string distinctId = Read("Base", "DistinctId", file);
    EXPECT_TRUE(IsGuidText(distinctId)) << distinctId;
    EXPECT_EQ(Read("Base", "PrimaryDistinctId", file), distinctId);
    EXPECT_EQ(Read("Base", "UserId", file), "");
    EXPECT_EQ(Read("Base", "UserVipLevel", file), "0");
    EXPECT_EQ(Read("Base", "URL", file), fixture_.collector.Url());
    EXPECT_EQ(Read("Base", "isLogined", file), "NG");
    EXPECT_EQ(Read("UninstallInfo", "AppStore", file), "quorvane-setup");
    EXPECT_EQ(Read("UninstallInfo", "AppName", file), "Lumivex.downloader");
    EXPECT_EQ(Read("UninstallInfo", "AppVersion", file), "1.0.0");
    EXPECT_TRUE(std::filesystem::exists(fixture_.DataDir() / "Lumivex.downloader_KVSLog.txt"));
    EXPECT_EQ(tracker->getPrimaryDistinctId(), distinctId);
    EXPECT_EQ(kv_analytics::Sdk::Instance()->m_distinctId, distinctId);
    EXPECT_FALSE(kv_analytics::Sdk::Instance()->m_isLoginId);
}

TEST_F(PersistenceTest, StoredLoginIsHonouredOnlyForUpperCaseOk) {
    const std::string url = fixture_.collector.Url();
    struct Case {
        std::string isLogined;
        bool loggedIn;
    };
    for (const auto& [flag, loggedIn] : {Case{"OK", true}, Case{"ok", false}, Case{"NG", false}}) {
        WriteBase("DistinctId=d-1\nPrimaryDistinctId=p-1\nUserId=u-1\nURL=" + url + "\nisLogined=" + flag + "\n");
        auto tracker = fixture_.Start();
        EXPECT_EQ(tracker->state().isLogined, loggedIn) << flag;
        EXPECT_EQ(kv_analytics::Sdk::Instance()->m_distinctId, loggedIn ? "u-1" : "d-1") << flag;
        EXPECT_EQ(kv_analytics::Sdk::Instance()->m_isLoginId, loggedIn) << flag;
        EXPECT_EQ(tracker->getPrimaryDistinctId(), "p-1");
        tracker.reset();
        EXPECT_EQ(Read("Base", "isLogined", fixture_.ConfigFile()), loggedIn ? "OK" : "NG");
    }
}

TEST_F(PersistenceTest, EmptyPrimaryDistinctIdReadsAsTheDistinctId) {
    WriteBase("DistinctId=d-7\nPrimaryDistinctId=\nURL=" + fixture_.collector.Url() + "\n");
    auto tracker = fixture_.Start();
    EXPECT_EQ(tracker->getPrimaryDistinctId(), "d-7");
    EXPECT_EQ(tracker->state().distinctId, "d-7");
}

TEST_F(PersistenceTest, ChangedAddressLogsOutAndFallsBackToThePrimaryId) {
    WriteBase("DistinctId=u-1\nPrimaryDistinctId=p-1\nUserId=u-1\nUserVipLevel=3\nURL=http://127.0.0.1:1/old\n"
              "isLogined=OK\n");
    auto tracker = fixture_.Start();
    const auto file = fixture_.ConfigFile();
    EXPECT_FALSE(tracker->state().isLogined);
    EXPECT_EQ(Read("Base", "DistinctId", file), "p-1");
    EXPECT_EQ(Read("Base", "UserId", file), "");
    EXPECT_EQ(Read("Base", "URL", file), fixture_.collector.Url());
    EXPECT_EQ(Read("Base", "isLogined", file), "NG");
    EXPECT_EQ(kv_analytics::Sdk::Instance()->m_distinctId, "p-1");
}

TEST_F(PersistenceTest, MissingStoreNameLeavesNothingOnDisk) {
    auto params = fixture_.Params();
    params.appStore.clear();
    {
        KvTrackerImpl tracker(params);
        EXPECT_THROW(tracker.init(), KvException);
        tracker.trackView({"", "v", "", ""}, KvContextProperties());
    }
    EXPECT_FALSE(std::filesystem::exists(fixture_.sandbox.stateHome() / "KVLocal"));
    EXPECT_EQ(kv_analytics::Sdk::Instance(), nullptr);
    EXPECT_TRUE(fixture_.collector.Requests().empty());
}

// A "Set.ini" beside the executable moves the store, when nobody else could have planted it.
TEST_F(PersistenceTest, RedirectFileIsHonouredOnlyWhenTrusted) {
    const auto exe = fixture_.sandbox.root() / "exe";
    const auto target = fixture_.sandbox.root() / "KarVoData" / "Lumivex";
    std::filesystem::create_directories(target);
    struct Case {
        std::string value;
        mode_t targetMode;
        mode_t redirectMode;
        bool honoured;
    };
    const std::vector<Case> cases = {
        {(target / "KVAnalytics.ini").string(), 0755, 0644, true},
        {"\\" + (target / "KVAnalytics.ini").relative_path().string(), 0700, 0600, true},  // backslash form
        {(target / "KVAnalytics.ini").string(), 0777, 0644, false},
        {(target / "KVAnalytics.ini").string(), 0775, 0644, false},
        {(target / "KVAnalytics.ini").string(), 0755, 0666, false},
        {"KVAnalytics.ini", 0755, 0644, false},
    };
    for (const auto& test : cases) {
        const auto redirect = WriteFile(exe / "set.ini", "[Install]\nKVAnalyticsIni=" + test.value + "\n");
        ::chmod(target.c_str(), test.targetMode);
        ::chmod(redirect.c_str(), test.redirectMode);
        TrackerState state;
        ResolveTrackerFiles(state, "Lumivex.downloader", exe);
        if (test.honoured) {
            EXPECT_EQ(state.configPath, (target / "KVAnalytics.ini").string()) << test.value;
            EXPECT_EQ(state.dataDir, target.string() + "/");
        } else {
            EXPECT_EQ(state.configPath, fixture_.ConfigFile().string()) << test.value << " " << test.targetMode;
            EXPECT_EQ(state.dataDir, fixture_.DataDir().string() + "/");
        }
    }
}

TEST(DistinctIdTest, GuidTextAndMersenneFallback) {
    const std::string first = GenerateDistinctId();
    EXPECT_TRUE(IsGuidText(first)) << first;
    EXPECT_NE(GenerateDistinctId(), first);

    std::mt19937 engine;
    std::uniform_int_distribution<std::uint32_t> draw(0, 2147483646);
    std::uint32_t v[8];
    for (auto& value : v) value = draw(engine);
    char expected[128];
    std::snprintf(expected, sizeof expected, "%x%x-%x-%x-%x-%x%x%x", v[0], v[1], v[2], (v[3] & 0xFFF) | 0x4000,
                  (v[4] % 0x3FFF) + 0x8000, v[5], v[6], v[7]);
    EXPECT_EQ(MersenneDistinctId(), expected);
    EXPECT_NE(MersenneDistinctId(), expected);  // one engine per process, not per call
}

TEST(SystemTextTest, LinuxIsReportedTruthfully) {
    EXPECT_EQ(OsNameText(), "Linux");
    EXPECT_FALSE(OsVersionText().empty());
    const std::string agent = UserAgentText();
    EXPECT_EQ(agent.rfind("Mozilla/5.0(Linux " + OsVersionText() + "; Linux", 0), 0u) << agent;
    EXPECT_TRUE(agent.ends_with("64;)") || agent.ends_with("32;)")) << agent;
}

}  // namespace

namespace {

using namespace karvo::tracking;

// The first of the two Base writes of a first run: a fresh id, no address yet.
TEST(IdentityStoreTest, MissingStoreGetsAFreshIdWrittenAtOnce) {
    testing_support::TempDir folder;
    TrackerState state;
    state.configPath = (folder / "store.ini").string();
    LoadIdentity(state);
    EXPECT_FALSE(state.distinctId.empty());
    EXPECT_TRUE(state.primaryDistinctId.empty());
    EXPECT_EQ(Read("Base", "DistinctId", state.configPath), state.distinctId);
    EXPECT_EQ(Read("Base", "URL", state.configPath), "");
    EXPECT_EQ(Read("Base", "isLogined", state.configPath), "NG");
}

TEST(IdentityStoreTest, NoConfigurationPathWritesNothing) {
    testing_support::UserSandbox sandbox;
    TrackerState state;
    state.distinctId = "d";
    SaveBase(state);
    SaveUninstallInfo(state, "s", "n", "v");
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.root() / "state"));
    EXPECT_FALSE(std::filesystem::exists("Base"));
}

}  // namespace
