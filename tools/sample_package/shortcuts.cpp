#include "shortcuts.h"

#include "utils/paths.h"

#include <cstdlib>

std::filesystem::path DesktopEntryPath() {
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/") / "Desktop" / "quorvane.desktop";
}

std::filesystem::path MenuEntryPath() { return Utils::DataHome() / "applications" / "quorvane.desktop"; }
