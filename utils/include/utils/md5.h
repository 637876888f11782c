// MD5 (RFC 1321) and the digests the downloaders check.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Utils {

class Md5 {
public:
    Md5();
    void Update(const void* data, std::size_t size);
    // Finishes the digest; Update must not be called afterwards.
    std::array<std::uint8_t, 16> Final();
    // 32 lower-case hexadecimal digits of Final().
    std::string FinalHex();

private:
    void Transform(const std::uint8_t* blocks, std::size_t count);

    std::uint32_t count_[2];  // message length in bits, low word first
    std::uint32_t state_[4];
    std::uint8_t buffer_[64];
};

// 32 lower-case hex digits of the file's MD5; "" when the path is empty or the file cannot be read.
std::string FileMd5(const std::string& path);

// The path segment in front of the address's last segment ("" when there is
// none): ".../0123456789abcdef0123456789abcdef/setup.exe" -> the 32 digits.
std::string UrlMd5(std::string_view address);

}  // namespace Utils
