// A real nginx on 127.0.0.1 with its own temporary configuration, for tests
// that check the downloader against a production web server.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace download_testing {

class NginxServer {
public:
    // Serves `root` (files readable by the server) on a free loopback port.
    explicit NginxServer(const std::filesystem::path& root);
    // Stops nginx and waits for it.
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // False (with the reason in Error()) when nginx did not come up.
    bool Start();
    std::string Url(const std::string& path) const;
    // Lines "<method> <uri> range=<Range header> <status>" of the requests served so far.
    std::string AccessLog() const;
    const std::string& Error() const { return error_; }

private:
    std::filesystem::path root_;
    std::filesystem::path work_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
    std::string error_;
};

}  // namespace download_testing
