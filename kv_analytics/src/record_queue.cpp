#include "kv_analytics/record_queue.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <map>

#include "kv_analytics/diagnostics.h"

namespace kv_analytics {
namespace {

bool IsRecordLine(const std::string& line) { return !line.empty() && line.front() == '{' && line.back() == '}'; }

std::string JoinAsArray(const std::vector<std::string>& records) {
    std::string batch = "[";
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) batch += ',';
        batch += records[i];
    }
    batch += ']';
    return batch;
}

}  // namespace

RecordQueue::RecordQueue(const std::string& serverUrl, std::string stagingFilePath)
    : RecordQueue(std::make_unique<BatchSender>(serverUrl), std::move(stagingFilePath)) {}

RecordQueue::RecordQueue(std::unique_ptr<BatchSender> sender, std::string stagingFilePath)
    : stagingFilePath_(std::move(stagingFilePath)), sender_(std::move(sender)) {}

RecordQueue::~RecordQueue() { Close(); }

void RecordQueue::SetCookie(std::string cookie) {
    std::lock_guard lock(queueMutex_);
    cookie_ = std::move(cookie);
}

void RecordQueue::SetDebug(bool debug) {
    std::lock_guard lock(queueMutex_);
    debug_ = debug;
}

void RecordQueue::Push(std::string record) {
    std::lock_guard lock(queueMutex_);
    if (debug_) WriteMessage(MessageStream::Output, "add record:" + record);
    records_.push_back(std::move(record));
    if (records_.size() > kCapacity) {
        records_.pop_front();
        if (debug_) WriteMessage(MessageStream::Output, "record is full, delete record");
    }
}

bool RecordQueue::Flush() {
    LoadStagedRecords();
    for (;;) {
        {
            std::lock_guard lock(queueMutex_);
            if (records_.empty()) return true;
        }
        if (!FlushOneBatch()) return false;
    }
}

void RecordQueue::Close() {
    std::lock_guard flushLock(flushMutex_);
    std::lock_guard queueLock(queueMutex_);
    if (closed_) return;
    closed_ = true;
    LoadStagedRecordsLocked();
    std::ofstream out(stagingFilePath_, std::ios::binary | std::ios::trunc);
    if (out) {
        for (const auto& record : records_) out << record << '\n';
    }
    sender_.reset();
}

std::size_t RecordQueue::Size() const {
    std::lock_guard lock(queueMutex_);
    return records_.size();
}

std::vector<std::string> RecordQueue::Snapshot() const {
    std::lock_guard lock(queueMutex_);
    return {records_.begin(), records_.end()};
}

void RecordQueue::LoadStagedRecords() {
    std::lock_guard lock(queueMutex_);
    LoadStagedRecordsLocked();
}

void RecordQueue::LoadStagedRecordsLocked() {
    if (!loadPending_) return;
    loadPending_ = false;
    const std::size_t free = kCapacity - records_.size();
    if (free > 0) {
        std::deque<std::string> staged;
        std::ifstream in(stagingFilePath_, std::ios::binary);
        std::string line;
        while (in && std::getline(in, line)) {
            if (!IsRecordLine(line)) continue;
            staged.push_back(std::move(line));
            if (staged.size() > free) staged.pop_front();
        }
        records_.insert(records_.begin(), staged.begin(), staged.end());
    }
    // Truncating a folder fails, which leaves it alone as it should.
    std::ofstream truncate(stagingFilePath_, std::ios::binary | std::ios::trunc);
}

bool RecordQueue::FlushOneBatch() {
    LoadStagedRecords();
    std::lock_guard flushLock(flushMutex_);
    std::vector<std::string> batch;
    std::map<std::string, std::string> headers;
    bool debug = false;
    BatchSender* sender = nullptr;
    {
        std::lock_guard queueLock(queueMutex_);
        const std::size_t count = std::min(records_.size(), kBatchSize);
        if (count == 0) return true;
        if (closed_) return false;
        batch.assign(std::make_move_iterator(records_.begin()), std::make_move_iterator(records_.begin() + count));
        records_.erase(records_.begin(), records_.begin() + count);
        if (!cookie_.empty()) headers.emplace("Cookie", cookie_);
        debug = debug_;
        sender = sender_.get();
    }

    bool ok = false;
    try {
        const std::string text = JoinAsArray(batch);
        if (debug) WriteMessage(MessageStream::Output, "flush record : " + text);
        ok = sender->Send(text, headers);
    } catch (const std::exception& error) {
        WriteMessage(MessageStream::Error, std::string("Exception when flush failed: (") + error.what() + ") ");
    } catch (...) {
        WriteMessage(MessageStream::Error, "Exception when flush failed: (unknown) ");
    }
    // A batch whose send threw goes back like one the server refused: nothing is lost while there is room.
    if (!ok) {
        std::lock_guard queueLock(queueMutex_);
        PutBackLocked(batch);
    }
    return ok;
}

void RecordQueue::PutBackLocked(const std::vector<std::string>& batch) {
    const std::size_t free = kCapacity - std::min(records_.size(), kCapacity);
    const std::size_t kept = std::min(batch.size(), free);
    records_.insert(records_.begin(), batch.end() - static_cast<std::ptrdiff_t>(kept), batch.end());
}

}  // namespace kv_analytics
