#include "utils/md5.h"

#include "testing/sandbox.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

std::string Md5Of(std::string_view data) {
    Utils::Md5 md5;
    md5.Update(data.data(), data.size());
    return md5.FinalHex();
}

TEST(Md5Test, Rfc1321Vectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {[] { std::string s; for (int i = 0; i < 8; ++i) s += "1234567890"; return s; }(),
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, digest] : vectors) EXPECT_EQ(Md5Of(input), digest) << input;
}

TEST(Md5Test, SplitUpdatesMatchOneUpdateAtEveryPaddingBoundary) {
    for (std::size_t size : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 31 + 7);
        Utils::Md5 pieces;
        for (std::size_t i = 0; i < size; i += 7) pieces.Update(data.data() + i, std::min<std::size_t>(7, size - i));
        EXPECT_EQ(pieces.FinalHex(), Md5Of(data)) << size;
    }
}

TEST(Md5Test, FileDigests) {
    testing_support::TempDir dir;
    const auto empty = testing_support::WriteFile(dir / "empty", "");
    EXPECT_EQ(Utils::FileMd5(empty.string()), "d41d8cd98f00b204e9800998ecf8427e");
    std::string big(3 * 1024 * 1024 + 17, 'q');
    const auto file = testing_support::WriteFile(dir / "big", big);
    EXPECT_EQ(Utils::FileMd5(file.string()), Md5Of(big));
    EXPECT_EQ(Utils::FileMd5((dir / "missing").string()), "");
    EXPECT_EQ(Utils::FileMd5(""), "");
    EXPECT_EQ(Utils::FileMd5(dir.path().string()), "") << "a folder has no digest";
}

TEST(UrlMd5Test, SegmentBeforeTheFileName) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://h/software/0123456789abcdef0123456789abcdef/setup.exe", "0123456789abcdef0123456789abcdef"},
        {"http://h/a/b/", "b"},
        {"setup.exe", ""},
        {"/setup.exe", ""},
        {"", ""},
        {"a/b", ""},
        {"x/a/b", "a"},
    };
    for (const auto& [address, digest] : cases) EXPECT_EQ(Utils::UrlMd5(address), digest) << address;
}

}  // namespace
