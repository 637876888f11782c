#include "seven_zip_headers.h"

#include <lzma.h>

#include <cstring>

namespace resources_test {
namespace {

enum Property : std::uint8_t {
    kEnd = 0x00,
    kHeader = 0x01,
    kArchiveProperties = 0x02,
    kAdditionalStreamsInfo = 0x03,
    kMainStreamsInfo = 0x04,
    kFilesInfo = 0x05,
    kPackInfo = 0x06,
    kUnpackInfo = 0x07,
    kSubStreamsInfo = 0x08,
    kSize = 0x09,
    kCrc = 0x0A,
    kFolder = 0x0B,
    kCodersUnpackSize = 0x0C,
    kNumUnpackStream = 0x0D,
    kEncodedHeader = 0x17,
};

constexpr std::uint8_t kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr std::size_t kSignatureHeaderSize = 32;

// A bounds-checked reader; once a read runs past the end every later read yields 0.
class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    void Fail() { ok_ = false; }

    std::uint8_t Byte() {
        if (!ok_ || pos_ >= bytes_.size()) {
            ok_ = false;
            return 0;
        }
        return bytes_[pos_++];
    }

    std::uint64_t LittleEndian(int size) {
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) value |= static_cast<std::uint64_t>(Byte()) << (8 * i);
        return value;
    }

    // The variable-length NUMBER of the 7z format: the leading one bits of the
    // first byte count the bytes that follow.
    std::uint64_t Number() {
        const std::uint8_t first = Byte();
        std::uint8_t mask = 0x80;
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            if ((first & mask) == 0) return value | (static_cast<std::uint64_t>(first & (mask - 1)) << (8 * i));
            value |= static_cast<std::uint64_t>(Byte()) << (8 * i);
            mask >>= 1;
        }
        return value;
    }

    std::vector<std::uint8_t> Bytes(std::uint64_t count) {
        if (!ok_ || count > bytes_.size() - pos_) {
            ok_ = false;
            return {};
        }
        std::vector<std::uint8_t> out(bytes_.begin() + pos_, bytes_.begin() + pos_ + count);
        pos_ += count;
        return out;
    }

    void Skip(std::uint64_t count) { Bytes(count); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

struct PackInfo {
    std::uint64_t position = 0;
    std::vector<std::uint64_t> sizes;
};

struct StreamsInfo {
    PackInfo pack;
    std::vector<SevenZipBlock> blocks;
};

void SkipDigests(Cursor& in, std::uint64_t count) {
    const bool allDefined = in.Byte() != 0;
    std::uint64_t defined = count;
    if (!allDefined) {
        defined = 0;
        std::uint8_t bits = 0;
        for (std::uint64_t i = 0; i < count && in.ok(); ++i) {
            if (i % 8 == 0) bits = in.Byte();
            if (bits & (0x80 >> (i % 8))) ++defined;
        }
    }
    in.Skip(4 * defined);
}

void ReadPackInfo(Cursor& in, PackInfo& pack) {
    pack.position = in.Number();
    const std::uint64_t count = in.Number();
    for (std::uint8_t id = in.Byte(); id != kEnd && in.ok(); id = in.Byte()) {
        if (id == kSize) {
            for (std::uint64_t i = 0; i < count && in.ok(); ++i) pack.sizes.push_back(in.Number());
        } else if (id == kCrc) {
            SkipDigests(in, count);
        } else {
            in.Fail();
        }
    }
}

// One folder; returns the number of output streams of its coders.
std::uint64_t ReadFolder(Cursor& in, SevenZipBlock& block) {
    const std::uint64_t coderCount = in.Number();
    std::uint64_t inStreams = 0, outStreams = 0;
    for (std::uint64_t c = 0; c < coderCount && in.ok(); ++c) {
        const std::uint8_t flags = in.Byte();
        SevenZipCoder coder;
        coder.codecId = in.Bytes(flags & 0x0F);
        if (flags & 0x10) {
            inStreams += in.Number();
            outStreams += in.Number();
        } else {
            ++inStreams;
            ++outStreams;
        }
        if (flags & 0x20) coder.properties = in.Bytes(in.Number());
        if (flags & 0x80) in.Fail();  // alternative coder methods are not part of the format any more
        block.coders.push_back(std::move(coder));
    }
    const std::uint64_t bindPairs = outStreams == 0 ? 0 : outStreams - 1;
    for (std::uint64_t i = 0; i < bindPairs && in.ok(); ++i) {
        in.Number();
        in.Number();
    }
    const std::uint64_t packedStreams = inStreams - bindPairs;
    if (packedStreams > 1) {
        for (std::uint64_t i = 0; i < packedStreams && in.ok(); ++i) in.Number();
    }
    return outStreams;
}

void ReadUnpackInfo(Cursor& in, std::vector<SevenZipBlock>& blocks) {
    if (in.Byte() != kFolder) return in.Fail();
    const std::uint64_t count = in.Number();
    if (in.Byte() != 0) return in.Fail();  // folders stored elsewhere: not written by any packer we use
    std::vector<std::uint64_t> outStreams;
    for (std::uint64_t i = 0; i < count && in.ok(); ++i) {
        blocks.emplace_back();
        outStreams.push_back(ReadFolder(in, blocks.back()));
    }
    if (in.Byte() != kCodersUnpackSize) return in.Fail();
    for (std::size_t i = 0; i < blocks.size() && in.ok(); ++i) {
        // The last output stream is the block's result.
        for (std::uint64_t s = 0; s < outStreams[i]; ++s) blocks[i].unpackedSize = in.Number();
    }
    for (std::uint8_t id = in.Byte(); id != kEnd && in.ok(); id = in.Byte()) {
        if (id == kCrc) {
            SkipDigests(in, blocks.size());
        } else {
            in.Fail();
        }
    }
}

void ReadSubStreamsInfo(Cursor& in, std::vector<SevenZipBlock>& blocks) {
    std::uint8_t id = in.Byte();
    if (id == kNumUnpackStream) {
        for (auto& block : blocks) block.streamCount = in.Number();
        id = in.Byte();
    }
    if (id == kSize) {
        for (const auto& block : blocks) {
            for (std::uint64_t s = 1; s < block.streamCount && in.ok(); ++s) in.Number();
        }
        id = in.Byte();
    }
    while (id != kEnd && in.ok()) {
        if (id != kCrc) return in.Fail();
        std::uint64_t streams = 0;
        for (const auto& block : blocks) streams += block.streamCount;
        SkipDigests(in, streams);
        id = in.Byte();
    }
}

void ReadStreamsInfo(Cursor& in, StreamsInfo& info) {
    for (std::uint8_t id = in.Byte(); id != kEnd && in.ok(); id = in.Byte()) {
        if (id == kPackInfo) {
            ReadPackInfo(in, info.pack);
        } else if (id == kUnpackInfo) {
            ReadUnpackInfo(in, info.blocks);
        } else if (id == kSubStreamsInfo) {
            ReadSubStreamsInfo(in, info.blocks);
        } else {
            in.Fail();
        }
    }
}

std::optional<std::vector<std::uint8_t>> DecodeLzma2(std::span<const std::uint8_t> packed, std::uint8_t property,
                                                     std::uint64_t unpackedSize) {
    lzma_options_lzma options{};
    options.dict_size = static_cast<std::uint32_t>(Lzma2DictionarySize(property));
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) return std::nullopt;
    std::vector<std::uint8_t> out(unpackedSize);
    stream.next_in = packed.data();
    stream.avail_in = packed.size();
    stream.next_out = out.data();
    stream.avail_out = out.size();
    const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
    const bool complete = stream.avail_out == 0 && (result == LZMA_OK || result == LZMA_STREAM_END);
    lzma_end(&stream);
    if (!complete) return std::nullopt;
    return out;
}

}  // namespace

std::uint64_t Lzma2DictionarySize(std::uint8_t property) {
    if (property >= 40) return 0xFFFFFFFFu;
    return static_cast<std::uint64_t>(2 | (property & 1)) << (property / 2 + 11);
}

std::optional<SevenZipHeaders> ReadSevenZipHeaders(std::span<const std::uint8_t> archive, std::string& error) {
    if (archive.size() < kSignatureHeaderSize || std::memcmp(archive.data(), kSignature, sizeof kSignature) != 0) {
        error = "no 7z signature";
        return std::nullopt;
    }
    Cursor start(archive.subspan(12, 16));
    const std::uint64_t nextOffset = start.LittleEndian(8);
    const std::uint64_t nextSize = start.LittleEndian(8);
    const std::span<const std::uint8_t> body = archive.subspan(kSignatureHeaderSize);
    if (nextOffset > body.size() || nextSize > body.size() - nextOffset) {
        error = "header outside the archive";
        return std::nullopt;
    }

    SevenZipHeaders result;
    std::vector<std::uint8_t> header(body.begin() + nextOffset, body.begin() + nextOffset + nextSize);
    if (!header.empty() && header[0] == kEncodedHeader) {
        // The real header is itself packed as one LZMA2 block.
        result.headerWasEncoded = true;
        Cursor in(header);
        in.Byte();
        StreamsInfo packed;
        ReadStreamsInfo(in, packed);
        if (!in.ok() || packed.blocks.size() != 1 || packed.blocks[0].coders.size() != 1 ||
            packed.blocks[0].coders[0].codecId != std::vector<std::uint8_t>{0x21} ||
            packed.blocks[0].coders[0].properties.size() != 1 || packed.pack.sizes.size() != 1 ||
            packed.pack.position > body.size() || packed.pack.sizes[0] > body.size() - packed.pack.position) {
            error = "unexpected encoded header";
            return std::nullopt;
        }
        auto decoded = DecodeLzma2(body.subspan(packed.pack.position, packed.pack.sizes[0]),
                                   packed.blocks[0].coders[0].properties[0], packed.blocks[0].unpackedSize);
        if (!decoded) {
            error = "encoded header does not decode";
            return std::nullopt;
        }
        header = std::move(*decoded);
    }

    Cursor in(header);
    if (in.Byte() != kHeader) {
        error = "no header";
        return std::nullopt;
    }
    for (std::uint8_t id = in.Byte(); id != kEnd && in.ok(); id = in.Byte()) {
        if (id == kArchiveProperties || id == kAdditionalStreamsInfo) {
            error = "archive properties and additional streams are not expected";
            return std::nullopt;
        }
        if (id == kMainStreamsInfo) {
            StreamsInfo main;
            ReadStreamsInfo(in, main);
            result.blocks = std::move(main.blocks);
        } else if (id == kFilesInfo) {
            // Only the count is needed; names and attributes come from libarchive.
            result.entryCount = in.Number();
            break;
        } else {
            in.Fail();
        }
    }
    if (!in.ok()) {
        error = "malformed header";
        return std::nullopt;
    }
    return result;
}

}  // namespace resources_test
