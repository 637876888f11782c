#include "utils/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>

namespace {

std::string SystemNameOf(int threadId) {
    std::ifstream comm("/proc/self/task/" + std::to_string(threadId) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

TEST(ThreadTest, NothingRunsBeforeResume) {
    std::atomic<int> runs{0};
    int argument = 5;
    {
        Utils::Thread thread(&argument, L"ABDEF", [&](void* arg) -> std::uint32_t {
            runs += *static_cast<int*>(arg);
            return 0;
        });
        ASSERT_TRUE(thread.HasThread());
        EXPECT_GT(thread.Id(), 0);
        EXPECT_EQ(runs.load(), 0);
        thread.Resume();
        thread.Resume();
        thread.Join();
        EXPECT_FALSE(thread.HasThread());
        EXPECT_EQ(thread.Id(), -1);
        thread.Join();
    }
    EXPECT_EQ(runs.load(), 5) << "the function ran exactly once with its argument";
}

TEST(ThreadTest, NeverResumedThreadEndsWithoutRunning) {
    std::atomic<bool> ran{false};
    {
        Utils::Thread thread(nullptr, L"ABDEF", [&](void*) -> std::uint32_t {
            ran = true;
            return 0;
        });
    }
    EXPECT_FALSE(ran.load());
}

TEST(ThreadTest, NamesAreVisibleToTheSystem) {
    struct Case {
        std::wstring name;
        std::string expected;  // "" means "t" + id
    };
    const Case cases[] = {{L"ABDEF", "ABDEF"}, {L"UnInstaller", "UnInstaller"},
                          {L"a-very-long-thread-name", "a-very-long-thr"}, {L"\u4e2d\u6587\u540d\u5b57\u7ebf\u7a0b", "中文名字线"},
                          {L"", ""}};
    for (const auto& [name, expected] : cases) {
        std::atomic<bool> release{false};
        Utils::Thread thread(nullptr, name, [&](void*) -> std::uint32_t {
            while (!release) std::this_thread::yield();
            return 0;
        });
        const int id = thread.Id();
        EXPECT_EQ(SystemNameOf(id), expected.empty() ? "t" + std::to_string(id) : expected);
        release = true;
        thread.Resume();
    }
}

TEST(ThreadTest, ResetDropsTheFunctionAfterJoining) {
    std::atomic<int> runs{0};
    Utils::Thread thread(nullptr, L"ABDEF", [&](void*) -> std::uint32_t { return ++runs; });
    thread.Resume();
    thread.Reset();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_FALSE(thread.HasThread());
}

}  // namespace
