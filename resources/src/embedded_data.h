// Symbols of the blobs that embedded_data.S links in. Each blob is followed by
// one zero byte that is not part of it, so text blobs can be used as C strings.
#pragma once

#include <cstdint>

#define QV_EMBEDDED_BLOB(name)                                                  \
    extern "C" __attribute__((visibility("hidden"))) const std::uint8_t name##_begin[]; \
    extern "C" __attribute__((visibility("hidden"))) const std::uint8_t name##_end[];

QV_EMBEDDED_BLOB(qv_skin_archive)
QV_EMBEDDED_BLOB(qv_window_icon)
QV_EMBEDDED_BLOB(qv_font_aliases)

#undef QV_EMBEDDED_BLOB
