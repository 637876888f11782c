// Profile (INI) files with the Windows profile semantics.
//
// Reading: section and key names compare case-insensitively, the first matching
// section and the first matching key in it win, blanks around names and values
// are ignored, a value wrapped in a pair of double or single quotes loses them,
// lines starting with ";" are comments, and a missing file, section or key gives
// the default. A UTF-8 or UTF-16LE byte-order mark is honoured; files are UTF-8.
//
// Writing keeps every other line byte for byte and goes through a temporary
// file renamed into place, so a reader never sees a torn file. A value that
// would not survive a plain "key=value" line (line breaks or other control
// characters, blanks at either end, a leading quote) is written quoted, with
// backslash escapes inside the quotes (\\ \" \r \n \t \xHH). The quoted form
// reads back exactly, so a value never creates another key or section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace Utils {

// The profile's value, cut to `capacity` - 1 characters; `fallback` when absent.
std::wstring IniReadString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback,
                           const std::filesystem::path& file, std::size_t capacity = 32767);

// The value read as a decimal integer: `fallback` when absent or empty, 0 when
// it does not start with a number or is out of the 32-bit range.
std::int32_t IniReadInt(std::wstring_view section, std::wstring_view key, std::int32_t fallback,
                        const std::filesystem::path& file);

// Writes one value, creating the file and the section when missing. False when
// the section or key name cannot be stored (empty, line breaks, "]" in a
// section, "=" in a key) or the file cannot be written.
bool IniWriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value,
                    const std::filesystem::path& file);

// A file name that does not exist as written is looked up case-insensitively in
// its folder ("Set.ini" finds "set.ini"); otherwise the path as given.
std::filesystem::path ResolveProfilePath(const std::filesystem::path& file);

// Writes `content` to a temporary file beside `file` and renames it into place.
// A new file gets `mode`; an existing file keeps its mode unless `forceMode`.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content, unsigned mode = 0644,
                         bool forceMode = false);

}  // namespace Utils
