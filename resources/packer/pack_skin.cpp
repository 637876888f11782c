// Packs a skin folder into a 7z archive: one solid block, LZMA2.
//
//   qv_skin_packer <archive> <skin folder>
//
// Every file and folder under the skin folder is stored under its relative path
// with "/" separators, in sorted order and without time stamps, so the same
// input always gives the same archive. Hidden entries (names starting with ".")
// are left out. The archive is written beside the target and renamed into place.
#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// liblzma preset 2: a 2 MiB dictionary, larger than the whole skin (so matches
// reach across every file of the solid block) yet small for the reader, which
// allocates the full dictionary when it opens the archive.
constexpr const char* kCompressionLevel = "2";

struct ArchiveDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryDeleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

struct SkinEntry {
    std::string name;  // relative path with "/" separators
    fs::path source;
    bool folder;
};

bool IsHidden(const fs::path& relative) {
    return std::ranges::any_of(relative, [](const fs::path& part) { return part.string().starts_with('.'); });
}

std::vector<SkinEntry> CollectEntries(const fs::path& root, std::error_code& ec) {
    std::vector<SkinEntry> entries;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(root);
        if (IsHidden(relative)) {
            if (it->is_directory()) it.disable_recursion_pending();
            continue;
        }
        const bool folder = it->is_directory(ec);
        if (!folder && !it->is_regular_file(ec)) continue;
        entries.push_back({relative.generic_string(), it->path(), folder});
    }
    std::ranges::sort(entries, {}, &SkinEntry::name);
    return entries;
}

bool ReadWholeFile(const fs::path& file, std::string& content) {
    std::ifstream in(file, std::ios::binary);
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

bool Fail(archive* a, const std::string& what) {
    std::fprintf(stderr, "qv_skin_packer: %s: %s\n", what.c_str(), a ? archive_error_string(a) : "");
    return false;
}

bool WriteArchive(const fs::path& target, const std::vector<SkinEntry>& entries) {
    std::unique_ptr<archive, ArchiveDeleter> out(archive_write_new());
    archive* a = out.get();
    if (archive_write_set_format_7zip(a) != ARCHIVE_OK ||
        archive_write_set_format_option(a, "7zip", "compression", "lzma2") != ARCHIVE_OK ||
        archive_write_set_format_option(a, "7zip", "compression-level", kCompressionLevel) != ARCHIVE_OK) {
        return Fail(a, "cannot set up a 7z LZMA2 writer");
    }
    if (archive_write_open_filename(a, target.c_str()) != ARCHIVE_OK) return Fail(a, target.string());

    std::string content;
    for (const SkinEntry& skinEntry : entries) {
        std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
        archive_entry_set_pathname_utf8(entry.get(), skinEntry.name.c_str());
        content.clear();
        if (skinEntry.folder) {
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            archive_entry_set_perm(entry.get(), 0755);
        } else {
            if (!ReadWholeFile(skinEntry.source, content)) return Fail(nullptr, "cannot read " + skinEntry.source.string());
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), 0644);
        }
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(content.size()));
        if (archive_write_header(a, entry.get()) != ARCHIVE_OK) return Fail(a, skinEntry.name);
        if (!content.empty() &&
            archive_write_data(a, content.data(), content.size()) != static_cast<la_ssize_t>(content.size())) {
            return Fail(a, skinEntry.name);
        }
    }
    // The whole solid block is compressed and written on close.
    if (archive_write_close(a) != ARCHIVE_OK) return Fail(a, "cannot finish " + target.string());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <archive> <skin folder>\n", argv[0]);
        return 2;
    }
    const fs::path target = argv[1];
    const fs::path root = argv[2];
    std::error_code ec;
    const std::vector<SkinEntry> entries = CollectEntries(root, ec);
    if (ec || entries.empty()) {
        std::fprintf(stderr, "qv_skin_packer: cannot list %s: %s\n", root.c_str(), ec ? ec.message().c_str() : "empty");
        return 1;
    }
    fs::path partial = target;
    partial += ".partial";
    if (!WriteArchive(partial, entries)) {
        fs::remove(partial, ec);
        return 1;
    }
    fs::rename(partial, target, ec);
    if (ec) {
        std::fprintf(stderr, "qv_skin_packer: cannot rename to %s: %s\n", target.c_str(), ec.message().c_str());
        fs::remove(partial, ec);
        return 1;
    }
    return 0;
}
