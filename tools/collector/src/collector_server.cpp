#include "analytics_collector/collector_server.h"

#include <httplib.h>

#include "analytics_collector/batch_decoding.h"

namespace analytics_collector {

struct CollectorServer::Impl {
    httplib::Server server;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::deque<Reply> script;
    Reply defaultReply = Reply::Answer(200, "ok");
    std::vector<ReceivedRequest> requests;
    std::function<void(const ReceivedRequest&)> observer;
    std::size_t stalled = 0;
    std::size_t releaseGeneration = 0;
    bool stopping = false;

    void Handle(const httplib::Request& request, httplib::Response& response);
};

void CollectorServer::Impl::Handle(const httplib::Request& request, httplib::Response& response) {
    ReceivedRequest received;
    received.path = request.target;
    for (const auto& [name, value] : request.headers) received.headers.emplace(name, value);
    received.body = request.body;
    if (auto batch = DecodeBatchBody(request.body, received.decodeError)) {
        received.batchJson = std::move(batch->json);
        received.records = std::move(batch->records);
    }

    std::function<void(const ReceivedRequest&)> notify;
    std::unique_lock lock(mutex);
    if (script.empty()) {
        received.reply = defaultReply;
    } else {
        received.reply = script.front();
        script.pop_front();
    }
    // A collector cannot store what it cannot read: never acknowledge such a body.
    if (!received.decodeError.empty() && received.reply.kind == Reply::Kind::Status)
        received.reply = Reply::Answer(400, "undecodable batch: " + received.decodeError);
    const Reply reply = received.reply;
    requests.push_back(received);
    notify = observer;
    changed.notify_all();
    lock.unlock();
    if (notify) notify(received);

    if (reply.kind == Reply::Kind::Stall) {
        lock.lock();
        ++stalled;
        changed.notify_all();
        const std::size_t generation = releaseGeneration;
        changed.wait(lock, [&] { return stopping || releaseGeneration != generation; });
        --stalled;
        response.status = 503;
        return;
    }
    response.status = reply.status;
    response.set_content(reply.body, "text/plain");
}

CollectorServer::CollectorServer(int port, bool start) : impl_(std::make_unique<Impl>()) {
    impl_->server.set_keep_alive_timeout(1);
    impl_->server.Post(R"(.*)", [this](const httplib::Request& request, httplib::Response& response) {
        impl_->Handle(request, response);
    });
    if (port == 0) {
        port_ = impl_->server.bind_to_any_port("127.0.0.1");
    } else {
        port_ = impl_->server.bind_to_port("127.0.0.1", port) ? port : -1;
    }
    if (start && bound()) {
        thread_ = std::thread([this] { impl_->server.listen_after_bind(); });
        // Stop() only takes effect once the server runs, so wait for that here.
        while (!impl_->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

CollectorServer::~CollectorServer() {
    Stop();
    if (thread_.joinable()) thread_.join();
}

std::string CollectorServer::Url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

void CollectorServer::SetDefaultReply(Reply reply) {
    std::lock_guard lock(impl_->mutex);
    impl_->defaultReply = std::move(reply);
}

void CollectorServer::ScriptReplies(std::vector<Reply> replies) {
    std::lock_guard lock(impl_->mutex);
    impl_->script.assign(replies.begin(), replies.end());
}

void CollectorServer::ReleaseStalls() {
    std::lock_guard lock(impl_->mutex);
    ++impl_->releaseGeneration;
    impl_->changed.notify_all();
}

void CollectorServer::SetObserver(std::function<void(const ReceivedRequest&)> observer) {
    std::lock_guard lock(impl_->mutex);
    impl_->observer = std::move(observer);
}

std::vector<ReceivedRequest> CollectorServer::Requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

std::vector<Json::Value> CollectorServer::Records() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<Json::Value> records;
    for (const auto& request : impl_->requests) records.insert(records.end(), request.records.begin(), request.records.end());
    return records;
}

std::size_t CollectorServer::StalledCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->stalled;
}

bool CollectorServer::WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, limit, [&] { return impl_->requests.size() >= count; });
}

void CollectorServer::Run() {
    if (bound()) impl_->server.listen_after_bind();
}

void CollectorServer::Stop() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
        impl_->changed.notify_all();
    }
    impl_->server.stop();
}

}  // namespace analytics_collector
