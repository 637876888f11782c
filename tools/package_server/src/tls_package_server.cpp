#include "package_server/tls_package_server.h"

#include "package_server/package_server.h"

#include <httplib.h>

#include <map>
#include <mutex>
#include <chrono>
#include <thread>

namespace package_server {

class TlsPackageServer::Impl {
public:
    Impl(const std::filesystem::path& certificate, const std::filesystem::path& key)
        : server(certificate.c_str(), key.c_str()) {
        server.Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            const auto found = packages.find(request.path);
            if (found == packages.end()) {
                response.status = 404;
                return;
            }
            response.set_content(found->second, "application/octet-stream");
        });
    }

    httplib::SSLServer server;
    std::thread thread;
    int port = -1;
    std::mutex mutex;
    std::map<std::string, std::string> packages;
};

TlsPackageServer::TlsPackageServer(const std::filesystem::path& certificate, const std::filesystem::path& key)
    : impl_(std::make_unique<Impl>(certificate, key)) {}

TlsPackageServer::~TlsPackageServer() { Stop(); }

bool TlsPackageServer::Start() {
    if (!impl_->server.is_valid()) return false;
    impl_->port = impl_->server.bind_to_any_port("127.0.0.1");
    if (impl_->port <= 0) return false;
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    // stop() only works on a running server; the loop is up within moments.
    while (!impl_->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void TlsPackageServer::Stop() {
    if (!impl_->thread.joinable()) return;
    impl_->server.stop();
    impl_->thread.join();
}

std::uint16_t TlsPackageServer::Port() const { return static_cast<std::uint16_t>(impl_->port); }

std::string TlsPackageServer::Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(impl_->port) + path;
}

std::string TlsPackageServer::AddPackage(const std::string& name, std::string content) {
    const std::string path = DigestPath(name, content);
    std::lock_guard lock(impl_->mutex);
    impl_->packages[path] = std::move(content);
    return path;
}

}  // namespace package_server
