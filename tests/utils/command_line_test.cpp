#include "utils/command_line.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SplitCommandLineTest, WindowsArgumentRules) {
    struct Case {
        const wchar_t* line;
        std::vector<std::wstring> tokens;
    };
    const Case cases[] = {
        {L"", {}},
        {L"   ", {}},
        {L"prog", {L"prog"}},
        {LR"("C:\Program Files\a.exe" -x)", {LR"(C:\Program Files\a.exe)", L"-x"}},
        {LR"(C:\dir\a.exe" b")", {LR"(C:\dir\a.exe")", L"b"}},  // the program name has no escapes
        {LR"(p a\\b c\"d)", {L"p", LR"(a\\b)", L"c\"d"}},
        {LR"(p "a b" "c\\" d)", {L"p", L"a b", L"c\\", L"d"}},
        {LR"(p \\\"x)", {L"p", LR"(\"x)"}},
        {LR"(p \\\\"a b")", {L"p", LR"(\\a b)"}},
        {LR"(p "a""b")", {L"p", L"a\"b"}},
        {LR"(p "a""b" c)", {L"p", L"a\"b c"}},  // the last quote opens a new quoted run
        {LR"(p a""b)", {L"p", L"ab"}},
        {LR"(p """)", {L"p", L"\""}},
        {LR"(p "unbalanced rest)", {L"p", L"unbalanced rest"}},
        {L"p\t-a=1\t\t-b", {L"p", L"-a=1", L"-b"}},
        {LR"(p "" x)", {L"p", L"", L"x"}},
        {LR"(p -instdir="D:\x y")", {L"p", LR"(-instdir=D:\x y)"}},
        {L"p trailing\\", {L"p", L"trailing\\"}},
    };
    for (const auto& [line, tokens] : cases) EXPECT_EQ(Utils::SplitCommandLine(line), tokens) << line;
}

TEST(CommandLineArgsTest, NamesValuesAndFirstOccurrence) {
    const Utils::CommandLineArgs args(L"prog -key=a=b -flag -key=c stray -empty= -Key=d");
    EXPECT_TRUE(args.Has(L"prog"));
    EXPECT_TRUE(args.Has(L"stray"));
    EXPECT_EQ(args.GetString(L"-key"), L"a=b");
    EXPECT_TRUE(args.Has(L"-flag"));
    EXPECT_EQ(args.GetString(L"-flag"), L"");
    EXPECT_EQ(args.GetString(L"-Key"), L"d") << "names are case-sensitive";
    EXPECT_EQ(args.GetString(L"-missing"), L"");
    EXPECT_EQ(args.Entries().size(), 6u);
}

TEST(CommandLineArgsTest, TypedGetters) {
    const Utils::CommandLineArgs args(L"p \"-i= 42x\" -n=-7 -bad=abc -big=3000000000 -d=2.5 -t=true -T=True -f");
    EXPECT_EQ(args.GetInt(L"-i"), 42);
    EXPECT_EQ(args.GetInt(L"-n"), -7);
    EXPECT_EQ(args.GetInt(L"-bad"), 0);
    EXPECT_EQ(args.GetInt(L"-big"), 0);
    EXPECT_EQ(args.GetInt(L"-absent"), 0);
    EXPECT_DOUBLE_EQ(args.GetDouble(L"-d", 9.0), 2.5);
    EXPECT_DOUBLE_EQ(args.GetDouble(L"-bad", 9.0), 9.0);
    EXPECT_DOUBLE_EQ(args.GetDouble(L"-absent", 9.0), 9.0);
    EXPECT_TRUE(std::isnan(args.GetDouble(L"-bad", NAN)));
    EXPECT_TRUE(args.GetBool(L"-t"));
    EXPECT_FALSE(args.GetBool(L"-T"));
    EXPECT_FALSE(args.GetBool(L"-f"));
    EXPECT_FALSE(args.GetBool(L"-absent"));
}

TEST(CommandLineArgsTest, TokensFromArgv) {
    const Utils::CommandLineArgs args(std::vector<std::wstring>{L"/usr/bin/setup", L"-downloadurl=http://h/a b", L"-x"});
    EXPECT_EQ(args.GetString(L"-downloadurl"), L"http://h/a b");
    EXPECT_TRUE(args.Has(L"-x"));
}

}  // namespace
