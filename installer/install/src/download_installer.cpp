#include "install/download_installer.h"

#include "download/curl_downloader.h"
#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"
#include "install/installer.h"
#include "install/uninstaller.h"
#include "utils/log.h"
#include "utils/paths.h"
#include "utils/process.h"
#include "utils/thread.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kProductExeName[] = L"Lumivex.exe";

// The package path cleaned up last, shared by every driver of the process.
std::mutex g_lastCleanedMutex;
std::wstring g_lastCleanedPackage;

void DeleteQuietly(const std::wstring& path) {
    std::error_code ignored;
    fs::remove(Utils::PathFromWide(path), ignored);
}

// Copies the old uninstaller into the private work folder; "" when that fails,
// so that a stale or planted file there is never run.
std::wstring CopyUninstaller(const std::wstring& source) {
    const std::wstring folder = Utils::TempWorkFolder();
    if (folder.empty()) return {};
    const std::wstring target = folder + CDownloadInstaller::kUninstallerCopyName;
    const fs::path targetPath = Utils::PathFromWide(target);
    std::error_code error;
    fs::remove(targetPath, error);
    if (!fs::copy_file(Utils::PathFromWide(source), targetPath, fs::copy_options::overwrite_existing, error) ||
        ::chmod(targetPath.c_str(), 0700) != 0) {
        fs::remove(targetPath, error);
        return {};
    }
    return target;
}

}  // namespace

std::unique_ptr<CDownloader> CreateDownloader(std::int32_t downloadType, StatusCallback callback, const std::wstring& url,
                                              const std::wstring& path, bool isCurlReady) {
    switch (downloadType) {
        case 2: return std::make_unique<CWinDownloader>(std::move(callback), url.c_str(), path.c_str());
        case 3: return std::make_unique<CMTCurlDownloader>(std::move(callback), url.c_str(), path.c_str(), isCurlReady);
        default: return std::make_unique<CCurlDownloader>(std::move(callback), url.c_str(), path.c_str());
    }
}

CDownloadInstaller::CDownloadInstaller(StatusCallback windowCallback, DriverSettings settings, std::wstring url,
                                       std::wstring oldUninstallerPath, std::wstring installDir, bool createDesktopShortcut,
                                       bool createQuickStart, bool adminAct)
    : Url(std::move(url)),
      OldUninstallerPath(std::move(oldUninstallerPath)),
      InstallDir(std::move(installDir)),
      CreateDesktopShortcut(createDesktopShortcut),
      CreateQuickStart(createQuickStart),
      AdminAct(adminAct),
      WindowCallback(std::move(windowCallback)),
      settings_(std::move(settings)) {}

CDownloadInstaller::~CDownloadInstaller() {
    // The uninstaller's worker may start the downloader and the downloader's
    // worker starts the package, so each is ended before what it can start.
    stopping_ = true;
    productWait_.reset();
    uninstaller_.reset();
    downloader_.reset();
    installer_.reset();
    WindowCallback = nullptr;
}

std::wstring CDownloadInstaller::CurrentPackagePath() const {
    std::lock_guard lock(pathsMutex_);
    return PackagePath;
}

std::wstring CDownloadInstaller::CurrentInstallDir() const {
    std::lock_guard lock(pathsMutex_);
    return InstallDir;
}

void CDownloadInstaller::SetInstallParams(std::wstring url, std::wstring /*existingInstallDir*/,
                                          std::wstring oldUninstallerPath, std::wstring installDir,
                                          bool createDesktopShortcut, bool createQuickStart, bool adminAct,
                                          bool authorizationAct, std::wstring insLang) {
    Url = std::move(url);
    OldUninstallerPath = std::move(oldUninstallerPath);
    {
        std::lock_guard lock(pathsMutex_);
        InstallDir = std::move(installDir);
    }
    CreateDesktopShortcut = createDesktopShortcut;
    CreateQuickStart = createQuickStart;
    AdminAct = adminAct;
    AuthorizationAct = authorizationAct;
    InsLang = std::move(insLang);
}

std::wstring CDownloadInstaller::GetPackagePath() const { return CurrentInstallDir() + L"/__Package_Lumivex.exe"; }

void CDownloadInstaller::Start() {
    {
        std::lock_guard lock(pathsMutex_);
        PackagePath = InstallDir + L"/__Package_Lumivex.exe";
    }
    UTILS_LOG(L"DL_TYPE=%d\r\n", settings_.DownloadType);
    if (!downloader_) {
        downloader_ = CreateDownloader(settings_.DownloadType, [this](int code, double value, const wchar_t* text) {
            WindowCallback(code, value, text);
            switch (code) {
                case DL_CODE_START: UTILS_LOG(L"DL_CODE_START\r\n"); break;
                case DL_CODE_PROGRESS: UTILS_LOG(L"DL_CODE_PROGRESS\r\n"); break;
                case DL_CODE_SUCCESS: UTILS_LOG(L"DOWNLOAD_SUCCESS\r\n"); break;
                case DL_CODE_FAIL: UTILS_LOG(L"DL_CODE_FAIL\r\n"); break;
                case DL_CODE_RETRY: UTILS_LOG(L"DL_CODE_RETRY\r\n"); break;
                default: break;
            }
            OnDownloadStatus(code);
            if (code == DL_CODE_SUCCESS) UTILS_LOG(L"DL_CODE_SUCCESS\r\n");
        }, Url, PackagePath, settings_.IsCurlReady);
    }
    if (!installer_) {
        installer_ = std::make_unique<CInstaller>([this](int code, double value, const wchar_t* text) {
            WindowCallback(code, value, text);
            switch (code) {
                case IST_CODE_START: UTILS_LOG(L"IST_CODE_START\r\n"); break;
                case IST_CODE_PROGRESS: UTILS_LOG(L"IST_CODE_PROGRESS\r\n"); break;
                case IST_CODE_SUCCESS: UTILS_LOG(L"INSTALL_SUCCESS\r\n"); break;
                case IST_CODE_FAIL: UTILS_LOG(L"IST_CODE_FAIL\r\n"); break;
                default: break;
            }
            OnInstallStatus(code);
        }, L"\"" + PackagePath + L"\"", InstallDir);
    }
    installer_->InstallDir = InstallDir;
    installer_->CreateDesktopShortcut = CreateDesktopShortcut;
    installer_->CreateQuickStart = CreateQuickStart;
    installer_->AdminAct = AdminAct;
    installer_->AuthorizationAct = AuthorizationAct;
    installer_->InsLang = InsLang;
    installer_->InstCmd = settings_.InstCmd;

    std::error_code error;
    if (!OldUninstallerPath.empty() && fs::is_regular_file(Utils::PathFromWide(OldUninstallerPath), error)) {
        const std::wstring copy = CopyUninstaller(OldUninstallerPath);
        const std::wstring oldFolder = Utils::WideFromPath(Utils::PathFromWide(OldUninstallerPath).parent_path());
        uninstaller_ = std::make_unique<CUninstaller>([this](int code, double value, const wchar_t* text) {
            WindowCallback(code, value, text);
            switch (code) {
                case UNIST_CODE_START: UTILS_LOG(L"UNIST_CODE_START\r\n"); break;
                case UNIST_CODE_PROGRESS: UTILS_LOG(L"UNIST_CODE_PROGRESS\r\n"); break;
                case UNIST_CODE_SUCCESS: UTILS_LOG(L"UNIST_CODE_SUCCESS\r\n"); break;
                case UNIST_CODE_FAIL: UTILS_LOG(L"UNIST_CODE_FAIL\r\n"); break;
                case UNIST_CODE_ERROR: UTILS_LOG(L"UNIST_CODE_ERROR\r\n"); break;
                default: break;
            }
            OnUninstallStatus(code);
        }, copy, oldFolder);
        StartUninstall();
        return;
    }
    downloader_->Start();
}

void CDownloadInstaller::StartUninstall() {
    if (!settings_.IsInsNew) {
        uninstaller_->Start();
        return;
    }
    // Waiting for the running product must not hold the caller (the window thread).
    productWait_ = std::make_unique<Utils::Thread>(this, L"ABDEF", [](void* self) -> std::uint32_t {
        auto* driver = static_cast<CDownloadInstaller*>(self);
        while (!driver->stopping_ && Utils::FindProcessByName(kProductExeName) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!driver->stopping_) driver->uninstaller_->Start();
        return 0;
    });
    productWait_->Resume();
}

void CDownloadInstaller::OnDownloadStatus(int code) {
    switch (code) {
        case DL_CODE_START:
            Utils::CreateDirectoryPath(CurrentInstallDir());
            break;
        case DL_CODE_SUCCESS:
            // Only a verified package becomes executable, and only for its owner.
            ::chmod(Utils::PathFromWide(CurrentPackagePath()).c_str(), 0700);
            installer_->Install();
            break;
        case DL_CODE_FAIL:
            CleanUpPackage();
            break;
        case DL_CODE_RETRY:
            downloader_->Start();
            break;
        default:
            break;
    }
}

void CDownloadInstaller::OnInstallStatus(int code) {
    if (code == IST_CODE_SUCCESS || code == IST_CODE_FAIL) CleanUpPackage();
}

void CDownloadInstaller::OnUninstallStatus(int code) {
    if (code == UNIST_CODE_SUCCESS && installer_ && !stopping_) downloader_->Start();
}

void CDownloadInstaller::CleanUpPackage() {
    const std::wstring packagePath = CurrentPackagePath();
    DeleteQuietly(packagePath);
    std::lock_guard lock(g_lastCleanedMutex);
    if (!g_lastCleanedPackage.empty()) DeleteQuietly(g_lastCleanedPackage);
    g_lastCleanedPackage = packagePath;
}
