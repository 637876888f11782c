#include "utils/process.h"

#include "utils/exception.h"
#include "utils/log.h"
#include "utils/text.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Utils {
namespace {

struct SpawnActions {
    posix_spawn_file_actions_t actions;
    SpawnActions() {
        if (::posix_spawn_file_actions_init(&actions) != 0) throw Exception();
    }
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
};

struct SpawnAttributes {
    posix_spawnattr_t attributes;
    SpawnAttributes() {
        if (::posix_spawnattr_init(&attributes) != 0) throw Exception();
    }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
};

// Signals this program blocks or ignores (SIGPIPE for network code, SIGTERM for
// a close request) must not stay blocked or ignored in the child.
void ResetSignals(SpawnAttributes& spawn) {
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    if (::posix_spawnattr_setsigdefault(&spawn.attributes, &all) != 0 ||
        ::posix_spawnattr_setsigmask(&spawn.attributes, &none) != 0 ||
        ::posix_spawnattr_setpgroup(&spawn.attributes, 0) != 0 ||
        ::posix_spawnattr_setflags(&spawn.attributes,
                                   POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP) != 0)
        throw Exception();
}

ConsoleProcess::Status StatusFromWait(int raw) {
    ConsoleProcess::Status status;
    if (WIFSIGNALED(raw)) {
        status.state = ConsoleProcess::State::Killed;
        status.signal = WTERMSIG(raw);
    } else {
        status.state = ConsoleProcess::State::Exited;
        status.exitCode = WEXITSTATUS(raw);
    }
    return status;
}

std::string BaseName(std::string path) {
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable file name of process `pid`, "" when it cannot be read (kernel
// threads, processes that ended meanwhile).
std::string ExecutableName(const std::string& pid) {
    const std::string folder = "/proc/" + pid;
    char target[4096];
    const ssize_t length = ::readlink((folder + "/exe").c_str(), target, sizeof target);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof target) return BaseName(std::string(target, length));
    // Another user's process: the executable link is closed to us, argv[0] is not.
    std::ifstream commandLine(folder + "/cmdline", std::ios::binary);
    std::string argv0;
    std::getline(commandLine, argv0, '\0');
    return argv0.empty() ? std::string() : BaseName(argv0);
}

bool IsProcessIdName(const char* name) {
    if (*name == '\0') return false;
    for (const char* c = name; *c; ++c)
        if (*c < '0' || *c > '9') return false;
    return true;
}

}  // namespace

void ConsoleProcess::Start(std::wstring_view commandLine, const std::vector<std::wstring>& argv) {
    if (commandLine.size() >= kCommandLineCapacity || argv.empty() || pid_ != 0) throw Exception();
    commandLine_.assign(commandLine);

    error_.emplace();
    output_.emplace();
    input_.emplace();

    std::vector<std::string> arguments;
    for (const auto& argument : argv) arguments.push_back(WideToUtf8(argument));
    std::vector<char*> pointers;
    for (auto& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    // The pipe ends are all above 2 and close-on-exec; dup2 gives the child its
    // three ends without the flag, and nothing else of ours is inherited.
    SpawnActions actions;
    SpawnAttributes attributes;
    if (::posix_spawn_file_actions_adddup2(&actions.actions, input_->ReadEnd(), STDIN_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(&actions.actions, output_->WriteEnd(), STDOUT_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(&actions.actions, error_->WriteEnd(), STDERR_FILENO) != 0)
        throw Exception();
    ResetSignals(attributes);

    pid_t child = 0;
    const int result = ::posix_spawn(&child, pointers[0], &actions.actions, &attributes.attributes,
                                     pointers.data(), environ);
    if (result != 0) {
        UTILS_LOG_LINE(L"cannot start %s: error %d", argv[0], result);
        throw Exception();
    }
    pid_ = child;
    output_->CloseWriteEnd();
    error_->CloseWriteEnd();
    input_->CloseReadEnd();
}

long ConsoleProcess::ReadFrom(int fd, char* buffer, std::size_t size) {
    if (fd < 0) return -1;
    for (;;) {
        const ssize_t count = ::read(fd, buffer, size);
        if (count >= 0 || errno != EINTR) return static_cast<long>(count);
    }
}

ConsoleProcess::Status ConsoleProcess::Reap(bool block) {
    if (ended_) return *ended_;
    if (pid_ == 0) return {};
    for (;;) {
        int raw = 0;
        const pid_t result = ::waitpid(pid_, &raw, block ? 0 : WNOHANG);
        if (result == pid_) {
            ended_ = StatusFromWait(raw);
            return *ended_;
        }
        if (result == 0) return {State::Running, 0, 0};
        if (errno == EINTR) continue;
        // ECHILD: the status went elsewhere (SIGCHLD ignored); the child is gone
        // and its exit code is unknown.
        UTILS_LOG_LINE(L"waitpid %d failed: error %d", static_cast<int>(pid_), errno);
        ended_ = Status{State::Exited, 0, 0};
        return *ended_;
    }
}

ConsoleProcess::Status ConsoleProcess::Poll() { return Reap(false); }

ConsoleProcess::Status ConsoleProcess::Wait() { return Reap(true); }

std::optional<std::uint32_t> ConsoleProcess::ExitCode() {
    const Status status = Poll();
    switch (status.state) {
        case State::NotStarted: return std::nullopt;
        case State::Running: return kStillActive;
        case State::Exited: return static_cast<std::uint32_t>(status.exitCode);
        case State::Killed: return 128u + static_cast<std::uint32_t>(status.signal);
    }
    return std::nullopt;
}

void ConsoleProcess::Close() {
    if (pid_ != 0) Poll();  // reap a child that already ended: no zombie stays behind
    error_.reset();
    output_.reset();
    input_.reset();
}

std::uint32_t FindProcessByName(std::wstring_view fileName) {
    const std::string wanted = WideToUtf8(fileName);
    if (wanted.empty()) return 0;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), &::closedir);
    if (!proc) return 0;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!IsProcessIdName(entry->d_name)) continue;
        if (ExecutableName(entry->d_name) == wanted) return static_cast<std::uint32_t>(std::strtoul(entry->d_name, nullptr, 10));
    }
    return 0;
}

}  // namespace Utils
