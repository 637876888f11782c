#include "package_server/package_server.h"

#include "utils/md5.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>

namespace package_server {
namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kBodyChunk = 64 * 1024;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 206: return "Partial Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 307: return "Temporary Redirect";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 416: return "Range Not Satisfiable";
        case 500: return "Internal Server Error";
        default: return "Status";
    }
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

struct Request {
    std::string method;
    std::string target;
    std::map<std::string, std::string> headers;
};

struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

// A single "bytes=a-b" or "bytes=a-" range; nullopt for anything else
// (multiple ranges and suffix ranges are answered with the whole file).
std::optional<ByteRange> ParseRange(const std::string& header, std::uint64_t size) {
    if (header.rfind("bytes=", 0) != 0 || header.find(',') != std::string::npos) return std::nullopt;
    const std::string bounds = header.substr(6);
    const auto dash = bounds.find('-');
    if (dash == std::string::npos || dash == 0) return std::nullopt;
    try {
        ByteRange range;
        range.first = std::stoull(bounds.substr(0, dash));
        const std::string last = bounds.substr(dash + 1);
        range.last = last.empty() ? size - 1 : std::min<std::uint64_t>(std::stoull(last), size - 1);
        return range;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::string RequestRecord::Header(const std::string& lowerCaseName) const {
    const auto found = headers.find(lowerCaseName);
    return found == headers.end() ? std::string() : found->second;
}

std::string DigestPath(const std::string& name, const std::string& content) {
    Utils::Md5 md5;
    md5.Update(content.data(), content.size());
    return "/" + md5.FinalHex() + "/" + name;
}

class PackageServer::Impl {
public:
    ~Impl() { Stop(); }

    bool Start(std::uint16_t port);
    void Stop();

    struct Entry {
        std::shared_ptr<const std::string> content;
        std::filesystem::path file;
    };
    struct Redirect {
        std::string location;
        int status;
    };

    mutable std::mutex mutex;
    std::map<std::string, Entry> entries;
    std::map<std::string, Redirect> redirects;
    std::vector<Rule> rules;
    std::vector<RequestRecord> records;
    std::size_t clearedRecords = 0;  // records dropped by ClearRequests; keeps record numbers stable
    std::uint16_t port = 0;

private:
    struct Connection {
        int fd = -1;
        bool done = false;
        std::thread thread;
    };

    void AcceptLoop();
    void ReapFinishedConnections();
    void Serve(Connection& connection);
    std::optional<Request> ReadRequest(int fd, std::string& pending);
    bool Respond(int fd, const Request& request);
    Fault TakeFault(const std::string& method, const std::string& path);
    std::size_t Record(const Request& request);
    void Finish(std::size_t record, int status, std::uint64_t bodyBytes);
    bool SendHeaders(int fd, int status, const std::vector<std::string>& lines, bool keepAlive);
    bool SendBody(int fd, const Entry& entry, std::uint64_t offset, std::uint64_t length, const Fault& fault,
                  std::uint64_t& sent);
    // Sleeps unless the server stops first; false when it stops.
    bool Sleep(std::chrono::nanoseconds duration);

    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::condition_variable stopChanged_;
    std::mutex stopMutex_;
    std::thread acceptThread_;
    std::mutex connectionsMutex_;
    std::list<Connection> connections_;
};

bool PackageServer::Impl::Start(std::uint16_t requestedPort) {
    if (listenFd_ >= 0) return true;
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return false;
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(requestedPort);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wakeFds_, O_CLOEXEC) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port = ntohs(address.sin_port);
    stopping_ = false;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void PackageServer::Impl::Stop() {
    if (listenFd_ < 0) return;
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopChanged_.notify_all();
    const char wake = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeFds_[1], &wake, 1);
    acceptThread_.join();
    {
        std::lock_guard lock(connectionsMutex_);
        for (Connection& connection : connections_)
            if (!connection.done) ::shutdown(connection.fd, SHUT_RDWR);
    }
    for (Connection& connection : connections_) connection.thread.join();
    connections_.clear();
    ::close(listenFd_);
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
    listenFd_ = -1;
}

void PackageServer::Impl::AcceptLoop() {
    while (!stopping_) {
        pollfd waits[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 && errno != EINTR) return;
        if (waits[1].revents != 0) return;
        if ((waits[0].revents & POLLIN) == 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ReapFinishedConnections();
        std::lock_guard lock(connectionsMutex_);
        Connection& connection = connections_.emplace_back();
        connection.fd = fd;
        connection.thread = std::thread([this, &connection] { Serve(connection); });
    }
}

void PackageServer::Impl::ReapFinishedConnections() {
    std::lock_guard lock(connectionsMutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->done) {
            it->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void PackageServer::Impl::Serve(Connection& connection) {
    std::string pending;
    while (!stopping_) {
        const std::optional<Request> request = ReadRequest(connection.fd, pending);
        if (!request || !Respond(connection.fd, *request)) break;
    }
    std::lock_guard lock(connectionsMutex_);
    ::shutdown(connection.fd, SHUT_RDWR);
    ::close(connection.fd);
    connection.done = true;
}

std::optional<Request> PackageServer::Impl::ReadRequest(int fd, std::string& pending) {
    std::size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (pending.size() > kMaxHeaderBytes) return std::nullopt;
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        pending.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string head = pending.substr(0, end);
    pending.erase(0, end + 4);

    Request request;
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const auto firstBlank = requestLine.find(' ');
    const auto secondBlank = requestLine.find(' ', firstBlank + 1);
    if (firstBlank == std::string::npos || secondBlank == std::string::npos) return std::nullopt;
    request.method = requestLine.substr(0, firstBlank);
    request.target = requestLine.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const auto colon = line.find(':');
        if (colon != std::string::npos) request.headers[Lower(line.substr(0, colon))] = Trim(line.substr(colon + 1));
    }
    return request;
}

Fault PackageServer::Impl::TakeFault(const std::string& method, const std::string& path) {
    std::lock_guard lock(mutex);
    for (Rule& rule : rules) {
        if (rule.times == 0) continue;
        if (!rule.method.empty() && rule.method != method) continue;
        if (!rule.path.empty() && rule.path != path) continue;
        if (rule.times > 0) --rule.times;
        return rule.fault;
    }
    return {};
}

std::size_t PackageServer::Impl::Record(const Request& request) {
    std::lock_guard lock(mutex);
    records.push_back({request.method, request.target, request.headers, 0, 0});
    return clearedRecords + records.size() - 1;
}

void PackageServer::Impl::Finish(std::size_t record, int status, std::uint64_t bodyBytes) {
    std::lock_guard lock(mutex);
    if (record < clearedRecords) return;  // the log was cleared meanwhile
    records[record - clearedRecords].status = status;
    records[record - clearedRecords].bodyBytesSent = bodyBytes;
}

bool PackageServer::Impl::SendHeaders(int fd, int status, const std::vector<std::string>& lines, bool keepAlive) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
    for (const std::string& line : lines) head += line + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return SendAll(fd, head.data(), head.size());
}

bool PackageServer::Impl::Sleep(std::chrono::nanoseconds duration) {
    std::unique_lock lock(stopMutex_);
    return !stopChanged_.wait_for(lock, duration, [this] { return stopping_.load(); });
}

// Answers one request; false when the connection is to be closed afterwards.
bool PackageServer::Impl::Respond(int fd, const Request& request) {
    const std::size_t record = Record(request);
    const std::string path = request.target.substr(0, request.target.find('?'));
    const Fault fault = TakeFault(request.method, path);
    const auto connectionHeader = request.headers.find("connection");
    const bool clientKeepsAlive = connectionHeader == request.headers.end() || Lower(connectionHeader->second) != "close";
    const bool keepAlive = clientKeepsAlive && !fault.omitContentLength && !fault.closeAfterBytes;
    auto emptyAnswer = [&](int status, std::vector<std::string> lines) {
        if (!fault.omitContentLength) lines.push_back("Content-Length: 0");
        Finish(record, status, 0);
        return SendHeaders(fd, status, lines, keepAlive) && keepAlive;
    };

    if (fault.status != 0) return emptyAnswer(fault.status, fault.status == 405 ? std::vector<std::string>{"Allow: GET"} : std::vector<std::string>{});
    std::optional<Redirect> redirect;
    std::optional<Entry> entry;
    {
        std::lock_guard lock(mutex);
        if (const auto found = redirects.find(path); found != redirects.end()) redirect = found->second;
        if (const auto found = entries.find(path); found != entries.end()) entry = found->second;
    }
    if (redirect) {
        const std::string location = redirect->location.rfind('/', 0) == 0
                                         ? "http://127.0.0.1:" + std::to_string(port) + redirect->location
                                         : redirect->location;
        return emptyAnswer(redirect->status, {"Location: " + location});
    }
    if (request.method != "GET" && request.method != "HEAD") return emptyAnswer(405, {"Allow: GET"});
    if (!entry) return emptyAnswer(404, {});

    std::error_code error;
    const std::uint64_t size = entry->content ? entry->content->size() : std::filesystem::file_size(entry->file, error);
    if (error) return emptyAnswer(404, {});
    std::vector<std::string> lines = {"Content-Type: application/octet-stream", "Accept-Ranges: bytes"};
    int status = 200;
    std::uint64_t offset = 0, length = size;
    const auto rangeHeader = request.headers.find("range");
    if (rangeHeader != request.headers.end() && !fault.ignoreRange) {
        if (const std::optional<ByteRange> range = ParseRange(rangeHeader->second, size)) {
            if (range->first >= size || range->first > range->last)
                return emptyAnswer(416, {"Content-Range: bytes */" + std::to_string(size)});
            status = 206;
            offset = range->first;
            length = range->last - range->first + 1;
            lines.push_back("Content-Range: bytes " + std::to_string(range->first) + "-" + std::to_string(range->last) +
                            "/" + std::to_string(size));
        }
    }
    if (!fault.omitContentLength) lines.push_back("Content-Length: " + std::to_string(length));
    Finish(record, status, 0);
    if (!SendHeaders(fd, status, lines, keepAlive)) return false;
    if (request.method == "HEAD") return keepAlive;
    if (fault.stall.count() > 0 && !Sleep(fault.stall)) return false;
    std::uint64_t sent = 0;
    const bool complete = SendBody(fd, *entry, offset, length, fault, sent);
    Finish(record, status, sent);
    return complete && keepAlive;
}

// Sends [offset, offset + length) of the entry, shaped by the fault; false
// when the body was cut short.
bool PackageServer::Impl::SendBody(int fd, const Entry& entry, std::uint64_t offset, std::uint64_t length,
                                   const Fault& fault, std::uint64_t& sent) {
    int fileFd = -1;
    if (!entry.content) {
        fileFd = ::open(entry.file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fileFd < 0) return false;
    }
    const std::uint64_t limit = fault.closeAfterBytes ? std::min(length, *fault.closeAfterBytes) : length;
    std::size_t chunk = kBodyChunk;
    if (fault.bytesPerSecond > 0) chunk = static_cast<std::size_t>(std::clamp<std::uint64_t>(fault.bytesPerSecond / 20, 1, kBodyChunk));
    std::vector<char> buffer(chunk);
    const auto started = std::chrono::steady_clock::now();
    bool ok = true;
    while (ok && sent < limit) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, limit - sent));
        if (entry.content) {
            std::memcpy(buffer.data(), entry.content->data() + offset + sent, size);
        } else if (::pread(fileFd, buffer.data(), size, static_cast<off_t>(offset + sent)) != static_cast<ssize_t>(size)) {
            ok = false;
            break;
        }
        if (fault.corruptBody)
            for (std::size_t i = 0; i < size; ++i) buffer[i] = static_cast<char>(~buffer[i]);
        ok = SendAll(fd, buffer.data(), size);
        if (ok) sent += size;
        if (ok && fault.bytesPerSecond > 0) {
            const auto due = started + std::chrono::nanoseconds(sent * 1000000000ull / fault.bytesPerSecond);
            ok = Sleep(due - std::chrono::steady_clock::now());
        }
    }
    if (fileFd >= 0) ::close(fileFd);
    return ok && sent == length;
}

PackageServer::PackageServer() : impl_(std::make_unique<Impl>()) {}
PackageServer::~PackageServer() = default;

bool PackageServer::Start(std::uint16_t port) { return impl_->Start(port); }
void PackageServer::Stop() { impl_->Stop(); }
std::uint16_t PackageServer::Port() const { return impl_->port; }
std::string PackageServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(impl_->port) + path;
}

std::string PackageServer::AddContent(const std::string& path, std::string content) {
    std::lock_guard lock(impl_->mutex);
    impl_->entries[path] = {std::make_shared<const std::string>(std::move(content)), {}};
    return path;
}

std::string PackageServer::AddFile(const std::string& path, const std::filesystem::path& file) {
    std::lock_guard lock(impl_->mutex);
    impl_->entries[path] = {nullptr, file};
    return path;
}

std::string PackageServer::AddPackage(const std::string& name, std::string content) {
    const std::string path = DigestPath(name, content);
    return AddContent(path, std::move(content));
}

std::vector<std::string> PackageServer::AddFolder(const std::filesystem::path& folder) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        if (!item.is_regular_file()) continue;
        const std::string digest = Utils::FileMd5(item.path().string());
        if (digest.empty()) continue;
        paths.push_back(AddFile("/" + digest + "/" + item.path().filename().string(), item.path()));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void PackageServer::AddRedirect(const std::string& from, const std::string& to, int status) {
    std::lock_guard lock(impl_->mutex);
    impl_->redirects[from] = {to, status};
}

void PackageServer::AddRule(Rule rule) {
    std::lock_guard lock(impl_->mutex);
    impl_->rules.push_back(std::move(rule));
}

void PackageServer::ClearRules() {
    std::lock_guard lock(impl_->mutex);
    impl_->rules.clear();
}

std::vector<RequestRecord> PackageServer::Requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->records;
}

void PackageServer::ClearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->clearedRecords += impl_->records.size();
    impl_->records.clear();
}

}  // namespace package_server
