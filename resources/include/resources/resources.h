// Data linked into the executable: the skin archive, the window icon and the
// fontconfig rules for the layouts' font face.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace Resources {

// The skin package: a 7z archive (one solid LZMA2 block) with the six window
// layouts at its root and their images under "res/".
inline constexpr std::string_view kSkinType = "SKINRES";
inline constexpr int kSkinId = 147;

// The window icon, a 256 x 256 PNG.
inline constexpr std::string_view kIconType = "ICON";
inline constexpr int kIconId = 145;

// The bytes of the resource with this type (compared case-insensitively) and id,
// valid for the whole run of the program; an empty span when there is none.
std::span<const std::uint8_t> Find(std::string_view type, int id);

// Adds the shipped fontconfig rules to the process's current fontconfig
// configuration, so that the layouts' face "微软雅黑" (and "Microsoft YaHei")
// resolves to the CJK font the program depends on instead of a font without
// Chinese glyphs. Call it on the main thread at start-up, before any text in that
// face is laid out (Pango may already be in use); later calls do nothing. False
// when fontconfig refused the rules.
bool RegisterFontAliases();

}  // namespace Resources
