#include "analytics_collector/batch_decoding.h"

#include <json/reader.h>
#include <zlib.h>

#include <climits>
#include <memory>
#include <sstream>

namespace analytics_collector {
namespace {

constexpr std::string_view kPrefix = "data_list=";
constexpr std::string_view kSuffix = "&gzip=1";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

struct InflateEnd {
    void operator()(z_stream* stream) const { inflateEnd(stream); }
};

}  // namespace

std::optional<std::string> PercentDecodeStrict(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsUnreserved(text[i])) {
            out += text[i];
            continue;
        }
        if (text[i] != '%' || i + 2 >= text.size() || HexValue(text[i + 1]) < 0 || HexValue(text[i + 2]) < 0)
            return std::nullopt;
        out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
        i += 2;
    }
    return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (padding == 1 && text[i + 2] == '=') return std::nullopt;
        unsigned group = 0;
        for (int k = 0; k < 4 - padding; ++k) {
            const int value = Base64Value(text[i + k]);
            if (value < 0) return std::nullopt;
            group = group << 6 | static_cast<unsigned>(value);
        }
        group <<= 6 * padding;
        out += static_cast<char>(group >> 16 & 0xFF);
        if (padding < 2) out += static_cast<char>(group >> 8 & 0xFF);
        if (padding < 1) out += static_cast<char>(group & 0xFF);
    }
    return out;
}

std::optional<std::string> Gunzip(std::string_view compressed) {
    if (compressed.size() > UINT_MAX) return std::nullopt;
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) return std::nullopt;
    std::unique_ptr<z_stream, InflateEnd> release(&stream);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    std::string out;
    int result = Z_OK;
    while (result == Z_OK) {
        const std::size_t before = out.size();
        out.resize(before + 65536);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + before);
        stream.avail_out = 65536;
        result = inflate(&stream, Z_NO_FLUSH);
        out.resize(before + 65536 - stream.avail_out);
        if (result == Z_BUF_ERROR && stream.avail_in == 0) break;
    }
    if (result != Z_STREAM_END || stream.avail_in != 0) return std::nullopt;
    return out;
}

std::optional<DecodedBatch> DecodeBatchBody(std::string_view body, std::string& error) {
    if (!body.starts_with(kPrefix) || !body.ends_with(kSuffix) || body.size() < kPrefix.size() + kSuffix.size()) {
        error = "body is not data_list=...&gzip=1";
        return std::nullopt;
    }
    const auto encoded = body.substr(kPrefix.size(), body.size() - kPrefix.size() - kSuffix.size());
    const auto base64 = PercentDecodeStrict(encoded);
    if (!base64) {
        error = "data_list is not strictly percent-encoded";
        return std::nullopt;
    }
    const auto compressed = Base64Decode(*base64);
    if (!compressed) {
        error = "data_list is not Base64";
        return std::nullopt;
    }
    auto json = Gunzip(*compressed);
    if (!json) {
        error = "data_list is not a gzip stream";
        return std::nullopt;
    }

    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    Json::Value root;
    std::string parseErrors;
    std::istringstream in(*json);
    if (!Json::parseFromStream(builder, in, &root, &parseErrors)) {
        error = "batch is not JSON: " + parseErrors;
        return std::nullopt;
    }
    if (!root.isArray()) {
        error = "batch is not a JSON array";
        return std::nullopt;
    }
    DecodedBatch batch{std::move(*json), {}};
    for (const auto& record : root) batch.records.push_back(record);
    return batch;
}

}  // namespace analytics_collector
