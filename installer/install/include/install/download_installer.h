// The install driver: previous-version uninstall, download and package run, chained.
#pragma once

#include "download/downloader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class CInstaller;
class CUninstaller;
namespace Utils {
class Thread;
}

// What the driver takes from the process-wide settings.
struct DriverSettings {
    std::int32_t DownloadType = 1;  // 2 system downloader, 3 two-part downloader, else single stream
    bool IsInsNew = false;          // wait for a running product before uninstalling
    std::wstring InstCmd;           // appended to the package's command line
    bool IsCurlReady = true;        // false when libcurl's global initialisation failed
};

class CDownloadInstaller {
public:
    CDownloadInstaller(StatusCallback windowCallback, DriverSettings settings, std::wstring url = L"",
                       std::wstring oldUninstallerPath = L"", std::wstring installDir = L"",
                       bool createDesktopShortcut = true, bool createQuickStart = true, bool adminAct = true);
    // Ends the chain: stops a wait for the product, then waits for the uninstaller,
    // the downloader and the package (no time-out: a running package finishes).
    ~CDownloadInstaller();
    CDownloadInstaller(const CDownloadInstaller&) = delete;
    CDownloadInstaller& operator=(const CDownloadInstaller&) = delete;

    // `existingInstallDir` is accepted for the caller's convenience and not used.
    void SetInstallParams(std::wstring url, std::wstring existingInstallDir, std::wstring oldUninstallerPath,
                          std::wstring installDir, bool createDesktopShortcut, bool createQuickStart, bool adminAct,
                          bool authorizationAct, std::wstring insLang);
    // Starts the chain, or starts it again after a failure (reusing the downloader
    // and the installer). Returns at once; reports arrive on worker threads.
    void Start();
    // InstallDir + "/__Package_Lumivex.exe".
    std::wstring GetPackagePath() const;

    // The uninstaller copy's file name in the temporary work folder.
    static constexpr wchar_t kUninstallerCopyName[] = L"Lumivex_un_asa.exe";

private:
    void OnDownloadStatus(int code);
    void OnInstallStatus(int code);
    void OnUninstallStatus(int code);
    void StartUninstall();
    void CleanUpPackage();
    // Workers of a finished run may still read these while a retry's Start writes them.
    std::wstring CurrentPackagePath() const;
    std::wstring CurrentInstallDir() const;

    std::unique_ptr<CUninstaller> uninstaller_;
    std::unique_ptr<CDownloader> downloader_;
    std::unique_ptr<CInstaller> installer_;
    std::wstring Url;
    std::wstring OldUninstallerPath;
    std::wstring InstallDir;
    std::wstring PackagePath;
    bool CreateDesktopShortcut;
    bool CreateQuickStart;
    bool AdminAct;
    bool AuthorizationAct = true;
    std::wstring InsLang;
    StatusCallback WindowCallback;
    DriverSettings settings_;

    // The wait for a running product happens here, off the caller's thread.
    std::unique_ptr<Utils::Thread> productWait_;
    mutable std::mutex pathsMutex_;  // guards InstallDir and PackagePath
    std::atomic<bool> stopping_{false};
};

// Creates the downloader that `downloadType` selects.
std::unique_ptr<CDownloader> CreateDownloader(std::int32_t downloadType, StatusCallback callback, const std::wstring& url,
                                              const std::wstring& path, bool isCurlReady = true);
