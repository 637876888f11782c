#include "installer_app/silent_install.h"

#include "install/child_command.h"
#include "install/download_installer.h"
#include "install/failure_report.h"
#include "install/install_progress.h"
#include "install/install_state.h"
#include "install/installer.h"
#include "install/uninstaller.h"
#include "tracker/reporting.h"
#include "utils/paths.h"
#include "utils/process.h"
#include "utils/system.h"
#include "utils/text.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kRequiredFreeBytes = 1ull << 30;
const karvo::tracking::AbValues kAbValues{{L"AB", L"IN"}};

struct Report {
    int code;
    double value;
    std::wstring text;
};

// Reports cross from the driver's workers to the thread that runs the install.
class ReportQueue {
public:
    StatusCallback Callback() {
        return [this](int code, double value, const wchar_t* text) {
            std::lock_guard lock(mutex_);
            reports_.push_back({code, value, text});
            changed_.notify_one();
        };
    }
    std::optional<Report> Next(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, wait, [this] { return !reports_.empty(); })) return std::nullopt;
        Report report = std::move(reports_.front());
        reports_.pop_front();
        return report;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Report> reports_;
};

// Progress on standard error: one updating line on a terminal, else one line per whole percent.
class ProgressPrinter {
public:
    explicit ProgressPrinter(std::FILE* out) : out_(out), terminal_(::isatty(::fileno(out)) == 1) {}

    void Show(int percent, const char* stage, const std::string& detail = {}) {
        if (terminal_) {
            const int filled = percent * 30 / 100;
            std::fprintf(out_, "\r[%s%s] %3d%%  %s %s\033[K", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                         std::string(static_cast<std::size_t>(30 - filled), '.').c_str(), percent, stage, detail.c_str());
        } else {
            for (int step = last_ + 1; step <= percent; ++step) std::fprintf(out_, "%d%% %s\n", step, stage);
        }
        last_ = std::max(last_, percent);
        std::fflush(out_);
    }
    void Finish(const std::string& line) {
        std::fprintf(out_, "%s%s\n", terminal_ ? "\r\033[K" : "", line.c_str());
        std::fflush(out_);
    }

private:
    std::FILE* out_;
    bool terminal_;
    int last_ = -1;
};

std::string Utf8(const std::wstring& text) { return Utils::WideToUtf8(text); }

// Bytes of the package on disk so far, whatever partial files the downloader keeps.
std::uint64_t DownloadedBytes(const std::wstring& packagePath) {
    std::uint64_t total = 0;
    for (const char* suffix : {"", ".part", "_0", "_1"}) {
        std::error_code error;
        const auto size = fs::file_size(Utils::PathFromWide(packagePath + Utils::Utf8ToWideLenient(suffix)), error);
        if (!error) total += size;
    }
    return total;
}

void StartProduct(const std::wstring& exePath) {
    const std::string program = Utf8(exePath);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    pid_t pid = 0;
    posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
}

bool CloseRequested() {
    sigset_t requests;
    sigemptyset(&requests);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&requests, signal);
    const timespec now{0, 0};
    return ::sigtimedwait(&requests, nullptr, &now) > 0;
}

class SilentRun {
public:
    SilentRun(const InstallerSettings& settings, const Utils::CommandLineArgs& args, std::FILE* out)
        : settings_(settings), args_(args), printer_(out), progress_(settings.DownloadScale) {}

    int Run() {
        if (const auto refused = PrepareFolder()) return *refused;
        return Install();
    }

private:
    // The checks made before anything is changed; the exit code when one fails.
    std::optional<int> PrepareFolder() {
        state_.LoadExistingInstall();
        folder_ = args_.Has(L"-installdir") ? state_.GetChosenInstallDir(args_.GetString(L"-installdir"))
                                            : state_.GetDefaultInstallDir();
        if (!settings_.IsInsNew && (Utils::FindProcessByName(CDownloadInstaller::kUninstallerCopyName) != 0 ||
                                    Utils::FindProcessByName(L"Lumivex.exe") != 0))
            return Fail(kSilentProductRunning, "Quorvane or its uninstaller is running; close it and try again");
        if (!Utils::CreateDirectoryPath(folder_)) return Fail(kSilentFolderFailed, "cannot create " + Utf8(folder_));
        Utils::HardDiskManager disk;
        disk.CheckFreeSpace(folder_);
        if (disk.FreeBytesAvailable() < kRequiredFreeBytes)
            return Fail(kSilentLowDiskSpace, "less than 1 GiB free for " + Utf8(folder_));
        if (settings_.IsCheckNet && Utils::CheckNetwork() != 0) return Fail(kSilentNetworkFailed, "no connection to the internet");
        return std::nullopt;
    }

    int Install() {
        state_.SetRecordedInstallPath(folder_);
        auto driver = std::make_unique<CDownloadInstaller>(
            queue_.Callback(), DriverSettings{settings_.DownloadType, settings_.IsInsNew, settings_.InstCmd, settings_.IsCurlReady});
        driver->SetInstallParams(settings_.DownloadUrl, state_.ExistingInstallPath, state_.UninstallerFor(folder_), folder_,
                                !args_.Has(L"-dsc") || args_.GetBool(L"-dsc"), !args_.Has(L"-ssc") || args_.GetBool(L"-ssc"),
                                state_.AdminAct, state_.AuthorizationAct, L"");
        packagePath_ = driver->GetPackagePath();
        karvo::tracking::ReportInstallingView(kAbValues);
        driver->Start();
        while (!outcome_) {
            if (auto report = queue_.Next(std::chrono::milliseconds(100))) Handle(*report);
            if (CloseRequested()) closeRequested_ = true;
            if (closeRequested_ && !installing_) {
                outcome_ = Fail(kSilentInterrupted, "interrupted; the download was stopped and its files removed");
                break;
            }
        }
        // Ending the driver stops a download, waits for a package run and joins every worker.
        driver.reset();
        if (*outcome_ == kSilentInterrupted) RemovePackage();
        return *outcome_;
    }

    // What an interrupted download leaves: the package and the downloaders' partial files.
    void RemovePackage() const {
        for (const char* suffix : {"", ".part", "_0", "_1"}) {
            std::error_code ignored;
            fs::remove(Utils::PathFromWide(packagePath_ + Utils::Utf8ToWideLenient(suffix)), ignored);
        }
    }

    void Handle(const Report& report) {
        switch (report.code) {
            case DL_CODE_START:
                karvo::tracking::ReportTaskEvent(L"下载器启动", L"", 0.0f, kAbValues);
                karvo::tracking::ReportTaskEvent(L"开始下载大包", L"", 0.0f, kAbValues);
                downloadClock_.Start();
                ShowDownload(0.0);
                break;
            case DL_CODE_PROGRESS: ShowDownload(report.value); break;
            case DL_CODE_SUCCESS:
                karvo::tracking::ReportTaskEvent(L"大包下载完毕", L"", downloadClock_.Elapsed(), kAbValues);
                installing_ = true;
                break;
            case DL_CODE_FAIL:
                ReportFailureReason(L"下载失败原因", DownloadFailureDiagnosis(report.value, report.text, packagePath_));
                outcome_ = Fail(kSilentDownloadFailed, "the download failed: " + Utf8(report.text));
                break;
            case DL_CODE_MD5: ReportFailureReason(L"下载失败原因", ShortFailureReport(report.value, report.text)); break;
            case IST_CODE_START:
                installing_ = true;
                state_.WriteInstallSetIni(settings_.ExeName);
                break;
            case IST_CODE_PROGRESS: printer_.Show(progress_.OnInstallProgress(report.value), "installing"); break;
            case IST_CODE_SUCCESS: OnSucceeded(); break;
            case IST_CODE_FAIL: {
                ReportFailureReason(L"安装失败原因", ShortFailureReport(report.value, report.text));
                const std::wstring text = report.text.empty() ? L"安装失败" : report.text;
                outcome_ = Fail(kSilentPackageFailed, "the package failed: " + Utf8(text));
                break;
            }
            case IST_INFO_INSTPATH: state_.SetRecordedInstallPath(report.text); break;
            case IST_INFO_EXEPATH: exePath_ = report.text; break;
            case IST_INFO_UNINSTEP: state_.SetRecordedUninstallerPath(report.text); break;
            case IST_INFO_STARTUPSTYLE: startupStyle_ = static_cast<int>(report.value); break;
            case UNIST_CODE_FAIL:
            case UNIST_CODE_ERROR:
                outcome_ = Fail(kSilentProductRunning, "the previous version could not be removed: " + Utf8(report.text));
                break;
            default: break;
        }
    }

    void ShowDownload(double fraction) {
        const std::uint64_t bytes = DownloadedBytes(packagePath_);
        const double seconds = std::max(0.001, static_cast<double>(downloadClock_.Elapsed()));
        char detail[96];
        std::snprintf(detail, sizeof detail, "%.1f MB  %.1f MB/s", static_cast<double>(bytes) / 1e6,
                      static_cast<double>(bytes) / 1e6 / seconds);
        printer_.Show(progress_.OnDownloadProgress(fraction), "downloading", detail);
    }

    void OnSucceeded() {
        karvo::tracking::ReportTaskEvent(L"安装成功", L"", 0.0f, kAbValues);
        printer_.Show(100, "installed");
        state_.SaveInstallInfo();
        state_.WriteInstallSetIni(settings_.ExeName);
        const std::wstring exe = TrimReportedPath(exePath_);
        std::error_code error;
        if (startupStyle_ == 1 && fs::is_regular_file(Utils::PathFromWide(exe), error)) StartProduct(exe);
        printer_.Finish("Quorvane is installed in " + Utf8(state_.RecordedInstallPath()));
        outcome_ = kSilentInstalled;
    }

    int Fail(int code, const std::string& message) {
        printer_.Finish("Quorvane was not installed: " + message);
        return code;
    }

    const InstallerSettings& settings_;
    const Utils::CommandLineArgs& args_;
    ProgressPrinter printer_;
    InstallProgress progress_;
    InstallState state_;
    ReportQueue queue_;
    Utils::Stopwatch downloadClock_;
    std::wstring folder_;
    std::wstring packagePath_;
    std::wstring exePath_;
    int startupStyle_ = 0;
    bool installing_ = false;
    bool closeRequested_ = false;
    std::optional<int> outcome_;
};

}  // namespace

bool IsSilentRequested(const Utils::CommandLineArgs& args) { return args.GetBool(L"-silent"); }

int RunSilentInstall(const InstallerSettings& settings, const Utils::CommandLineArgs& args, std::FILE* progressOut) {
    return SilentRun(settings, args, progressOut).Run();
}
