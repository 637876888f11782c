// Where the sample product's desktop and menu entries live.
#pragma once

#include <filesystem>

std::filesystem::path DesktopEntryPath();  // ~/Desktop/quorvane.desktop
std::filesystem::path MenuEntryPath();     // <data home>/applications/quorvane.desktop
