// Child programs with redirected standard streams, and finding a running program.
#pragma once

#include "utils/pipe.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace Utils {

// A child program whose standard input, output and error are anonymous pipes.
// The parent keeps the read ends of output and error and the write end of input;
// the child's ends are closed in the parent once it runs. One thread uses an
// object at a time.
class ConsoleProcess {
public:
    // Command lines have at most this many characters minus one.
    static constexpr std::size_t kCommandLineCapacity = 1024;
    // The exit code reported while the child is still running.
    static constexpr std::uint32_t kStillActive = 259;

    enum class State { NotStarted, Running, Exited, Killed };
    struct Status {
        State state = State::NotStarted;
        int exitCode = 0;  // State::Exited
        int signal = 0;    // State::Killed: the signal that ended the child
    };

    ConsoleProcess() = default;
    // Closes what is open; a child still running is not waited for (call Wait first).
    ~ConsoleProcess() { Close(); }
    ConsoleProcess(const ConsoleProcess&) = delete;
    ConsoleProcess& operator=(const ConsoleProcess&) = delete;

    // Creates the three pipes and starts argv[0] with `argv` (never through a shell,
    // no PATH search: a relative program path is relative to the current folder),
    // inheriting the environment and current folder. The child gets default signal
    // dispositions, an empty signal mask and its own process group, so terminal
    // signals meant for this program do not reach it. `commandLine` is the textual
    // form kept for CommandLine() and logs. Throws Utils::Exception with an empty
    // message when `commandLine` has kCommandLineCapacity characters or more, argv
    // is empty, a pipe cannot be created, the program cannot be started, or a child
    // was already started by this object.
    void Start(std::wstring_view commandLine, const std::vector<std::wstring>& argv);

    const std::wstring& CommandLine() const { return commandLine_; }
    // The child's process id; 0 before a successful start.
    pid_t ProcessId() const { return pid_; }

    // Parent ends (-1 when not open).
    int OutputReadEnd() const { return output_ ? output_->ReadEnd() : -1; }
    int ErrorReadEnd() const { return error_ ? error_->ReadEnd() : -1; }
    int InputWriteEnd() const { return input_ ? input_->WriteEnd() : -1; }

    // Blocking read of at most `size` bytes of the child's standard output (or
    // error): the byte count, 0 at end of stream, -1 on failure or no pipe.
    long ReadOutput(char* buffer, std::size_t size) const { return ReadFrom(OutputReadEnd(), buffer, size); }
    long ReadError(char* buffer, std::size_t size) const { return ReadFrom(ErrorReadEnd(), buffer, size); }

    // Does not block. A child that ended is reaped the first time this sees it.
    Status Poll();
    // Waits without time-out for the child to end; NotStarted when there is none.
    Status Wait();
    // kStillActive while running; the exit code after a normal exit; 128 + the
    // signal number after a death by signal (Poll tells the two apart); nullopt
    // when no child was started.
    std::optional<std::uint32_t> ExitCode();

    // Closes every pipe end that is still open. The child is not waited for and
    // not signalled; its status stays queryable.
    void Close();

private:
    static long ReadFrom(int fd, char* buffer, std::size_t size);
    Status Reap(bool block);

    std::wstring commandLine_;
    std::optional<Pipe> error_;
    std::optional<Pipe> output_;
    std::optional<Pipe> input_;
    pid_t pid_ = 0;
    std::optional<Status> ended_;
};

// The id of a running process whose executable file name equals `fileName`
// exactly (case-sensitive), or 0. The name is the base name of /proc/PID/exe,
// or of the process's argv[0] when the executable link cannot be read.
std::uint32_t FindProcessByName(std::wstring_view fileName);

}  // namespace Utils
