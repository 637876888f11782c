#include "tracker/persistence.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <random>

#include <fmt/format.h>

#include "utils/ini.h"
#include "utils/paths.h"
#include "utils/system.h"
#include "utils/text.h"

namespace karvo::tracking {
namespace {

constexpr std::size_t kValueCapacity = 128;

std::wstring Wide(const std::string& text) { return Utils::Utf8ToWideLenient(text); }

std::string ReadProfile(const std::string& section, const std::string& key, const std::filesystem::path& file) {
    return Utils::WideToUtf8(Utils::IniReadString(Wide(section), Wide(key), L"", file, kValueCapacity));
}

void WriteProfile(const std::string& section, const std::string& key, const std::string& value,
                  const std::filesystem::path& file) {
    Utils::IniWriteString(Wide(section), Wide(key), Wide(value), file);
}

std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// Owned by this user or root, and nobody else may write to it.
bool IsTrustedEntry(const std::filesystem::path& path) {
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0) return false;
    const bool trustedOwner = info.st_uid == ::geteuid() || info.st_uid == 0;
    return trustedOwner && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The nearest existing ancestor of `folder` (itself when it exists) is trusted.
bool IsTrustedFolder(std::filesystem::path folder) {
    std::error_code error;
    while (!folder.empty() && !std::filesystem::exists(folder, error)) {
        if (folder == folder.parent_path()) return false;
        folder = folder.parent_path();
    }
    return !folder.empty() && IsTrustedEntry(folder);
}

// The configuration file named by a "Set.ini" beside the executable, or "".
std::string RedirectedConfigPath(const std::filesystem::path& executableFolder) {
    if (executableFolder.empty()) return {};
    const auto redirectFile = Utils::ResolveProfilePath(executableFolder / "Set.ini");
    std::error_code error;
    if (!std::filesystem::is_regular_file(redirectFile, error)) return {};
    std::string value = ReadProfile("Install", "KVAnalyticsIni", redirectFile);
    std::replace(value.begin(), value.end(), '\\', '/');
    if (value.find('/') == std::string::npos) return {};
    const std::string folder = value.substr(0, value.rfind('/') + 1);
    // Another user could otherwise steer our identity store into a place of their choosing.
    if (!IsTrustedEntry(redirectFile) || !IsTrustedFolder(folder)) return {};
    return value;
}

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// 32 hexadecimal digits as 8-4-4-4-12, upper case; "" for anything else.
std::string GuidFromDigits(const std::string& digits) {
    const auto isHexDigit = [](unsigned char c) { return std::isxdigit(c) != 0; };
    if (digits.size() != 32 || !std::all_of(digits.begin(), digits.end(), isHexDigit)) return {};
    const std::string upper = UpperCase(digits);
    return upper.substr(0, 8) + "-" + upper.substr(8, 4) + "-" + upper.substr(12, 4) + "-" + upper.substr(16, 4) +
           "-" + upper.substr(20);
}

}  // namespace

bool CreateTrackerDirectory(const std::string& path) { return Utils::CreateDirectoryPath(Wide(path)); }

void ResolveTrackerFiles(TrackerState& state, const std::string& appName,
                         const std::filesystem::path& executableFolder) {
    const std::string redirect = RedirectedConfigPath(executableFolder);
    if (redirect.empty()) {
        const std::string base = Utils::StateHome().string();
        state.dataDir = WithTrailingSlash(WithTrailingSlash(base) + "KVLocal/" + appName);
        state.configPath = state.dataDir + appName + "_KVSConfigure.ini";
    } else {
        state.configPath = redirect;
        state.dataDir = redirect.substr(0, redirect.rfind('/') + 1);
    }
    CreateTrackerDirectory(state.dataDir);
}

void LoadIdentity(TrackerState& state) {
    state.userId.clear();
    state.distinctId.clear();
    state.primaryDistinctId.clear();
    state.url.clear();
    state.isLogined = false;
    std::error_code error;
    if (!state.configPath.empty() && std::filesystem::exists(state.configPath, error)) {
        const std::filesystem::path file = state.configPath;
        state.distinctId = ReadProfile("Base", "DistinctId", file);
        state.primaryDistinctId = ReadProfile("Base", "PrimaryDistinctId", file);
        if (state.primaryDistinctId.empty()) state.primaryDistinctId = state.distinctId;
        state.userId = ReadProfile("Base", "UserId", file);
        state.userVipLevel = Utils::IniReadInt(L"Base", L"UserVipLevel", 0, file);
        state.url = ReadProfile("Base", "URL", file);
        state.isLogined = ReadProfile("Base", "isLogined", file) == "OK";
    }
    if (state.distinctId.empty()) {
        state.distinctId = GenerateDistinctId();
        SaveBase(state);
    }
}

void SaveBase(const TrackerState& state) {
    // Before the files are resolved there is nowhere of ours to write to.
    if (state.configPath.empty()) return;
    const std::filesystem::path file = state.configPath;
    WriteProfile("Base", "DistinctId", state.distinctId, file);
    WriteProfile("Base", "PrimaryDistinctId", state.primaryDistinctId, file);
    WriteProfile("Base", "UserId", state.userId, file);
    WriteProfile("Base", "UserVipLevel", std::to_string(state.userVipLevel), file);
    WriteProfile("Base", "URL", state.url, file);
    WriteProfile("Base", "isLogined", state.isLogined ? "OK" : "NG", file);
}

void SaveUninstallInfo(const TrackerState& state, const std::string& appStore, const std::string& appName,
                       const std::string& appVersion) {
    if (state.configPath.empty()) return;
    const std::filesystem::path file = state.configPath;
    WriteProfile("UninstallInfo", "AppStore", appStore, file);
    WriteProfile("UninstallInfo", "AppName", appName, file);
    WriteProfile("UninstallInfo", "AppVersion", appVersion, file);
}

std::string GenerateDistinctId() {
    for (int attempt = 0; attempt < 11; ++attempt) {
        const std::string id = GuidFromDigits(Utils::WideToUtf8(Utils::NewGuidText()));
        if (!id.empty()) return id;
    }
    return MersenneDistinctId();
}

std::string MersenneDistinctId() {
    static std::mutex engineMutex;
    static std::mt19937 engine;  // default seed 5489
    std::uniform_int_distribution<std::uint32_t> draw(0, 2147483646);
    std::uint32_t v[8];
    {
        std::lock_guard lock(engineMutex);
        for (auto& value : v) value = draw(engine);
    }
    return fmt::format("{:x}{:x}-{:x}-{:x}-{:x}-{:x}{:x}{:x}", v[0], v[1], v[2], (v[3] & 0xFFFu) | 0x4000u,
                       (v[4] % 0x3FFFu) + 0x8000u, v[5], v[6], v[7]);
}

std::string OsNameText() {
    std::wstring family, name;
    Utils::GetOsVersionName(family, name);
    return family.empty() ? "Linux" : Utils::WideToUtf8(family);
}

std::string OsVersionText() {
    std::wstring family, name;
    Utils::GetOsVersionName(family, name);
    return Utils::WideToUtf8(name);
}

std::string UserAgentText() {
    return "Mozilla/5.0(" + OsNameText() + " " + OsVersionText() + "; " + OsNameText() +
           (Utils::IsOs64Bit() ? "64;)" : "32;)");
}

}  // namespace karvo::tracking
