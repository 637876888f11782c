// Child program of the utils tests. The first argument picks what it does:
//   streams OUT ERR      writes OUT to standard output and ERR to standard error
//   exit N               exits with code N
//   raise SIGNAL         dies by SIGNAL
//   argv                 writes every argument (argv[0] included), each ended by NUL
//   where VARIABLE       writes the current folder, a line feed and the variable's value
//   fds                  writes the numbers of its open descriptors, one a line
//   wait-stdin           reads standard input until it ends
//   hold-lock NAME       takes the instance lock NAME, writes "held" or "busy"; a
//                        holder keeps it until standard input ends
//   send NAME MESSAGE    sends MESSAGE to the holder of NAME; exit code 0 when delivered
//   accounts [--group-file FILE] [--uid N] [--setsid] [--ctty PATH] ACCOUNT
//                        in a mount namespace of its own shows FILE as /etc/group,
//                        leaves its session or takes PATH as controlling terminal,
//                        drops to uid N (group nogroup), then writes the account queries
//   network-check IP     in a network namespace of its own with only loopback up,
//                        writes the network check result (hexadecimal) without a
//                        default route, with "default dev lo", and after removing it
//   fake-logind ADDRESS SESSION USER
//                        serves seat0 on the bus ADDRESS until standard input ends
#include "fake_logind.h"
#include "utils/exception.h"
#include "utils/instance_lock.h"
#include "utils/process.h"
#include "utils/system.h"
#include "utils/text.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <string>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// GLib is not built with ThreadSanitizer and its futex-based locks are invisible
// to it, so the GDBus worker thread of the login-manager queries looks racy.
// Only ThreadSanitizer builds ever call this.
extern "C" const char* __tsan_default_suppressions() { return "race:libglib-2.0.so\nrace:libgio-2.0.so\n"; }

namespace {

std::wstring Wide(const char* text) { return Utils::Utf8ToWideLenient(text); }

void WaitForEndOfInput() {
    char buffer[256];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
}

int ListDescriptors() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return 2;
    const int own = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own) continue;
        std::printf("%s\n", entry->d_name);
    }
    ::closedir(folder);
    return 0;
}

// Runs the ip tool with `arguments`; true when it succeeded.
bool RunIp(const char* tool, std::vector<std::wstring> arguments) {
    arguments.insert(arguments.begin(), Wide(tool));
    Utils::ConsoleProcess process;
    try {
        process.Start(L"ip", arguments);
    } catch (const Utils::Exception&) {
        return false;
    }
    process.Close();
    return process.Wait().exitCode == 0;
}

int NetworkCheck(const char* tool) {
    if (::unshare(CLONE_NEWNET) != 0 || !RunIp(tool, {L"link", L"set", L"lo", L"up"})) return 8;
    std::printf("%x\n", Utils::CheckNetwork());
    if (!RunIp(tool, {L"route", L"add", L"default", L"dev", L"lo"})) return 9;
    std::printf("%x\n", Utils::CheckNetwork());
    if (!RunIp(tool, {L"route", L"del", L"default", L"dev", L"lo"})) return 9;
    std::printf("%x\n", Utils::CheckNetwork());
    return 0;
}

int HoldLock(const char* name) {
    Utils::InstanceLock lock(Wide(name));
    lock.Acquire();
    std::printf(lock.IsHeld() ? "held\n" : "busy\n");
    std::fflush(stdout);
    if (lock.IsHeld()) WaitForEndOfInput();
    return 0;
}

// A process-group leader (as a spawned child is) cannot call setsid: continue in
// a forked child and hand its exit code on.
bool LeaveSession() {
    if (::setsid() >= 0) return true;
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child > 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
        std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : 3);
    }
    return ::setsid() >= 0;
}

int Accounts(int count, char** arguments) {
    int uid = -1;
    bool newSession = false;
    const char* terminal = nullptr;
    const char* groupFile = nullptr;
    int i = 0;
    for (; i + 1 < count; ++i) {
        if (std::strcmp(arguments[i], "--uid") == 0) uid = std::atoi(arguments[++i]);
        else if (std::strcmp(arguments[i], "--group-file") == 0) groupFile = arguments[++i];
        else if (std::strcmp(arguments[i], "--setsid") == 0) newSession = true;
        else if (std::strcmp(arguments[i], "--ctty") == 0) terminal = arguments[++i];
        else break;
    }
    if (i >= count) return 2;
    if (groupFile && (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                      ::mount(groupFile, "/etc/group", nullptr, MS_BIND, nullptr) != 0))
        return 7;
    if ((newSession || terminal) && !LeaveSession()) return 4;
    if (terminal) {
        const int fd = ::open(terminal, O_RDWR);
        if (fd < 0 || ::ioctl(fd, TIOCSCTTY, 0) != 0) return 5;
    }
    if (uid >= 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(uid) != 0)) return 6;
    std::wstring user;
    const bool known = Utils::GetConsoleUserName(user);
    std::printf("process-admin=%d\naccount-admin=%d\nconsole-user=%s\n", Utils::IsProcessAdmin() ? 1 : 0,
                Utils::IsUserAccountAdmin(Wide(arguments[i])) ? 1 : 0, known ? Utils::WideToUtf8(user).c_str() : "-");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string mode = argv[1];
    if (mode == "streams" && argc == 4) {
        std::fputs(argv[2], stdout);
        std::fputs(argv[3], stderr);
        return 0;
    }
    if (mode == "exit" && argc == 3) return std::atoi(argv[2]);
    if (mode == "raise" && argc == 3) {
        std::raise(std::atoi(argv[2]));
        return 2;
    }
    if (mode == "argv") {
        for (int i = 0; i < argc; ++i) std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, stdout);
        return 0;
    }
    if (mode == "where" && argc == 3) {
        char folder[4096];
        const char* value = std::getenv(argv[2]);
        std::printf("%s\n%s", ::getcwd(folder, sizeof folder) ? folder : "?", value ? value : "");
        return 0;
    }
    if (mode == "fds") return ListDescriptors();
    if (mode == "wait-stdin") {
        WaitForEndOfInput();
        return 0;
    }
    if (mode == "hold-lock" && argc == 3) return HoldLock(argv[2]);
    if (mode == "send" && argc == 4)
        return Utils::SendInstanceMessage(Wide(argv[2]), static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10))) ? 0 : 1;
    if (mode == "accounts") return Accounts(argc - 2, argv + 2);
    if (mode == "network-check" && argc == 3) return NetworkCheck(argv[2]);
    if (mode == "fake-logind" && argc == 5) return RunFakeLogind(argv[2], argv[3], argv[4]);
    return 2;
}
