// An HTTP server on 127.0.0.1 that accepts analytics batch POSTs, decodes them and
// keeps every request for inspection. Each request is answered with the next
// scripted reply, or with the default reply once the script is used up; a body
// that does not decode is answered 400 instead of a scripted status.
#pragma once

#include <json/value.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace analytics_collector {

struct Reply {
    enum class Kind { Status, Stall };
    Kind kind = Kind::Status;
    int status = 200;
    std::string body;

    static Reply Answer(int status, std::string body = "") { return {Kind::Status, status, std::move(body)}; }
    // Holds the request open without answering until ReleaseStalls() or shutdown.
    static Reply Stall() { return {Kind::Stall, 0, {}}; }
};

struct ReceivedRequest {
    std::string path;                              // path and query
    std::multimap<std::string, std::string> headers;
    std::string body;                              // raw form body
    std::string batchJson;                         // decoded batch text ("" when decoding failed)
    std::vector<Json::Value> records;
    std::string decodeError;                       // empty when the body decoded
    Reply reply;                                   // what the request was answered with
};

class CollectorServer {
public:
    // Binds 127.0.0.1: port 0 picks a free port. `start` false leaves the serving
    // to Run() (for a program's main thread).
    explicit CollectorServer(int port = 0, bool start = true);
    // Releases stalled requests, stops serving and joins the server thread.
    ~CollectorServer();
    CollectorServer(const CollectorServer&) = delete;
    CollectorServer& operator=(const CollectorServer&) = delete;

    // False when the port could not be bound.
    bool bound() const { return port_ > 0; }
    int port() const { return port_; }
    // "http://127.0.0.1:<port>" + pathAndQuery.
    std::string Url(const std::string& pathAndQuery = "/sa?project=pc") const;

    void SetDefaultReply(Reply reply);
    // Replies used one by one, in order, before the default reply.
    void ScriptReplies(std::vector<Reply> replies);
    void ReleaseStalls();
    // Called on the serving thread for each request, after it is stored and before it is answered.
    void SetObserver(std::function<void(const ReceivedRequest&)> observer);

    std::vector<ReceivedRequest> Requests() const;
    // Every decoded record of every request, in arrival order.
    std::vector<Json::Value> Records() const;
    // Requests currently held open by a Stall reply.
    std::size_t StalledCount() const;
    // Waits until `count` requests have arrived or `limit` passed; true when they did.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const;

    // Serves on the calling thread until Stop().
    void Run();
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = -1;
    std::thread thread_;
};

}  // namespace analytics_collector
