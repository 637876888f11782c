#include "skin_test_support.h"

#include <ui_framework/resources.h>

#include <archive.h>
#include <archive_entry.h>
#include <cairo.h>

#include <stdexcept>

// GLib, fontconfig and Pango are not built with ThreadSanitizer: Pango's font-map setup thread
// synchronises with the window thread through locks it cannot see. Only ThreadSanitizer builds
// ever call this.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libglib-2.0.so\nrace:libgio-2.0.so\nrace:libfontconfig.so\nrace:libpango-1.0.so\n"
           "race:libpangoft2-1.0.so\n";
}

namespace skin_test {

std::vector<std::uint8_t> Make7z(const std::map<std::string, std::string>& files) {
    std::vector<std::uint8_t> buffer(4 << 20);
    std::size_t used = 0;
    archive* writer = archive_write_new();
    archive_write_set_format_7zip(writer);
    archive_write_set_format_option(writer, "7zip", "compression", "lzma2");
    if (archive_write_open_memory(writer, buffer.data(), buffer.size(), &used) != ARCHIVE_OK)
        throw std::runtime_error("archive_write_open_memory");
    for (const auto& [path, content] : files) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, path.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(content.size()));
        archive_write_header(writer, entry);
        archive_write_data(writer, content.data(), content.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    buffer.resize(used);
    return buffer;
}

namespace {

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void SetColor(cairo_t* cr, std::uint32_t c) {
    cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                          (c >> 24) / 255.0);
}

}  // namespace

std::string MakeSplitPng(int width, int height, int split, std::uint32_t left, std::uint32_t right) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    SetColor(cr, left);
    cairo_rectangle(cr, 0, 0, split, height);
    cairo_fill(cr);
    SetColor(cr, right);
    cairo_rectangle(cr, split, 0, width - split, height);
    cairo_fill(cr);
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(surface, &AppendPng, &png);
    cairo_surface_destroy(surface);
    return png;
}

std::string MakePng(int width, int height, std::uint32_t color) { return MakeSplitPng(width, height, width, color, color); }

SkinFixture::SkinFixture() {
    skin::Resources::Instance().Reset();
    skin::ClearPendingQuit();
    skin::SetHostFactory([this] { return std::make_unique<skin::OffscreenHost>(clock_, composited_); });
}

SkinFixture::~SkinFixture() {
    skin::PumpPendingMessages();
    skin::SetHostFactory(nullptr);
    skin::Resources::Instance().Reset();
    skin::ClearPendingQuit();
}

void SkinFixture::UseSkin(const std::string& layout, std::map<std::string, std::string> files) {
    if (!layout.empty()) files["test.xml"] = layout;
    const auto bytes = Make7z(files);
    auto archive = skin::SkinArchive::Open(bytes.data(), bytes.size());
    ASSERT_NE(archive, nullptr);
    skin::Resources::Instance().UseArchive(std::move(archive));
}

void SkinFixture::CreateWindow(skin::SkinWindowBase& window, bool visible, skin::SkinWindowBase* owner) {
    ASSERT_TRUE(window.Create(owner, L"test", visible ? skin::kWsVisible : 0, 0, skin::kUseDefault,
                              skin::kUseDefault, skin::kUseDefault, skin::kUseDefault));
    static_cast<skin::OffscreenHost*>(window.GetHost())->Render();
}

}  // namespace skin_test
