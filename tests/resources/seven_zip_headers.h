// Reads the block structure of a 7z archive from its headers: how many solid
// blocks ("folders") the archive has, which coders each block uses and how many
// files each block holds. libarchive lists and extracts entries but does not
// expose this, and the tests need to see it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace resources_test {

struct SevenZipCoder {
    std::vector<std::uint8_t> codecId;  // 0x21 = LZMA2
    std::vector<std::uint8_t> properties;
};

struct SevenZipBlock {
    std::vector<SevenZipCoder> coders;
    std::uint64_t unpackedSize = 0;
    std::uint64_t streamCount = 1;  // files whose data lives in this block
};

struct SevenZipHeaders {
    bool headerWasEncoded = false;
    std::vector<SevenZipBlock> blocks;  // the main streams
    std::uint64_t entryCount = 0;       // files and folders
};

// The structure of the archive, or an error text in `error`.
std::optional<SevenZipHeaders> ReadSevenZipHeaders(std::span<const std::uint8_t> archive, std::string& error);

// Dictionary size encoded in an LZMA2 coder's one-byte property.
std::uint64_t Lzma2DictionarySize(std::uint8_t property);

}  // namespace resources_test
