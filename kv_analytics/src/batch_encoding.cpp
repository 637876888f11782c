#include "kv_analytics/batch_encoding.h"

#include <zlib.h>

#include <climits>
#include <memory>
#include <string>

#include "kv_analytics/diagnostics.h"

namespace kv_analytics {
namespace {

constexpr int kGzipWindowBits = 15 + 16;  // 32 KiB window with the gzip wrapper
constexpr int kMemoryLevel = 8;
constexpr std::size_t kOutputStep = 32768;

struct DeflateEnd {
    void operator()(z_stream* stream) const { deflateEnd(stream); }
};

}  // namespace

bool GzipCompress(std::string_view input, std::string& output) {
    output.clear();
    if (input.size() > UINT_MAX) {
        WriteMessage(MessageStream::Error, "Exception during zlib compression: (" + std::to_string(Z_BUF_ERROR) +
                                               ") input too large");
        return false;
    }
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        WriteMessage(MessageStream::Error, "deflateInit2 failed while compressing.");
        return false;
    }
    std::unique_ptr<z_stream, DeflateEnd> release(&stream);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream.avail_in = static_cast<uInt>(input.size());
    int result = Z_OK;
    while (result == Z_OK) {
        const std::size_t before = output.size();
        output.resize(before + kOutputStep);
        stream.next_out = reinterpret_cast<Bytef*>(output.data() + before);
        stream.avail_out = static_cast<uInt>(kOutputStep);
        result = deflate(&stream, Z_FINISH);
        output.resize(before + kOutputStep - stream.avail_out);
    }
    if (result != Z_STREAM_END) {
        WriteMessage(MessageStream::Error, "Exception during zlib compression: (" + std::to_string(result) + ") " +
                                               (stream.msg ? stream.msg : ""));
        output.clear();
        return false;
    }
    return true;
}

std::string Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += kAlphabet[group >> 6 & 63];
        out += kAlphabet[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += rest == 2 ? kAlphabet[group >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

bool EncodeBatch(std::string_view batch, std::string& body) {
    std::string compressed;
    if (!GzipCompress(batch, compressed)) return false;
    body = "data_list=" + PercentEncode(Base64Encode(compressed)) + "&gzip=1";
    return true;
}

}  // namespace kv_analytics
