#include "child_program.h"

#include "testing/sandbox.h"
#include "utils/instance_lock.h"
#include "utils/process.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Utils::ConsoleProcess;
using Utils::InstanceLock;
using utils_test::ReadLine;
using utils_test::StartChild;

const std::wstring kLockName = L"Installer_Lumivex";

// Collects the messages a handler receives.
class MessageLog {
public:
    InstanceLock::MessageHandler Handler() {
        return [this](std::uint32_t message) {
            std::lock_guard lock(mutex_);
            messages_.push_back(message);
            changed_.notify_all();
        };
    }
    // Waits (without time-out: a lost message hangs the test until CTest ends it)
    // for `count` messages.
    std::vector<std::uint32_t> WaitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return messages_.size() >= count; });
        return messages_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::uint32_t> messages_;
};

// A child program that takes the lock and reports "held" or "busy".
struct LockChild {
    ConsoleProcess process;
    std::string answer;
    explicit LockChild(const std::wstring& name) {
        StartChild(process, {L"hold-lock", name});
        answer = ReadLine(process.OutputReadEnd());
    }
    // Ends the child (a holder lets go when its input ends) and reaps it.
    ~LockChild() {
        process.Close();
        process.Wait();
    }
};

int SendFromChild(const std::wstring& message) {
    ConsoleProcess sender;
    StartChild(sender, {L"send", kLockName, message});
    return sender.Wait().exitCode;
}

TEST(InstanceLockTest, FilesLiveInTheRuntimeFolder) {
    testing_support::UserSandbox sandbox;
    EXPECT_EQ(Utils::InstanceLockPath(kLockName), sandbox.runtimeDir() / "D1A547DB89C0BC61_Installer_Lumivex.lock");
    EXPECT_EQ(Utils::InstanceSocketPath(kLockName), sandbox.runtimeDir() / "D1A547DB89C0BC61_Installer_Lumivex.sock");
    EXPECT_EQ(Utils::InstanceLockPath(L"../escape"), fs::path()) << "a name cannot leave the folder";
}

TEST(InstanceLockTest, SecondHolderInTheSameProcessSeesNoLock) {
    testing_support::UserSandbox sandbox;
    InstanceLock first(kLockName), second(kLockName);
    first.Acquire();
    ASSERT_TRUE(first.IsHeld());
    first.Acquire();  // already held: nothing changes
    EXPECT_TRUE(first.IsHeld());
    second.Acquire();
    EXPECT_FALSE(second.IsHeld());
    first.Release();
    EXPECT_FALSE(first.IsHeld());
    second.Acquire();
    EXPECT_TRUE(second.IsHeld());
    EXPECT_TRUE(fs::exists(Utils::InstanceSocketPath(kLockName)));
    second.Release();
    EXPECT_FALSE(fs::exists(Utils::InstanceSocketPath(kLockName))) << "the socket goes with the lock";
}

TEST(InstanceLockTest, SecondProcessFailsUntilTheFirstEnds) {
    struct Ending {
        const char* name;
        void (*end)(ConsoleProcess&);
    };
    const Ending endings[] = {
        {"normal exit", [](ConsoleProcess& p) { p.Close(); }},
        {"kill -9", [](ConsoleProcess& p) { ::kill(p.ProcessId(), SIGKILL); }},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        testing_support::UserSandbox sandbox;
        LockChild first(kLockName);
        ASSERT_EQ(first.answer, "held");
        EXPECT_EQ(LockChild(kLockName).answer, "busy");
        InstanceLock here(kLockName);
        here.Acquire();
        EXPECT_FALSE(here.IsHeld());

        ending.end(first.process);
        first.process.Wait();
        EXPECT_EQ(LockChild(kLockName).answer, "held");
        here.Acquire();
        EXPECT_TRUE(here.IsHeld());
    }
}

TEST(InstanceLockTest, MessagesFromAnotherProcessReachTheHandler) {
    testing_support::UserSandbox sandbox;
    EXPECT_NE(SendFromChild(L"1224"), 0) << "nobody holds the lock yet";

    MessageLog log;
    InstanceLock lock(kLockName);
    lock.SetMessageHandler(log.Handler());
    lock.Acquire();
    ASSERT_TRUE(lock.IsHeld());

    // Only "1224" is accepted: the other datagram arrives first and is dropped.
    EXPECT_EQ(SendFromChild(L"1225"), 0);
    EXPECT_EQ(SendFromChild(L"1224"), 0);
    EXPECT_EQ(log.WaitFor(1), std::vector<std::uint32_t>{1224});
    EXPECT_EQ(SendFromChild(L"1224"), 0);
    EXPECT_EQ(log.WaitFor(2), (std::vector<std::uint32_t>{1224, 1224}));

    lock.SetMessageHandler(nullptr);  // dropped from now on, but still delivered
    EXPECT_TRUE(Utils::SendInstanceMessage(kLockName, Utils::kDownloaderStartedMessage));
    lock.Release();
    EXPECT_FALSE(Utils::SendInstanceMessage(kLockName, Utils::kDownloaderStartedMessage));
}

TEST(InstanceLockTest, SocketLeftByAKilledHolderIsReplaced) {
    testing_support::UserSandbox sandbox;
    LockChild killed(kLockName);
    ASSERT_EQ(killed.answer, "held");
    ::kill(killed.process.ProcessId(), SIGKILL);
    ASSERT_EQ(killed.process.Wait().state, ConsoleProcess::State::Killed);

    struct stat info {};
    ASSERT_EQ(::lstat(Utils::InstanceSocketPath(kLockName).c_str(), &info), 0) << "the dead holder left its socket";
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_FALSE(Utils::SendInstanceMessage(kLockName, Utils::kDownloaderStartedMessage)) << "nobody reads it";

    MessageLog log;
    InstanceLock lock(kLockName);
    lock.SetMessageHandler(log.Handler());
    lock.Acquire();
    ASSERT_TRUE(lock.IsHeld());
    EXPECT_EQ(SendFromChild(L"1224"), 0);
    EXPECT_EQ(log.WaitFor(1), std::vector<std::uint32_t>{1224});
}

TEST(InstanceLockTest, LongRuntimeFolderPathStillCarriesMessages) {
    testing_support::UserSandbox sandbox;
    const fs::path deep = sandbox.root() / std::string(120, 'r');
    fs::create_directory(deep);
    fs::permissions(deep, fs::perms::owner_all, fs::perm_options::replace);
    sandbox.setEnv("XDG_RUNTIME_DIR", deep.string());
    ASSERT_GE(Utils::InstanceSocketPath(kLockName).native().size(), sizeof(sockaddr_un::sun_path));

    MessageLog log;
    InstanceLock lock(kLockName);
    lock.SetMessageHandler(log.Handler());
    lock.Acquire();
    ASSERT_TRUE(lock.IsHeld());
    EXPECT_EQ(SendFromChild(L"1224"), 0);
    EXPECT_EQ(log.WaitFor(1), std::vector<std::uint32_t>{1224});
}

}  // namespace
