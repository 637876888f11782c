// Runs the downloaded package silently and turns its console lines into reports.
#pragma once

#include "download/downloader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Utils {
class Thread;
}

// Install status codes (value, text):
//   IST_CODE_START     0.0, ""
//   IST_CODE_PROGRESS  fraction 0..1, ""
//   IST_CODE_SUCCESS   0.0 when announced by the package, 1.0 when inferred from its exit
//   IST_CODE_FAIL      0.0 + "安装包安装失败" (failure state line or death by signal),
//                      1000.0 + the error text, 2.0 + "" when the package cannot start
// Installer information (value 0.0 and a text unless noted):
//   IST_INFO_INSTPATH, IST_INFO_EXEPATH, IST_INFO_UNINSTEXE, IST_INFO_UNINSTEP,
//   IST_INFO_STARTURL, IST_INFO_STARTUPSTYLE (0, 1, 2), IST_INFO_TOPSHOW and
//   IST_INFO_FINISHCLOSE (milliseconds), IST_INFO_MESSAGE
enum InstallStatusCode : int {
    IST_CODE_START = 2001,
    IST_CODE_PROGRESS = 2002,
    IST_CODE_SUCCESS = 2003,
    IST_CODE_FAIL = 2004,
    IST_INFO_INSTPATH = 3000,
    IST_INFO_EXEPATH = 3001,
    IST_INFO_UNINSTEXE = 3002,
    IST_INFO_UNINSTEP = 3003,
    IST_INFO_STARTURL = 3004,
    IST_INFO_STARTUPSTYLE = 3005,
    IST_INFO_TOPSHOW = 3007,
    IST_INFO_FINISHCLOSE = 3008,
    IST_INFO_MESSAGE = 3009,
};

inline constexpr wchar_t kPackageFailedText[] = L"安装包安装失败";

class CInstaller {
public:
    // `packageCommand` is the package's full path in double quotes.
    CInstaller(StatusCallback callback, std::wstring packageCommand, std::wstring installDir);
    // Waits for the current run, and with it the package, to end.
    ~CInstaller();
    CInstaller(const CInstaller&) = delete;
    CInstaller& operator=(const CInstaller&) = delete;

    // Starts one run on a new worker and returns at once; waits first for the
    // worker of an earlier run. Not to be called from this object's own callback.
    void Install();
    std::wstring BuildCommandLine() const;
    // Interprets one chunk of console output: 0, 1 after a success state line,
    // 1000 after a failure state line or an error line.
    int Parse(std::wstring_view text);

    // Set by the install driver before every Install().
    std::wstring InstallDir;
    bool CreateQuickStart = false;
    bool CreateDesktopShortcut = false;
    bool AdminAct = false;
    bool AuthorizationAct = true;
    std::wstring InsLang;
    // Extra text appended to the command line (the configured InstCmd).
    std::wstring InstCmd;

    const std::wstring& CommandLine() const { return CommandLine_; }
    std::uint32_t CodePage() const { return CodePage_; }
    struct Version {
        std::int32_t major = 0, minor = 0, patch = 0;
    };
    Version InstallVersion() const { return InstallVersion_; }

private:
    void RunPackage();

    StatusCallback Callback;
    std::wstring PackageCommand;
    std::wstring CommandLine_;
    std::uint32_t CodePage_ = 0;
    Version InstallVersion_;
    std::unique_ptr<Utils::Thread> worker_;
};
