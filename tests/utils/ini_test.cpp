#include "utils/ini.h"

#include "testing/sandbox.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class IniTest : public ::testing::Test {
protected:
    fs::path file() const { return dir_ / "set.ini"; }
    std::wstring Read(const wchar_t* section, const wchar_t* key, std::size_t capacity = 260) const {
        return Utils::IniReadString(section, key, L"<default>", file(), capacity);
    }
    TempDir dir_;
};

TEST_F(IniTest, ReadingFollowsProfileRules) {
    WriteFile(file(),
              "\xEF\xBB\xBFtop=outside\r\n"
              "[Install]\r\n"
              "Name = spaced value \r\n"
              "quoted=\"  keep  \"\r\n"
              "single='x'\r\n"
              "eq=a=b[c]\r\n"
              "dup=first\r\n"
              "DUP=second\r\n"
              "; comment=no\r\n"
              "garbage line without equals\r\n"
              "\xFF\xFE\x01 binary=still\r\n"
              "empty=\r\n"
              "[other]\r\n"
              "name=other\r\n"
              "[INSTALL]\r\n"
              "late=ignored\r\n");
    struct Case {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
    };
    const Case cases[] = {
        {L"install", L"NAME", L"spaced value"}, {L"Install", L"quoted", L"  keep  "},
        {L"Install", L"single", L"x"},          {L"Install", L"eq", L"a=b[c]"},
        {L"Install", L"dup", L"first"},         {L"Install", L"; comment", L"<default>"},
        {L"Install", L"empty", L""},            {L"Install", L"late", L"<default>"},
        {L"Install", L"top", L"<default>"},     {L"other", L"name", L"other"},
        {L"missing", L"name", L"<default>"},    {L"Install", L"missing", L"<default>"},
    };
    for (const auto& [section, key, value] : cases) EXPECT_EQ(Read(section, key), value) << section << "/" << key;
}

TEST_F(IniTest, ValuesAreCutToTheBuffer) {
    WriteFile(file(), "[s]\nk=" + std::string(1000, 'v') + "\n");
    EXPECT_EQ(Read(L"s", L"k", 260), std::wstring(259, L'v'));
    EXPECT_EQ(Read(L"s", L"k", 1), L"");
}

TEST_F(IniTest, IntegersFollowTheProfileIntegerReader) {
    WriteFile(file(), "[s]\na=42\nb=-3x\nc=abc\nd=\ne=99999999999\n");
    EXPECT_EQ(Utils::IniReadInt(L"s", L"a", 7, file()), 42);
    EXPECT_EQ(Utils::IniReadInt(L"s", L"b", 7, file()), -3);
    EXPECT_EQ(Utils::IniReadInt(L"s", L"c", 7, file()), 0);
    EXPECT_EQ(Utils::IniReadInt(L"s", L"d", 7, file()), 7);
    EXPECT_EQ(Utils::IniReadInt(L"s", L"e", 7, file()), 0);
    EXPECT_EQ(Utils::IniReadInt(L"s", L"zz", 7, file()), 7);
}

TEST_F(IniTest, Utf16FilesAreRead) {
    const std::u16string text = u"[S]\r\nk=\u4e2d\U0001F600\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) bytes += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    WriteFile(file(), bytes);
    EXPECT_EQ(Read(L"s", L"K"), L"\u4e2d\U0001F600");
}

TEST_F(IniTest, WritesKeepEveryOtherLine) {
    const std::string original = "; header\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\xFF garbage\r\n";
    WriteFile(file(), original);
    ASSERT_TRUE(Utils::IniWriteString(L"a", L"X", L"10", file()));
    ASSERT_TRUE(Utils::IniWriteString(L"A", L"z", L"new", file()));
    ASSERT_TRUE(Utils::IniWriteString(L"C", L"w", L"3", file()));
    EXPECT_EQ(ReadFile(file()), "; header\r\n[A]\r\nx=10\r\nz=new\r\n\r\n[B]\r\ny=2\r\n\xFF garbage\r\n\r\n[C]\r\nw=3\r\n");
}

TEST_F(IniTest, WriteCreatesFileAndSection) {
    const fs::path nested = dir_ / "new.ini";
    ASSERT_TRUE(Utils::IniWriteString(L"Install", L"Language", L"de-DE", nested));
    EXPECT_EQ(ReadFile(nested), "[Install]\nLanguage=de-DE\n");
    WriteFile(dir_ / "noend.ini", "[Install]\nA=1");
    ASSERT_TRUE(Utils::IniWriteString(L"Install", L"B", L"2", dir_ / "noend.ini"));
    EXPECT_EQ(ReadFile(dir_ / "noend.ini"), "[Install]\nA=1\nB=2\n");
}

TEST_F(IniTest, HostileValuesRoundTripWithoutCreatingKeys) {
    const std::wstring values[] = {
        L"line1\r\n[Evil]\r\nInjected=1",
        L"a=b",
        L"[NotASection]",
        L"  leading and trailing  ",
        L"\"quoted\"",
        L"'single'",
        L"back\\slash \\n not an escape",
        L"\"\\x41\\",
        L"\u4e2d\u6587 \u00e9",
        std::wstring(L"nul\0inside", 10),
        L"tab\there\x7f",
        L"",
    };
    for (const auto& value : values) {
        ASSERT_TRUE(Utils::IniWriteString(L"Install", L"Value", value, file()));
        EXPECT_EQ(Utils::IniReadString(L"Install", L"Value", L"<default>", file()), value);
        EXPECT_EQ(Read(L"Evil", L"Injected"), L"<default>");
        EXPECT_EQ(Read(L"Install", L"Injected"), L"<default>");
    }
}

TEST_F(IniTest, UnstorableNamesAreRefused) {
    EXPECT_FALSE(Utils::IniWriteString(L"A]\n[B", L"k", L"v", file()));
    EXPECT_FALSE(Utils::IniWriteString(L"A", L"k=v", L"v", file()));
    EXPECT_FALSE(Utils::IniWriteString(L"A", L"k\nx", L"v", file()));
    EXPECT_FALSE(Utils::IniWriteString(L"", L"k", L"v", file()));
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(IniTest, FileNamesResolveCaseInsensitively) {
    WriteFile(dir_ / "Set.INI", "[s]\nk=v\n");
    EXPECT_EQ(Utils::IniReadString(L"s", L"k", L"", dir_ / "set.ini"), L"v");
    ASSERT_TRUE(Utils::IniWriteString(L"s", L"k", L"w", dir_ / "SET.ini"));
    EXPECT_EQ(ReadFile(dir_ / "Set.INI"), "[s]\nk=w\n");
    EXPECT_FALSE(fs::exists(dir_ / "SET.ini"));
}

TEST_F(IniTest, WritesReplaceAtomicallyAndKeepTheMode) {
    WriteFile(file(), "[s]\nk=v\n");
    ::chmod(file().c_str(), 0640);
    const fs::path link = dir_ / "link.ini";
    fs::create_symlink(file(), link);
    ASSERT_TRUE(Utils::IniWriteString(L"s", L"k", L"w", file()));
    struct stat info {};
    ::stat(file().c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_.path())) ++entries;
    EXPECT_EQ(entries, 2) << "no temporary file is left behind";
}

}  // namespace
