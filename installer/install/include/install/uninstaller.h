// Runs a copy of the previous version's uninstaller silently and follows its console lines.
#pragma once

#include "download/downloader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Utils {
class Thread;
}

// Uninstall status codes (value, text):
//   UNIST_CODE_START     never sent here; the install driver accepts it
//   UNIST_CODE_PROGRESS  0.0 at the start, then each reported fraction
//   UNIST_CODE_SUCCESS   0.0 when announced, 1.0 when inferred from the exit
//   UNIST_CODE_FAIL      1.0 + "可执行卸载文件不存在" (no file), 2.0 + "" (cannot start)
//   UNIST_CODE_ERROR     0.0 + the error text, or "安装包卸载失败" after a failure
//                        state line or a death by signal
enum UninstallStatusCode : int {
    UNIST_CODE_START = 5001,
    UNIST_CODE_PROGRESS = 5002,
    UNIST_CODE_SUCCESS = 5003,
    UNIST_CODE_FAIL = 5004,
    UNIST_CODE_ERROR = 5005,
};

inline constexpr wchar_t kUninstallerMissingText[] = L"可执行卸载文件不存在";
inline constexpr wchar_t kUninstallFailedText[] = L"安装包卸载失败";

class CUninstaller {
public:
    CUninstaller(StatusCallback callback, std::wstring uninstallerExe, std::wstring oldInstallDir);
    // Waits for the run, and with it the uninstaller, to end.
    ~CUninstaller();
    CUninstaller(const CUninstaller&) = delete;
    CUninstaller& operator=(const CUninstaller&) = delete;

    // Starts the one run on the worker "UnInstaller" and returns at once.
    void Start();
    // "<exe> /S -adminact=.. -authorizationact=.. -console=show _?=<folder>",
    // with the administrator answers asked at this moment.
    std::wstring BuildCommandLine() const;
    // The command line for given administrator answers.
    std::wstring BuildCommandLine(bool adminAct, bool authorizationAct) const;
    // Interprets one chunk: 0, 1 after a success state line, 1000 after an error or failure.
    int Parse(std::wstring_view text);

    const std::wstring& CommandLine() const { return CommandLine_; }
    std::uint32_t CodePage() const { return CodePage_; }

private:
    void RunUninstaller();

    StatusCallback Callback;
    std::wstring CommandLine_;
    std::wstring UninstallerExe;
    std::wstring OldInstallDir;
    std::uint32_t CodePage_ = 0;
    std::unique_ptr<Utils::Thread> worker_;
};
