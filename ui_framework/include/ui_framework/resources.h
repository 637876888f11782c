// Skin resources: the packaged skin archive, files on disk, images, and the
// table of numbered interface texts. Everything here is used on the window
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace skin {

using Bytes = std::vector<std::uint8_t>;

// Where a frame's layout and images come from.
enum class ResourceType : int {
    File = 1,             // files under the resource folder
    PackagedArchive = 4,  // the skin archive registered as a packaged resource
};

// A 7z (or any format libarchive reads) archive read completely from memory.
// Lookups turn "\" into "/" and compare names ignoring case.
class SkinArchive {
public:
    // nullptr when the blob is not a readable archive.
    static std::unique_ptr<SkinArchive> Open(const void* data, std::size_t size);

    // The bytes of one file, or nothing when the archive lacks it.
    std::optional<Bytes> Find(std::wstring_view path) const;
    // Stored names, in archive order (folders excluded).
    std::vector<std::string> Names() const;

private:
    struct Entry {
        std::string name;
        Bytes bytes;
    };
    std::vector<Entry> entries_;
};

// Normalises a requested archive path: "\" becomes "/", a leading "/" or "./" is dropped.
std::string NormaliseArchivePath(std::wstring_view path);

// Shared surface handle (released with cairo_surface_destroy).
using SurfaceRef = std::shared_ptr<cairo_surface_t>;
SurfaceRef WrapSurface(cairo_surface_t* surface);

// The process-wide resource state.
class Resources {
public:
    static Resources& Instance();

    // Registers a blob linked into the program (not copied; it must outlive its use).
    void RegisterPackagedResource(std::wstring_view type, int id, const void* data, std::size_t size);
    // The registered blob, or an empty view.
    std::optional<std::pair<const void*, std::size_t>> FindPackagedResource(std::wstring_view type, int id) const;

    // Selects the skin archive: the packaged resource "SKINRES" with `id`, opened once.
    // False when no such resource exists or it is not a readable archive.
    bool UsePackagedArchive(int id);
    // Uses an archive given directly (tests, tools).
    void UseArchive(std::unique_ptr<SkinArchive> archive);
    const SkinArchive* Archive() const { return archive_.get(); }

    // The folder on disk that holds loose skin files; the executable's folder by default.
    void SetResourceFolder(std::filesystem::path folder);
    std::filesystem::path ResourceFolder() const;

    // A skin file: from the archive first, then from the resource folder (case-sensitive there,
    // "\" turned into "/"). Nothing when neither has it.
    std::optional<Bytes> LoadFile(std::wstring_view path) const;

    // A decoded PNG image (cached by path and colour key); null when missing or unreadable.
    // `maskColor` (0xAARRGGBB, alpha ignored) makes pixels of that colour transparent.
    SurfaceRef LoadImage(std::wstring_view path, std::optional<std::uint32_t> maskColor = std::nullopt);
    void ClearImageCache();

    // Numbered interface texts.
    void SetText(int id, std::wstring text);
    std::optional<std::wstring> FindText(int id) const;
    void ClearTexts();
    // Increases whenever the text table changes, so windows can tell that bound texts moved.
    std::uint64_t TextGeneration() const { return textGeneration_; }

    // Forgets everything (tests).
    void Reset();

private:
    struct BlobKey {
        std::wstring type;
        int id;
        auto operator<=>(const BlobKey&) const = default;
    };
    std::map<BlobKey, std::pair<const void*, std::size_t>> blobs_;
    std::unique_ptr<SkinArchive> archive_;
    std::optional<int> openedArchiveId_;
    std::optional<std::filesystem::path> resourceFolder_;
    std::map<std::pair<std::wstring, std::int64_t>, SurfaceRef> images_;
    std::map<int, std::wstring> texts_;
    std::uint64_t textGeneration_ = 0;
};

}  // namespace skin
