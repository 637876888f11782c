#include "ui_framework/resources.h"

#include "ui_framework/geometry.h"

#include <utils/paths.h>

#include <archive.h>
#include <archive_entry.h>
#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace skin {

namespace {

using ArchivePtr = std::unique_ptr<archive, decltype(&archive_read_free)>;

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

struct PngReader {
    const Bytes* bytes;
    std::size_t offset = 0;
};

cairo_status_t ReadPngChunk(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->bytes->size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes->data() + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

// Turns pixels of the key colour transparent; the surface becomes ARGB32 if it was not.
SurfaceRef ApplyColorKey(cairo_surface_t* source, std::uint32_t key) {
    const int width = cairo_image_surface_get_width(source);
    const int height = cairo_image_surface_get_height(source);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(copy);
    auto* data = cairo_image_surface_get_data(copy);
    const int stride = cairo_image_surface_get_stride(copy);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x)
            if ((row[x] >> 24) == 0xFF && (row[x] & 0xFFFFFF) == (key & 0xFFFFFF)) row[x] = 0;
    }
    cairo_surface_mark_dirty(copy);
    return WrapSurface(copy);
}

}  // namespace

std::string NormaliseArchivePath(std::wstring_view path) {
    std::string name = Narrow(path);
    std::replace(name.begin(), name.end(), '\\', '/');
    while (name.starts_with("./")) name.erase(0, 2);
    while (name.starts_with('/')) name.erase(0, 1);
    return name;
}

std::unique_ptr<SkinArchive> SkinArchive::Open(const void* data, std::size_t size) {
    if (data == nullptr || size == 0) return nullptr;
    ArchivePtr reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_all(reader.get());
    archive_read_support_filter_all(reader.get());
    if (archive_read_open_memory(reader.get(), data, size) != ARCHIVE_OK) return nullptr;
    auto result = std::unique_ptr<SkinArchive>(new SkinArchive);
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        if (archive_entry_filetype(entry) != AE_IFREG) continue;
        Entry item;
        const char* name = archive_entry_pathname_utf8(entry);
        if (name == nullptr) name = archive_entry_pathname(entry);
        item.name = name ? name : "";
        if (archive_entry_size_is_set(entry)) item.bytes.reserve(static_cast<std::size_t>(archive_entry_size(entry)));
        char buffer[65536];
        la_ssize_t got;
        while ((got = archive_read_data(reader.get(), buffer, sizeof buffer)) > 0)
            item.bytes.insert(item.bytes.end(), buffer, buffer + got);
        if (got < 0) return nullptr;
        result->entries_.push_back(std::move(item));
    }
    if (status != ARCHIVE_EOF) return nullptr;
    return result;
}

std::optional<Bytes> SkinArchive::Find(std::wstring_view path) const {
    const std::string wanted = NormaliseArchivePath(path);
    for (const Entry& entry : entries_)
        if (SameNameIgnoringCase(entry.name, wanted)) return entry.bytes;
    return std::nullopt;
}

std::vector<std::string> SkinArchive::Names() const {
    std::vector<std::string> names;
    for (const Entry& entry : entries_) names.push_back(entry.name);
    return names;
}

SurfaceRef WrapSurface(cairo_surface_t* surface) {
    if (surface == nullptr) return nullptr;
    return SurfaceRef(surface, &cairo_surface_destroy);
}

Resources& Resources::Instance() {
    static Resources instance;
    return instance;
}

void Resources::RegisterPackagedResource(std::wstring_view type, int id, const void* data, std::size_t size) {
    blobs_[{std::wstring(type), id}] = {data, size};
}

std::optional<std::pair<const void*, std::size_t>> Resources::FindPackagedResource(std::wstring_view type,
                                                                                   int id) const {
    auto found = blobs_.find({std::wstring(type), id});
    if (found == blobs_.end()) return std::nullopt;
    return found->second;
}

bool Resources::UsePackagedArchive(int id) {
    if (openedArchiveId_ == id && archive_) return true;
    auto blob = FindPackagedResource(L"SKINRES", id);
    if (!blob) return false;
    auto archive = SkinArchive::Open(blob->first, blob->second);
    if (!archive) return false;
    UseArchive(std::move(archive));
    openedArchiveId_ = id;
    return true;
}

void Resources::UseArchive(std::unique_ptr<SkinArchive> archive) {
    archive_ = std::move(archive);
    openedArchiveId_.reset();
    images_.clear();
}

void Resources::SetResourceFolder(std::filesystem::path folder) {
    resourceFolder_ = std::move(folder);
    images_.clear();
}

std::filesystem::path Resources::ResourceFolder() const {
    return resourceFolder_ ? *resourceFolder_ : Utils::ExecutableFolder();
}

std::optional<Bytes> Resources::LoadFile(std::wstring_view path) const {
    if (archive_) {
        if (auto bytes = archive_->Find(path)) return bytes;
    }
    const std::string relative = NormaliseArchivePath(path);
    if (relative.empty() || relative.find("..") != std::string::npos) return std::nullopt;
    std::ifstream in(ResourceFolder() / relative, std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

SurfaceRef Resources::LoadImage(std::wstring_view path, std::optional<std::uint32_t> maskColor) {
    if (path.empty()) return nullptr;
    const std::pair<std::wstring, std::int64_t> key{std::wstring(path), maskColor ? std::int64_t(*maskColor) : -1};
    if (auto cached = images_.find(key); cached != images_.end()) return cached->second;
    SurfaceRef image;
    if (auto bytes = LoadFile(path)) {
        PngReader reader{&*bytes};
        auto decoded = WrapSurface(cairo_image_surface_create_from_png_stream(&ReadPngChunk, &reader));
        if (decoded && cairo_surface_status(decoded.get()) == CAIRO_STATUS_SUCCESS)
            image = maskColor ? ApplyColorKey(decoded.get(), *maskColor) : decoded;
    }
    // Missing images are remembered too, so that a missing frame costs one lookup.
    images_[key] = image;
    return image;
}

void Resources::ClearImageCache() { images_.clear(); }

void Resources::SetText(int id, std::wstring text) {
    texts_[id] = std::move(text);
    ++textGeneration_;
}

std::optional<std::wstring> Resources::FindText(int id) const {
    auto found = texts_.find(id);
    if (found == texts_.end()) return std::nullopt;
    return found->second;
}

void Resources::ClearTexts() {
    texts_.clear();
    ++textGeneration_;
}

void Resources::Reset() {
    blobs_.clear();
    archive_.reset();
    openedArchiveId_.reset();
    resourceFolder_.reset();
    images_.clear();
    texts_.clear();
    ++textGeneration_;
}

}  // namespace skin
