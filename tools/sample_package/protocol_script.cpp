#include "protocol_script.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void WriteAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (written <= 0) return;
        done += static_cast<std::size_t>(written);
    }
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Dies by a signal even where a sanitizer runtime would catch SIGSEGV and exit normally.
[[noreturn]] void Crash() {
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    ::kill(::getpid(), SIGKILL);
    std::abort();
}

}  // namespace

void Say(const std::string& line) { WriteAll(line + "\n"); }

std::optional<int> RunScriptIfConfigured(int argc, char** argv) {
    const char* scriptPath = std::getenv("QUORVANE_SAMPLE_SCRIPT");
    if (!scriptPath || !*scriptPath) return std::nullopt;
    std::ifstream script(scriptPath);
    std::string line;
    while (std::getline(script, line)) {
        const std::size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (word == "say") WriteAll(rest + "\n");
        else if (word == "raw") WriteAll(FromHex(rest));
        else if (word == "sleep") std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(rest.c_str())));
        else if (word == "args") for (int i = 1; i < argc; ++i) WriteAll(std::string("Arg=") + argv[i] + "\n");
        else if (word == "crash") Crash();
        else if (word == "exit") return std::atoi(rest.c_str());
    }
    return 0;
}
