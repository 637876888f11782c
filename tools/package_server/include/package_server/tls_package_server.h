// An HTTPS package server on 127.0.0.1 for tests of certificate checking.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace package_server {

// Serves whole files over TLS with the given certificate and key (PEM files);
// HEAD and GET only, no fault injection.
class TlsPackageServer {
public:
    TlsPackageServer(const std::filesystem::path& certificate, const std::filesystem::path& key);
    ~TlsPackageServer();
    TlsPackageServer(const TlsPackageServer&) = delete;
    TlsPackageServer& operator=(const TlsPackageServer&) = delete;

    // False when the certificate or key is unusable or no port can be bound.
    bool Start();
    void Stop();

    std::uint16_t Port() const;
    // "https://127.0.0.1:<port>" + path.
    std::string Url(const std::string& path) const;
    // Serves `content` under "/<its md5>/<name>"; returns that path.
    std::string AddPackage(const std::string& name, std::string content);

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace package_server
