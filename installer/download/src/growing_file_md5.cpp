#include "growing_file_md5.h"

#include <algorithm>
#include <cstdio>
#include <vector>

GrowingFileMd5::~GrowingFileMd5() {
    Finish();
    Wait();
}

void GrowingFileMd5::Begin(const std::string& path, std::int64_t existingBytes) {
    Finish();
    Wait();
    if (!valid_ || hashedBytes_ != existingBytes) {
        md5_ = Utils::Md5();
        hashedBytes_ = 0;
        valid_ = existingBytes >= 0;
    }
    {
        std::lock_guard lock(mutex_);
        writtenBytes_ = std::max<std::int64_t>(existingBytes, 0);
        finished_ = false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr) valid_ = false;
    hasher_ = std::thread([this, file] {
        HashUntilFinished(file);
        if (file != nullptr) std::fclose(file);
    });
}

void GrowingFileMd5::Appended(std::size_t bytes) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        writtenBytes_ += static_cast<std::int64_t>(bytes);
        // Wake the hashing thread once per buffer it can fill, not on every write.
        wake = wakeAtBytes_ >= 0 && writtenBytes_ >= wakeAtBytes_;
        if (wake) wakeAtBytes_ = -1;
    }
    if (wake) grew_.notify_one();
}

void GrowingFileMd5::Finish() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    grew_.notify_one();
}

std::int64_t GrowingFileMd5::WrittenBytes() const {
    std::lock_guard lock(mutex_);
    return writtenBytes_;
}

void GrowingFileMd5::HashUntilFinished(std::FILE* file) {
    std::vector<char> buffer(kReadBytes);
    while (true) {
        std::int64_t available;
        {
            std::unique_lock lock(mutex_);
            // Read in large steps: wake for a full buffer or for the end.
            const std::int64_t wakeAt = hashedBytes_ + static_cast<std::int64_t>(kReadBytes);
            while (!finished_ && writtenBytes_ < wakeAt) {
                wakeAtBytes_ = wakeAt;
                grew_.wait(lock);
            }
            wakeAtBytes_ = -1;
            available = writtenBytes_ - hashedBytes_;
            if (available <= 0 && finished_) return;
        }
        // The reader may have met the old end of the file: seek to clear that.
        if (valid_ && available > 0 && fseeko(file, hashedBytes_, SEEK_SET) != 0) valid_ = false;
        while (valid_ && available > 0) {
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>(available, kReadBytes));
            const std::size_t got = std::fread(buffer.data(), 1, want, file);
            if (got == 0) {
                valid_ = false;
                break;
            }
            md5_.Update(buffer.data(), got);
            hashedBytes_ += static_cast<std::int64_t>(got);
            available -= static_cast<std::int64_t>(got);
        }
        if (!valid_) return;
    }
}

void GrowingFileMd5::Wait() {
    if (hasher_.joinable()) hasher_.join();
}

void GrowingFileMd5::Invalidate() {
    Finish();
    Wait();
    valid_ = false;
}

std::string GrowingFileMd5::HexDigest() {
    Wait();
    if (!valid_ || hashedBytes_ != WrittenBytes()) return {};
    Utils::Md5 copy = md5_;
    return copy.FinalHex();
}
