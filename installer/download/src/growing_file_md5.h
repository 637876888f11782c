// MD5 of a file while another party appends to it. A thread of its own reads
// the new bytes back (from the page cache, right behind the writer), so the
// digest is ready shortly after the last byte arrived and the writer never
// waits for it. Memory use does not depend on the file size.
#pragma once

#include "utils/md5.h"

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class GrowingFileMd5 {
public:
    GrowingFileMd5() = default;
    // Waits for the current pass (which must have been finished).
    ~GrowingFileMd5();
    GrowingFileMd5(const GrowingFileMd5&) = delete;
    GrowingFileMd5& operator=(const GrowingFileMd5&) = delete;

    // Starts a pass over the file at `path`, which holds `existingBytes` bytes
    // now and grows by the amounts passed to Appended. The digest continues
    // when it covers exactly `existingBytes` bytes already, else it starts
    // again from the first byte of the file.
    void Begin(const std::string& path, std::int64_t existingBytes);
    // `bytes` more have been written to the file (visible to other readers).
    void Appended(std::size_t bytes);
    // No more bytes come in this pass. Does not wait for the hashing.
    void Finish();

    // Bytes written to the file as far as this object knows: existing + appended.
    std::int64_t WrittenBytes() const;
    // Waits for the pass and forgets the digest.
    void Invalidate();
    // Waits for the pass; 32 lower-case hex digits of the whole file, "" when
    // the file could not be read back or the digest was invalidated.
    std::string HexDigest();

private:
    void HashUntilFinished(std::FILE* file);
    void Wait();

    static constexpr std::size_t kReadBytes = 1 << 20;

    Utils::Md5 md5_;
    std::int64_t hashedBytes_ = 0;  // only the hashing thread touches these two while a pass runs
    bool valid_ = true;

    mutable std::mutex mutex_;
    std::condition_variable grew_;
    std::int64_t writtenBytes_ = 0;
    // While the hashing thread sleeps: the written size that wakes it (-1 when it runs).
    std::int64_t wakeAtBytes_ = -1;
    bool finished_ = true;
    std::thread hasher_;
};
