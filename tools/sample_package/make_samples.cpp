// Writes the sample product's example data: a fixed pseudo-random stream, so the
// package is the same on every build and large enough to be a real download.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const long size = std::atol(argv[2]);
    std::vector<unsigned char> data(static_cast<std::size_t>(size));
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (auto& byte : data) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        byte = static_cast<unsigned char>(state >> 24);
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    const bool ok = std::fwrite(data.data(), 1, data.size(), out) == data.size();
    return std::fclose(out) == 0 && ok ? 0 : 1;
}
