#include "child_program.h"

#include "testing/sandbox.h"
#include "utils/exception.h"
#include "utils/process.h"
#include "utils/text.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cwctype>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Utils::ConsoleProcess;
using utils_test::ReadToEnd;
using utils_test::StartChild;

TEST(ConsoleProcessTest, OutputAndErrorArriveOnSeparatePipes) {
    ConsoleProcess process;
    StartChild(process, {L"streams", L"text for the output", L"text for the error stream"});
    const auto readAll = [&](auto read) {
        std::string text;
        char buffer[7];  // several reads per stream
        for (long count; (count = (process.*read)(buffer, sizeof buffer)) > 0;) text.append(buffer, count);
        return text;
    };
    EXPECT_EQ(readAll(&ConsoleProcess::ReadOutput), "text for the output");
    EXPECT_EQ(readAll(&ConsoleProcess::ReadError), "text for the error stream");
    EXPECT_EQ(process.Wait().state, ConsoleProcess::State::Exited);
    char byte = 0;
    EXPECT_EQ(process.ReadOutput(&byte, 1), 0) << "end of stream";
    process.Close();
    EXPECT_EQ(process.ReadOutput(&byte, 1), -1) << "no pipe any more";
}

TEST(ConsoleProcessTest, ReportsStillActiveUntilTheChildEnds) {
    ConsoleProcess process;
    StartChild(process, {L"wait-stdin"});
    EXPECT_GT(process.ProcessId(), 0);
    // The child blocks on its input until the parent closes the write end.
    EXPECT_EQ(process.ExitCode(), ConsoleProcess::kStillActive);
    EXPECT_EQ(process.Poll().state, ConsoleProcess::State::Running);
    ::close(::dup(process.InputWriteEnd()));  // closing a duplicate does not end the stream
    EXPECT_EQ(process.ExitCode(), ConsoleProcess::kStillActive);

    process.Close();  // parent ends: the child's input ends
    EXPECT_EQ(process.InputWriteEnd(), -1);
    const ConsoleProcess::Status status = process.Wait();
    EXPECT_EQ(status.state, ConsoleProcess::State::Exited);
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_EQ(process.ExitCode(), 0u);
}

TEST(ConsoleProcessTest, ExitCodesAndDeathBySignal) {
    struct Case {
        std::vector<std::wstring> arguments;
        ConsoleProcess::State state;
        int exitCode;
        int signal;
        std::uint32_t reportedCode;
    };
    const Case cases[] = {
        {{L"exit", L"0"}, ConsoleProcess::State::Exited, 0, 0, 0},
        {{L"exit", L"3"}, ConsoleProcess::State::Exited, 3, 0, 3},
        {{L"raise", std::to_wstring(SIGKILL)}, ConsoleProcess::State::Killed, 0, SIGKILL, 128 + SIGKILL},
        // The child must not inherit a blocked or ignored SIGTERM from its parent.
        {{L"raise", std::to_wstring(SIGTERM)}, ConsoleProcess::State::Killed, 0, SIGTERM, 128 + SIGTERM},
    };
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
    for (const auto& test : cases) {
        SCOPED_TRACE(Utils::WideToUtf8(test.arguments[0] + L" " + test.arguments[1]));
        ConsoleProcess process;
        StartChild(process, test.arguments);
        const ConsoleProcess::Status status = process.Wait();
        EXPECT_EQ(status.state, test.state);
        EXPECT_EQ(status.exitCode, test.exitCode);
        EXPECT_EQ(status.signal, test.signal);
        EXPECT_EQ(process.ExitCode(), test.reportedCode);
        EXPECT_EQ(process.Poll().state, test.state) << "the status stays after reaping";
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

TEST(ConsoleProcessTest, ArgumentsAndProgramPathArriveIntact) {
    testing_support::TempDir folder;
    const fs::path program = folder / "folder with blank \"quoted\" back\\slash" / "child program";
    fs::create_directories(program.parent_path());
    fs::copy_file(utils_test::ChildProgram(), program);

    const std::vector<std::wstring> arguments = {
        L"argv",
        L"/D=C:\\Program Files\\Lumivex",
        L"-instdir=\"D:\\x y\"",
        L"trailing backslash\\",
        L"\\\\\"",
        L"",
        L"  leading and trailing blanks  ",
        L"汉字 ünïcode",
        L"$HOME `echo no shell` ; | & *",
    };
    ConsoleProcess process;
    StartChild(process, arguments, program);
    const std::string output = ReadToEnd(process.OutputReadEnd());
    process.Wait();

    std::vector<std::string> received;
    for (std::size_t start = 0, end; (end = output.find('\0', start)) != std::string::npos; start = end + 1)
        received.push_back(output.substr(start, end - start));
    ASSERT_EQ(received.size(), arguments.size() + 1);
    EXPECT_EQ(received[0], program.string());
    for (std::size_t i = 0; i < arguments.size(); ++i) EXPECT_EQ(received[i + 1], Utils::WideToUtf8(arguments[i]));
}

std::set<int> DescriptorSet(const std::string& lines) {
    std::set<int> numbers;
    std::istringstream stream(lines);
    for (int fd = 0; stream >> fd;) numbers.insert(fd);
    return numbers;
}

// 0, 1, 2 and the descriptors this process already passes to every child
// (inherited from whoever started the tests, without close-on-exec).
std::set<int> ExpectedChildDescriptors() {
    std::set<int> expected = {0, 1, 2};
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC)) expected.insert(fd);
    }
    return expected;
}

TEST(ConsoleProcessTest, InheritsFolderAndEnvironmentButNoOtherDescriptors) {
    testing_support::UserSandbox sandbox;
    sandbox.setEnv("QV_CHILD_PROBE", "probe value");
    const fs::path previous = fs::current_path();
    fs::current_path(sandbox.home());

    const std::set<int> expectedDescriptors = ExpectedChildDescriptors();
    ConsoleProcess holder;  // its pipes are open while the second child starts
    StartChild(holder, {L"wait-stdin"});
    ConsoleProcess where;
    StartChild(where, {L"where", L"QV_CHILD_PROBE"});
    ConsoleProcess descriptors;
    StartChild(descriptors, {L"fds"});
    fs::current_path(previous);

    EXPECT_EQ(ReadToEnd(where.OutputReadEnd()), sandbox.home().string() + "\nprobe value");
    EXPECT_EQ(DescriptorSet(ReadToEnd(descriptors.OutputReadEnd())), expectedDescriptors);
    holder.Close();
    EXPECT_EQ(holder.Wait().state, ConsoleProcess::State::Exited);
    where.Wait();
    descriptors.Wait();
}

TEST(ConsoleProcessTest, StartFailuresThrowAndLeaveNothingOpen) {
    testing_support::TempDir folder;
    const fs::path notExecutable = testing_support::WriteFile(folder / "plain.txt", "not a program");
    ::chmod(notExecutable.c_str(), 0644);
    const fs::path script = testing_support::WriteFile(folder / "script", "echo never run by a shell\n");
    ::chmod(script.c_str(), 0755);

    const std::vector<fs::path> programs = {folder / "missing-program", notExecutable, script, folder.path()};
    for (const auto& program : programs) {
        SCOPED_TRACE(program.string());
        ConsoleProcess process;
        EXPECT_THROW(StartChild(process, {L"exit", L"0"}, program), Utils::Exception);
        EXPECT_EQ(process.ProcessId(), 0);
        EXPECT_EQ(process.ExitCode(), std::nullopt);
        EXPECT_EQ(process.Wait().state, ConsoleProcess::State::NotStarted);
        process.Close();
        process.Close();
        EXPECT_EQ(process.OutputReadEnd(), -1);
        EXPECT_EQ(process.ErrorReadEnd(), -1);
        EXPECT_EQ(process.InputWriteEnd(), -1);
    }
}

TEST(ConsoleProcessTest, CommandLineOf1024CharactersIsRefused) {
    const std::wstring program = Utils::WideFromPath(utils_test::ChildProgram());
    const std::vector<std::wstring> argv = {program, L"exit", L"0"};
    const auto padded = [&](std::size_t length) { return program + std::wstring(length - program.size(), L' '); };

    ConsoleProcess tooLong;
    EXPECT_THROW(tooLong.Start(padded(1024), argv), Utils::Exception);
    EXPECT_EQ(tooLong.ProcessId(), 0);

    ConsoleProcess longest;
    longest.Start(padded(1023), argv);
    EXPECT_EQ(longest.CommandLine(), padded(1023));
    EXPECT_EQ(longest.Wait().exitCode, 0);

    EXPECT_THROW(longest.Start(program, argv), Utils::Exception) << "one child per object";
    ConsoleProcess noArguments;
    EXPECT_THROW(noArguments.Start(program, {}), Utils::Exception);
}

TEST(FindProcessByNameTest, FindsRunningProgramByExactName) {
    testing_support::TempDir folder;
    const std::wstring name = L"QvFindMe" + std::to_wstring(::getpid()) + L".exe";
    const fs::path program = folder / Utils::PathFromWide(name);
    fs::copy_file(utils_test::ChildProgram(), program);

    EXPECT_EQ(Utils::FindProcessByName(name), 0u);
    ConsoleProcess process;
    StartChild(process, {L"wait-stdin"}, program);
    EXPECT_EQ(Utils::FindProcessByName(name), static_cast<std::uint32_t>(process.ProcessId()));

    std::wstring lower = name, upper = name;
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    for (const auto& other : {lower, upper, name.substr(0, name.size() - 4), name + L"x", std::wstring()})
        EXPECT_EQ(Utils::FindProcessByName(other), 0u) << Utils::WideToUtf8(other);

    process.Close();
    process.Wait();
    EXPECT_EQ(Utils::FindProcessByName(name), 0u) << "gone once it ended";
}

}  // namespace
