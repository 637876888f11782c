#include "utils/system.h"

#include <array>
#include <cerrno>
#include <random>
#include <cstdint>
#include <fmt/printf.h>
#include <fmt/xchar.h>
#include <string_view>
#include <sys/random.h>
#include <sys/utsname.h>

namespace Utils {
namespace {

// Random bytes from the kernel; std::random_device when getrandom is missing.
void FillRandom(std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t count = ::getrandom(bytes, size, 0);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        bytes += count;
        size -= static_cast<std::size_t>(count);
    }
    std::random_device device;
    for (; size > 0; --size) *bytes++ = static_cast<std::uint8_t>(device());
}

}  // namespace

bool IsOs64Bit() {
    struct utsname system {};
    if (::uname(&system) != 0) return false;
    constexpr std::array<std::string_view, 12> k64BitMachines = {
        "x86_64", "aarch64", "aarch64_be", "ppc64", "ppc64le", "s390x",
        "riscv64", "mips64", "sparc64", "loongarch64", "ia64", "alpha"};
    for (std::string_view machine : k64BitMachines)
        if (machine == system.machine) return true;
    return false;
}

std::wstring NewGuidText() {
    std::array<std::uint8_t, 16> bytes{};
    FillRandom(bytes.data(), bytes.size());
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    const std::uint32_t data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                                (std::uint32_t{bytes[2]} << 8) | bytes[3];
    const unsigned data2 = (unsigned{bytes[4]} << 8) | bytes[5];
    const unsigned data3 = (unsigned{bytes[6]} << 8) | bytes[7];
    return fmt::sprintf(L"%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", data1, data2, data3, bytes[8], bytes[9],
                        bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
}

}  // namespace Utils
