// Shared helpers of the skin tests: where the skin sources are, the files the
// installer expects in the package, and reading the linked archive with libarchive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace resources_test {

std::filesystem::path ResourcesFolder();  // resources/ of the source tree
std::filesystem::path SkinFolder();       // resources/skin: the archive root

// Every file the package must hold, as stored ("/" separators, stored case).
std::vector<std::string> ExpectedSkinFiles();
// Every folder the package must hold.
std::vector<std::string> ExpectedSkinFolders();

struct ArchiveListing {
    std::map<std::string, std::string> files;  // name -> content
    std::vector<std::string> folders;
    std::string formatName;
    bool complete = false;  // every header and every data block read without an error
    std::string error;
};

// Reads every entry of an in-memory archive; stops at the first error.
ArchiveListing ReadArchive(std::span<const std::uint8_t> bytes);

// Width and height from a PNG's IHDR chunk; {0, 0} when the file is no PNG.
std::pair<int, int> PngSize(const std::filesystem::path& file);

// "\" turned into "/" and ASCII letters lowered: the form in which names are compared.
std::string LookupKey(std::string name);

}  // namespace resources_test
