#include "testing/sandbox.h"
#include "utils/md5.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

extern char** environ;

namespace {

size_t Append(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

std::string Get(const std::string& url) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    return curl_easy_perform(curl.get()) == CURLE_OK ? body : "<failed>";
}

TEST(PackageServerProgramTest, ServesAFolderUntilTerminated) {
    testing_support::TempDir folder;
    testing_support::WriteFile(folder / "setup.exe", "the package");

    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string program = PACKAGE_SERVER_PROGRAM, rootOption = "--root", root = folder.path().string();
    char* argv[] = {program.data(), rootOption.data(), root.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    // The program prints its address, then one line per package.
    std::unique_ptr<FILE, decltype(&std::fclose)> lines(::fdopen(out[0], "r"), &std::fclose);
    char line[512];
    ASSERT_NE(std::fgets(line, sizeof line, lines.get()), nullptr);
    EXPECT_EQ(std::string(line).rfind("listening on http://127.0.0.1:", 0), 0u) << line;
    ASSERT_NE(std::fgets(line, sizeof line, lines.get()), nullptr);
    std::string url(line);
    url.pop_back();
    Utils::Md5 md5;
    md5.Update("the package", 11);
    EXPECT_EQ(url.substr(url.find('/', 7)), "/" + md5.FinalHex() + "/setup.exe");
    EXPECT_EQ(Get(url), "the package");

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
