#include "install/install_state.h"

#include "install/child_command.h"
#include "utils/ini.h"
#include "utils/paths.h"
#include "utils/registry.h"
#include "utils/system.h"

#include <ctime>
#include <fmt/xchar.h>

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kProductFolder[] = L"Lumivex";

std::wstring ReadRegistry(const wchar_t* name) {
    std::uint32_t type = 0;
    std::wstring value;
    return Utils::RegReadString(name, type, value) ? value : std::wstring();
}

bool FileExists(std::wstring_view path) {
    std::error_code error;
    return !path.empty() && fs::is_regular_file(Utils::PathFromWide(path), error);
}

// Both paths as folders: "/a/b/" and "/a/b" are the same folder.
bool IsSameFolder(std::wstring_view a, std::wstring_view b) {
    if (a.empty() || b.empty()) return false;
    const fs::path left = Utils::PathFromWide(a).lexically_normal();
    const fs::path right = Utils::PathFromWide(b).lexically_normal();
    return (right / "").lexically_relative(left / "") == fs::path(".");
}

std::wstring Join(const fs::path& base, std::wstring_view leaf) { return Utils::WideFromPath(base / Utils::PathFromWide(leaf)); }

bool ConsoleUserIsAdmin() {
    std::wstring user;
    return Utils::GetConsoleUserName(user) && Utils::IsUserAccountAdmin(user);
}

}  // namespace

void InstallState::LoadExistingInstall() {
    ExistingInstallPath = TrimReportedPath(ReadRegistry(L"InstallPath"));
    ExistingUninstallerPath = TrimReportedPath(ReadRegistry(L"UnInstallEp"));
    if (ExistingUninstallerPath.empty() && !ExistingInstallPath.empty())
        ExistingUninstallerPath = Join(Utils::PathFromWide(ExistingInstallPath), L"uninst.ep");
}

std::wstring InstallState::GetDefaultInstallDir() {
    AdminAct = ConsoleUserIsAdmin();
    AuthorizationAct = Utils::IsProcessAdmin();
    if (!ExistingInstallPath.empty() && FileExists(ExistingUninstallerPath)) return ExistingInstallPath;
    const fs::path base = AdminAct && AuthorizationAct ? Utils::AppDataFolder() / "zerin" : Utils::ProgramFilesFolder();
    return Join(base, kProductFolder);
}

bool InstallState::IsSameAsDefaultDir(std::wstring_view folder) { return IsSameFolder(GetDefaultInstallDir(), folder); }

std::wstring InstallState::GetChosenInstallDir(std::wstring_view editText) {
    const std::wstring fallback = GetDefaultInstallDir();
    if (IsSameAsDefaultDir(editText)) return fallback;
    // Separators are already "/" here; a chosen folder gets its own product sub-folder.
    return Join(Utils::PathFromWide(editText), kProductFolder);
}

bool InstallState::IsOverrideDisabled(std::wstring_view folder) const {
    if (!IsSameFolder(ExistingInstallPath, folder)) return false;
    const fs::path setIni = Utils::PathFromWide(folder) / "set.ini";
    return Utils::IniReadString(L"Uninstall", L"IsOverride", L"true", setIni, 20) == L"false";
}

std::wstring InstallState::UninstallerFor(std::wstring_view folder) const {
    return IsOverrideDisabled(folder) ? std::wstring() : ExistingUninstallerPath;
}

void InstallState::SetRecordedInstallPath(std::wstring_view path) { RecordedInstallPath_ = TrimReportedPath(path); }
void InstallState::SetRecordedUninstallerPath(std::wstring_view path) { RecordedUninstallerPath_ = TrimReportedPath(path); }

void InstallState::SaveInstallInfo() {
    Utils::RegWriteString(L"InstallPath", RecordedInstallPath_);
    if (RecordedUninstallerPath_.empty()) RecordedUninstallerPath_ = Join(Utils::PathFromWide(RecordedInstallPath_), L"uninst.ep");
    if (FileExists(RecordedUninstallerPath_)) Utils::RegWriteString(L"UnInstallEp", RecordedUninstallerPath_);
}

fs::path InstallState::TrackingSettingsFile() { return Utils::AppDataFolder() / "KarVoData" / "Lumivex" / "KVAnalytics.ini"; }

void InstallState::WriteInstallSetIni(std::wstring_view installerFileName) {
    const fs::path setIni = Utils::PathFromWide(RecordedInstallPath_) / "set.ini";
    Utils::IniWriteString(L"Install", L"APPStore", installerFileName, setIni);
    Utils::IniWriteString(L"Install", L"AppName", kProductFolder, setIni);
    Utils::IniWriteString(L"Install", L"DeviceID", Utils::NewGuidText(), setIni);

    const fs::path tracking = TrackingSettingsFile();
    if (!Utils::CreateDirectoryPath(Utils::WideFromPath(tracking.parent_path()))) return;
    Utils::IniWriteString(L"Install", L"KVAnalyticsIni", Utils::WideFromPath(tracking), setIni);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    const std::wstring updateTime = fmt::format(L"{}-{:02}-{:02} {:02}:{:02}:{:02}", local.tm_year + 1900, local.tm_mon + 1,
                                                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    Utils::IniWriteString(L"Init", L"UpdateTime", updateTime, tracking);
}
