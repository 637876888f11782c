// The bounded queue of finished record lines, its staging file and the batch flush.
//
// Push may run on any thread. Flush sends batches of at most kBatchSize records,
// one at a time (the flush lock), and never holds the queue lock during a request.
// Lock order: flush lock, then queue lock.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kv_analytics/batch_sender.h"

namespace kv_analytics {

class RecordQueue {
public:
    static constexpr std::size_t kCapacity = 1024;
    static constexpr std::size_t kBatchSize = 30;

    RecordQueue(const std::string& serverUrl, std::string stagingFilePath);
    // For a sender other than the HTTP one.
    RecordQueue(std::unique_ptr<BatchSender> sender, std::string stagingFilePath);
    // Closes the queue when Close() has not run yet.
    ~RecordQueue();
    RecordQueue(const RecordQueue&) = delete;
    RecordQueue& operator=(const RecordQueue&) = delete;

    // Sent as a "Cookie" header when not empty.
    void SetCookie(std::string cookie);
    // Writes debug lines to standard output.
    void SetDebug(bool debug);

    // Appends a record line; beyond kCapacity the oldest record is dropped.
    void Push(std::string record);

    // Sends every queued record batch by batch (staged records first). True when
    // the queue ended empty; false at the first failed batch, which is back in front.
    bool Flush();

    // Saves every queued record (and any still-unread staged ones) to the staging
    // file, one per line, and releases the sender. Later flushes fail; idempotent.
    void Close();

    std::size_t Size() const;
    // A copy of the queued records, oldest first.
    std::vector<std::string> Snapshot() const;

private:
    void LoadStagedRecords();         // takes the queue lock
    void LoadStagedRecordsLocked();   // queue lock held
    bool FlushOneBatch();
    void PutBackLocked(const std::vector<std::string>& batch);

    std::string cookie_;
    bool debug_ = false;
    mutable std::mutex queueMutex_;
    std::mutex flushMutex_;
    std::deque<std::string> records_;
    std::string stagingFilePath_;
    bool loadPending_ = true;
    bool closed_ = false;
    std::unique_ptr<BatchSender> sender_;
};

}  // namespace kv_analytics
