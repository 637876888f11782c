// A package distribution server for tests and demos, bound to 127.0.0.1.
//
// Packages are served under any path, conventionally "/<md5>/<file name>", as
// application/octet-stream without content coding. HEAD and GET are answered
// with Content-Length, single byte ranges ("bytes=a-b", "bytes=a-") with 206
// and Content-Range (416 past the end), and redirects with 302. Rules inject
// faults into chosen requests, and every request is recorded so that tests can
// assert on what a client sent.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace package_server {

// How one request is answered instead of normally. Knobs combine.
struct Fault {
    int status = 0;                                 // answer this status with an empty body
    std::optional<std::uint64_t> closeAfterBytes{}; // drop the connection after this many body bytes
    std::chrono::milliseconds stall{0};             // pause after the headers, before the body
    bool corruptBody = false;                       // send every body byte inverted
    bool omitContentLength = false;                 // no Content-Length: the body ends when the connection closes
    bool ignoreRange = false;                       // answer a range request with the whole file (200)
    std::uint64_t bytesPerSecond = 0;               // body rate limit; 0 is unlimited
};

// Applies `fault` to the next `times` requests (-1: all) whose method and path
// match; an empty method or path matches any. The first rule that matches and
// still has uses applies.
struct Rule {
    std::string method;
    std::string path;
    int times = 1;
    Fault fault;
};

// One request as the server saw it. Header names are lower case.
struct RequestRecord {
    std::string method;
    std::string target;
    std::map<std::string, std::string> headers;
    int status = 0;
    std::uint64_t bodyBytesSent = 0;

    std::string Header(const std::string& lowerCaseName) const;
};

class PackageServer {
public:
    PackageServer();
    // Stops the server.
    ~PackageServer();
    PackageServer(const PackageServer&) = delete;
    PackageServer& operator=(const PackageServer&) = delete;

    // Binds 127.0.0.1:`port` (0: an ephemeral port) and serves on its own
    // threads; false when the port cannot be bound.
    bool Start(std::uint16_t port = 0);
    // Closes every connection and joins every thread. Safe to call repeatedly.
    void Stop();

    std::uint16_t Port() const;
    // "http://127.0.0.1:<port>" + path.
    std::string Url(const std::string& path) const;

    // Serves `content` under `path`; returns the path.
    std::string AddContent(const std::string& path, std::string content);
    // Serves the file under `path`, read on every request; returns the path.
    std::string AddFile(const std::string& path, const std::filesystem::path& file);
    // Serves `content` under "/<its md5>/<name>"; returns that path.
    std::string AddPackage(const std::string& name, std::string content);
    // Serves every regular file of `folder` under "/<its md5>/<name>"; returns the paths.
    std::vector<std::string> AddFolder(const std::filesystem::path& folder);
    // Answers `from` with a redirect to `to` (a path of this server or an absolute address).
    void AddRedirect(const std::string& from, const std::string& to, int status = 302);

    void AddRule(Rule rule);
    void ClearRules();

    std::vector<RequestRecord> Requests() const;
    void ClearRequests();

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// "/" + md5 of `content` + "/" + name.
std::string DigestPath(const std::string& name, const std::string& content);

}  // namespace package_server
