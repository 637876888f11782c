#include "utils/log.h"
#include "utils/thread.h"

#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <string>
#include <vector>

namespace {

std::mutex g_linesMutex;
std::vector<std::wstring> g_lines;

void Capture(std::wstring_view line) {
    std::lock_guard lock(g_linesMutex);
    g_lines.emplace_back(line);
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lines.clear();
        previous_ = Utils::SetDebugOutputSink(&Capture);
    }
    void TearDown() override { Utils::SetDebugOutputSink(previous_); }
    std::vector<std::wstring> Lines() {
        std::lock_guard lock(g_linesMutex);
        return g_lines;
    }
    Utils::DebugOutputSink previous_ = nullptr;
};

struct Probe {
    void Method(int value) { UTILS_LOG(L"GetConnectivity %d", value); }
    static void Static() { UTILS_LOG_LINE(L"THREAD BEGIN"); }
    void WithLambda() {
        auto report = [](int code, double, const std::wstring&) { UTILS_LOG(L"code %d\r\n", code); };
        report(1001, 0.0, L"");
    }
};

TEST_F(LogTest, PrefixCarriesIdsTimeTagAndLine) {
    Probe().Method(0);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    const std::wregex form(
        LR"(<P\d{5,}><T\d{5,}><\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}>\(\{anonymous\}::Probe::Method\)<\d{4}>: GetConnectivity 0)");
    EXPECT_TRUE(std::regex_match(lines[0], form)) << std::string(lines[0].begin(), lines[0].end());
    EXPECT_EQ(lines[0].substr(0, 2), L"<P");
    EXPECT_EQ(lines[0].find(L"\r\n"), std::wstring::npos) << "the raw form appends nothing";
}

TEST_F(LogTest, LineFormAppendsCrLfAndTagsStaticMembers) {
    Probe::Static();
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"({anonymous}::Probe::Static)<"), std::wstring::npos);
    EXPECT_TRUE(lines[0].ends_with(L": THREAD BEGIN\r\n"));
}

TEST_F(LogTest, LambdaTagStartsWithEnclosingFunction) {
    Probe().WithLambda();
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"({anonymous}::Probe::WithLambda::"), std::wstring::npos);
    EXPECT_TRUE(lines[0].ends_with(L": code 1001\r\n"));
}

TEST_F(LogTest, MessagesTakeWideStringsNumbersAndPercent) {
    const std::wstring empty, text = L"ünïcødé";
    const long long big = 5'000'000'000LL;
    UTILS_LOG(L"[%s][%s] %lld %f %dM %%", empty, text, big, 0.5, 3);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(L": [][ünïcødé] 5000000000 0.500000 3M %")) << lines[0].size();
}

TEST_F(LogTest, MessageMayBeAStringValueAndLinesMayEndTwice) {
    const std::wstring message = L"already ended\r\n";
    UTILS_LOG_LINE(message);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(L"already ended\r\n\r\n"));
}

TEST_F(LogTest, UnformattableMessageSendsEmptyTextAndNeverThrows) {
    EXPECT_NO_THROW(UTILS_LOG(L"%d %s", 1));
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].empty());
}

TEST(FunctionTagTest, StripsReturnTypesParametersAndQualifiers) {
    struct Case {
        const char* pretty;
        const char* tag;
    };
    constexpr Case cases[] = {
        {"void Utils::CheckNetwork()", "Utils::CheckNetwork"},
        {"static unsigned int Utils::Thread::CallBack(void*)", "Utils::Thread::CallBack"},
        {"int A::B::operator()(int) const", "A::B::operator()"},
        {"std::vector<int> A::Make(std::map<int, int>)", "A::Make"},
        {"std::string A::f(T) [with T = int; std::string = std::__cxx11::basic_string<char>]", "A::f"},
        {"CDownloadInstaller::Start()::<lambda(int, double, const std::wstring&)>",
         "CDownloadInstaller::Start::<lambda(int, double, const std::wstring&)>"},
        {"auto A::Start()::(anonymous class)::operator()(int) const", "A::Start::(anonymous class)::operator()"},
        {"CurlClient::CurlClient()", "CurlClient::CurlClient"},
    };
    for (const auto& [pretty, tag] : cases) {
        char out[256] = {};
        const std::size_t length = Utils::detail::FunctionTag(pretty, out);
        EXPECT_EQ(std::string(out, length), tag) << pretty;
    }
}

TEST_F(LogTest, ThreadLogsBeginAndEndWithItsOwnId) {
    Utils::Thread thread(nullptr, L"ABDEF", [](void*) -> std::uint32_t { return 0; });
    const int id = thread.Id();
    thread.Resume();
    thread.Join();
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    wchar_t idText[32];
    std::swprintf(idText, 32, L"<T%05d>", id);
    for (const auto& line : lines) {
        EXPECT_NE(line.find(idText), std::wstring::npos);
        EXPECT_NE(line.find(L"(Utils::Thread::CallBack)"), std::wstring::npos);
    }
    EXPECT_TRUE(lines[0].ends_with(L": THREAD BEGIN\r\n"));
    EXPECT_TRUE(lines[1].ends_with(L": THREAD END\r\n"));
}

}  // namespace
