// package_server: serves every file of a folder under /<md5>/<file name> on 127.0.0.1.
//
//   package_server --root <folder> [--port <port>]
//
// Prints one address a line once it listens, then serves until SIGINT or SIGTERM.
#include "package_server/package_server.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

int Usage() {
    std::cerr << "usage: package_server --root <folder> [--port <port>]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path root;
    long port = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--root")
            root = argv[i + 1];
        else if (option == "--port")
            port = std::strtol(argv[i + 1], nullptr, 10);
        else
            return Usage();
    }
    if (root.empty() || argc % 2 == 0 || port < 0 || port > 65535) return Usage();
    if (!std::filesystem::is_directory(root)) {
        std::cerr << "package_server: not a folder: " << root << "\n";
        return 1;
    }

    // Block the stop signals before any server thread exists, then wait for one here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    package_server::PackageServer server;
    const std::vector<std::string> paths = server.AddFolder(root);
    if (!server.Start(static_cast<std::uint16_t>(port))) {
        std::cerr << "package_server: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    std::cout << "listening on " << server.Url("/") << "\n";
    for (const std::string& path : paths) std::cout << server.Url(path) << "\n";
    std::cout.flush();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    return 0;
}
