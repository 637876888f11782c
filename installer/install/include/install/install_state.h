// What the installer remembers about an installation: the two per-user registry
// values, the folder proposed to the user, whether the previous version is
// uninstalled first, and the set.ini written into the installation folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class InstallState {
public:
    // Reads "InstallPath" and "UnInstallEp"; a missing uninstaller value is derived
    // as the install path + "/uninst.ep".
    void LoadExistingInstall();
    bool IsInstalled() const { return !ExistingInstallPath.empty(); }

    // The existing installation's folder when its uninstaller file exists; else
    // <APPDATA>/zerin/Lumivex for an administrator running with administrator
    // rights, else <program files>/Lumivex. Refreshes AdminAct and AuthorizationAct.
    std::wstring GetDefaultInstallDir();
    bool IsSameAsDefaultDir(std::wstring_view folder);
    // The folder for a custom install from the folder field's text: the default
    // folder, or the text with its own "Lumivex" sub-folder.
    std::wstring GetChosenInstallDir(std::wstring_view editText);
    // True when `folder` is the existing installation's folder and its set.ini
    // says [Uninstall] IsOverride=false.
    bool IsOverrideDisabled(std::wstring_view folder) const;
    // The previous version's uninstaller to run before installing into `folder`, or "".
    std::wstring UninstallerFor(std::wstring_view folder) const;

    // After success: "InstallPath", and "UnInstallEp" when that file exists.
    void SaveInstallInfo();
    // set.ini of the recorded folder ([Install] APPStore, AppName, DeviceID,
    // KVAnalyticsIni) and the tracking file's [Init] UpdateTime.
    void WriteInstallSetIni(std::wstring_view installerFileName);

    // <APPDATA>/KarVoData/Lumivex/KVAnalytics.ini
    static std::filesystem::path TrackingSettingsFile();

    // Reported paths may end in a carriage return; setters trim it.
    void SetRecordedInstallPath(std::wstring_view path);
    void SetRecordedUninstallerPath(std::wstring_view path);
    const std::wstring& RecordedInstallPath() const { return RecordedInstallPath_; }
    const std::wstring& RecordedUninstallerPath() const { return RecordedUninstallerPath_; }

    std::wstring ExistingInstallPath;
    std::wstring ExistingUninstallerPath;
    bool AdminAct = false;
    bool AuthorizationAct = false;

private:
    std::wstring RecordedInstallPath_;
    std::wstring RecordedUninstallerPath_;
};
