// The wire form of a batch: gzip, then Base64, then percent-encoding, in a form body.
#pragma once

#include <string>
#include <string_view>

namespace kv_analytics {

// gzip wrapper, level 9, 32 KiB window. False (with a message on the error stream) on a zlib failure.
bool GzipCompress(std::string_view input, std::string& output);
// RFC 4648 standard alphabet with "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);
// Letters, digits and "-._~" stay; every other byte becomes "%XX" (upper-case hex).
std::string PercentEncode(std::string_view text);
// "data_list=" + percent(Base64(gzip(batch))) + "&gzip=1".
bool EncodeBatch(std::string_view batch, std::string& body);

}  // namespace kv_analytics
