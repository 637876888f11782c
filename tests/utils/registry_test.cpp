#include "utils/registry.h"

#include "testing/sandbox.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::UserSandbox;

std::wstring Read(const wchar_t* name, bool* found = nullptr) {
    std::uint32_t type = 0;
    std::wstring value = L"<none>";
    const bool ok = Utils::RegReadString(name, type, value);
    if (found) *found = ok;
    if (ok) {
        EXPECT_EQ(type, Utils::kRegistryStringType);
    }
    return ok ? value : L"<missing>";
}

TEST(RegistryTest, ValuesRoundTripExactly) {
    UserSandbox sandbox;
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"InstallPath", L"/opt/Lumivex"},
        {L"UnInstallEp", L"  /a b/uninst.exe\r\n"},
        {L"Tricky", L"x=1\n[HKEY]\nInstallPath=/evil"},
        {L"Wide", L"\u4e2d\u6587\U0001F600"},
        {L"Empty", L""},
    };
    for (const auto& [name, value] : values) ASSERT_TRUE(Utils::RegWriteString(name, value)) << name;
    for (const auto& [name, value] : values) EXPECT_EQ(Read(name), value) << name;
    EXPECT_EQ(Read(L"installpath"), L"/opt/Lumivex") << "value names are case-insensitive";
    EXPECT_EQ(Read(L"Missing"), L"<missing>");
    EXPECT_EQ(Utils::RegistryFilePath(), sandbox.configHome() / "KarVoSoft/Lumivex/registry.ini");
    struct stat info {};
    ASSERT_EQ(::stat(Utils::RegistryFilePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(RegistryTest, ReadStopsAtTheFirstNull) {
    UserSandbox sandbox;
    ASSERT_TRUE(Utils::RegWriteString(L"V", std::wstring(L"ab\0cd", 5)));
    EXPECT_EQ(Read(L"V"), L"ab");
}

TEST(RegistryTest, CorruptOrUnreadableStoreReadsAsMissingAndIsReplaced) {
    UserSandbox sandbox;
    const fs::path file = Utils::RegistryFilePath();
    const std::string corrupt[] = {"\x00\x01\xFF\xFE garbage", "[HKEY_CURRENT_USER\\Software\\KarVoSoft\\Lumivex]\nInstallPath=/x\nnot a line\n"};
    for (const auto& bytes : corrupt) {
        testing_support::WriteFile(file, bytes);
        EXPECT_EQ(Read(L"InstallPath"), L"<missing>");
        ASSERT_TRUE(Utils::RegWriteString(L"InstallPath", L"/fresh"));
        EXPECT_EQ(Read(L"InstallPath"), L"/fresh");
        EXPECT_EQ(testing_support::ReadFile(file).find("garbage"), std::string::npos);
    }
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_EQ(Read(L"InstallPath"), L"<missing>") << "a folder in its place reads as missing";
    EXPECT_FALSE(Utils::RegWriteString(L"InstallPath", L"/x"));
}

TEST(RegistryTest, ConcurrentWritersLoseNothing) {
    UserSandbox sandbox;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 10; ++i) Utils::RegWriteString(L"k" + std::to_wstring(t * 10 + i), std::to_wstring(i));
        });
    }
    for (auto& writer : writers) writer.join();
    for (int n = 0; n < 40; ++n) EXPECT_EQ(Read((L"k" + std::to_wstring(n)).c_str()), std::to_wstring(n % 10));
}

TEST(RegistryTest, UnstorableNamesAreRefused) {
    UserSandbox sandbox;
    EXPECT_FALSE(Utils::RegWriteString(L"", L"v"));
    EXPECT_FALSE(Utils::RegWriteString(L"a=b", L"v"));
    EXPECT_FALSE(Utils::RegWriteString(L"a\nb", L"v"));
}

}  // namespace
