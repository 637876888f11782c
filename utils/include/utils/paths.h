// Per-user folders, the temporary work folder and folder creation.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace Utils {

// Wide paths are UTF-8 on disk.
std::filesystem::path PathFromWide(std::wstring_view path);
std::wstring WideFromPath(const std::filesystem::path& path);

// The running executable (/proc/self/exe) and its folder.
std::filesystem::path ExecutablePath();
std::filesystem::path ExecutableFolder();

// ${XDG_CONFIG_HOME:-~/.config}, ${XDG_DATA_HOME:-~/.local/share}, ${XDG_STATE_HOME:-~/.local/state}.
std::filesystem::path ConfigHome();
std::filesystem::path DataHome();
std::filesystem::path StateHome();
// $APPDATA when set, else the data home.
std::filesystem::path AppDataFolder();
// The shared documents folder: /var/tmp.
std::filesystem::path CommonDocumentsFolder();
// /opt when this process can write there, else the data home (per-user programs).
std::filesystem::path ProgramFilesFolder();

// The per-user runtime folder: $XDG_RUNTIME_DIR, else ${TMPDIR:-/tmp}/.quorvane-<uid>
// created with mode 0700. A folder that is not a real folder owned by the user
// and closed to everyone else is refused. Empty when none can be had.
std::filesystem::path UserRuntimeFolder();

// True when `path` is a real folder (not a symlink) owned by this user with mode 0700.
bool IsPrivateFolder(const std::filesystem::path& path);

// The runtime folder + "~KarVoTemp.92482B06FB471E17/", created (that one folder,
// mode 0700) when missing; "" when it cannot be created or was planted by someone
// else (not a private folder of this user).
std::wstring TempWorkFolder();

// Creates every missing folder of `path` ("/" separators); true when the whole
// path exists as folders afterwards. Paths of PATH_MAX characters or more fail.
bool CreateDirectoryPath(std::wstring_view path);

}  // namespace Utils
