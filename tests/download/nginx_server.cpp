#include "nginx_server.h"

#include "download_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace download_testing {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

// A port the kernel just handed out, released again for nginx to bind.
std::uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

bool Accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) ::close(fd);
    return connected;
}

std::string Configuration(const std::filesystem::path& work, const std::filesystem::path& root, std::uint16_t port) {
    const std::string w = work.string();
    std::string conf;
    // Started by root, nginx workers would otherwise run as "nobody" and could not read the test folders.
    if (::geteuid() == 0) conf += "user root;\n";
    conf += "worker_processes 1;\ndaemon off;\npid " + w + "/nginx.pid;\nerror_log " + w + "/error.log;\n";
    conf += "events { worker_connections 64; }\n";
    conf += "http {\n  default_type application/octet-stream;\n  types { }\n  sendfile on;\n";
    conf += "  log_format probe '$request_method $uri range=$http_range $status';\n";
    conf += "  access_log " + w + "/access.log probe;\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        conf += std::string("  ") + temp + "_temp_path " + w + "/" + temp + ";\n";
    conf += "  server {\n    listen 127.0.0.1:" + std::to_string(port) + ";\n    root " + root.string() + ";\n  }\n}\n";
    return conf;
}

}  // namespace

NginxServer::NginxServer(const std::filesystem::path& root) : root_(root), work_(root.parent_path() / "nginx") {}

NginxServer::~NginxServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGQUIT);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

bool NginxServer::Start() {
    std::filesystem::create_directories(work_);
    port_ = FreeLoopbackPort();
    const std::filesystem::path conf = work_ / "nginx.conf";
    WriteWholeFile(conf, Configuration(work_, root_, port_));
    std::vector<std::string> args = {kNginx, "-p", work_.string(), "-e", (work_ / "error.log").string(), "-c", conf.string()};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, kNginx, nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        error_ = "nginx could not be started";
        return false;
    }
    // Ready once it accepts connections; a start-up failure ends the process.
    for (int i = 0; i < 500; ++i) {
        if (Accepts(port_)) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = "nginx exited: " + ReadWholeFile(work_ / "error.log");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error_ = "nginx did not accept connections: " + ReadWholeFile(work_ / "error.log");
    return false;
}

std::string NginxServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string NginxServer::AccessLog() const { return ReadWholeFile(work_ / "access.log"); }

}  // namespace download_testing
