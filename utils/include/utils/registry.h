// The product's per-user registry values (HKCU\Software\KarVoSoft\Lumivex).
//
// Stored in ${XDG_CONFIG_HOME:-~/.config}/KarVoSoft/Lumivex/registry.ini, mode
// 0600, rewritten atomically under a lock so that concurrent writers in any
// process never lose each other's values. Every string round-trips exactly.
// A corrupt or unreadable file reads as empty; the next write replaces it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace Utils {

constexpr std::uint32_t kRegistryStringType = 1;  // REG_SZ

std::filesystem::path RegistryFilePath();

// Writes a string value; false when the store cannot be written or the name is
// not storable (empty, control characters, "=").
bool RegWriteString(std::wstring_view name, std::wstring_view value);

// Reads a string value into `value` (up to its first null character) and sets
// `type` to REG_SZ; false when the value or the store is missing or unreadable.
bool RegReadString(std::wstring_view name, std::uint32_t& type, std::wstring& value);

}  // namespace Utils
