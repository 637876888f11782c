#include "skin_files.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "testing/sandbox.h"

namespace resources_test {

std::filesystem::path ResourcesFolder() { return QV_RESOURCES_SOURCE_DIR; }
std::filesystem::path SkinFolder() { return ResourcesFolder() / "skin"; }

std::vector<std::string> ExpectedSkinFiles() {
    std::vector<std::string> files = {
        "mainWnd.xml", "MessageBox1Wnd.xml", "MessageBox2Wnd.xml", "exitTipWnd.xml", "NetworkTipWnd.xml",
        "InstalledPathTipWnd.xml",
    };
    for (const char* name : {"closebtn1.png", "closebtn2.png", "closebtn3.png", "closebtnM_1.png", "closebtnM_2.png",
                             "closebtnM_3.png", "minbtn1.png", "minbtn2.png", "minbtn3.png"}) {
        files.push_back(std::string("res/common/") + name);
    }
    for (const char* name : {"icoNetwork.png", "icoQuest.png", "icoWarn.png"}) {
        files.push_back(std::string("res/MessageBoxWnd/") + name);
    }
    for (const char* name :
         {"bg1.png", "bg2.png", "bg3.png", "bg4.png", "logo.png", "installBtn1.png", "installBtn2.png",
          "installBtn3.png", "experienceBtn1.png", "experienceBtn2.png", "experienceBtn3.png", "backBtn1.png",
          "backBtn2.png", "backBtn3.png", "chDirBtn1.png", "chDirBtn2.png", "chDirBtn3.png", "customeBtn1.png",
          "customeBtn2.png", "Cb1.png", "Cb2.png", "installDirEdit.png", "installPrg1.png", "installPrg2.png",
          "finished.png", "tipLbl.png"}) {
        files.push_back(std::string("res/mainWnd/") + name);
    }
    for (int frame = 0; frame < 24; ++frame) {
        char name[64];
        std::snprintf(name, sizeof name, "res/mainWnd/installBtnAnimate/%03d.png", frame);
        files.push_back(name);
    }
    return files;
}

std::vector<std::string> ExpectedSkinFolders() {
    return {"res", "res/common", "res/MessageBoxWnd", "res/mainWnd", "res/mainWnd/installBtnAnimate"};
}

ArchiveListing ReadArchive(std::span<const std::uint8_t> bytes) {
    ArchiveListing listing;
    std::unique_ptr<archive, decltype(&archive_read_free)> reader(archive_read_new(), &archive_read_free);
    archive* a = reader.get();
    archive_read_support_format_7zip(a);
    if (archive_read_open_memory(a, bytes.data(), bytes.size()) != ARCHIVE_OK) {
        listing.error = archive_error_string(a) ? archive_error_string(a) : "cannot open";
        return listing;
    }
    archive_entry* entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(a, &entry);
        if (status == ARCHIVE_EOF) break;
        if (status != ARCHIVE_OK) {
            listing.error = archive_error_string(a) ? archive_error_string(a) : "bad header";
            return listing;
        }
        if (listing.formatName.empty()) listing.formatName = archive_format_name(a);
        const std::string name = archive_entry_pathname(entry);
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            // libarchive reports folders with a trailing "/".
            listing.folders.push_back(name.ends_with('/') ? name.substr(0, name.size() - 1) : name);
            continue;
        }
        std::string content;
        char buffer[16384];
        la_ssize_t got = 0;
        while ((got = archive_read_data(a, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<std::size_t>(got));
        if (got < 0) {
            listing.error = archive_error_string(a) ? archive_error_string(a) : "bad data";
            return listing;
        }
        listing.files[name] = std::move(content);
    }
    listing.complete = true;
    return listing;
}

std::pair<int, int> PngSize(const std::filesystem::path& file) {
    const std::string bytes = testing_support::ReadFile(file);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0) {
        return {0, 0};
    }
    auto bigEndian = [&](std::size_t at) {
        int value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {bigEndian(16), bigEndian(20)};
}

std::string LookupKey(std::string name) {
    std::ranges::replace(name, '\\', '/');
    std::ranges::transform(name, name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

}  // namespace resources_test

// Pango and fontconfig keep their font caches until the process ends; the leak
// checker of sanitizer builds would report them after every font test.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
