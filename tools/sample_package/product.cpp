// The sample product: what the sample package installs as "Lumivex.exe". It
// records that it ran (for tests and the demo) and stays up for a few seconds,
// long enough to be seen in the process list, or until it is asked to stop.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

std::string ExecutableFolder() {
    char path[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string self(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    return self.substr(0, self.rfind('/'));
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    std::signal(SIGINT, [](int) { g_stop = 1; });
    int seconds = 3;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--seconds=", 0) == 0) seconds = std::atoi(argv[i] + 10);
    if (const char* value = std::getenv("QUORVANE_PRODUCT_SECONDS")) seconds = std::atoi(value);

    const std::string folder = ExecutableFolder();
    std::ofstream(folder + "/last-run.txt") << "Quorvane ran from " << folder << " with " << argc - 1 << " arguments\n";
    std::printf("Quorvane is installed in %s\n", folder.c_str());
    std::fflush(stdout);
    for (int tenth = 0; tenth < seconds * 10 && !g_stop; ++tenth) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return 0;
}
