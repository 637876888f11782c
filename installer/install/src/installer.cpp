#include "install/installer.h"

#include "child_output.h"
#include "install/child_command.h"
#include "utils/log.h"
#include "utils/process.h"
#include "utils/text.h"
#include "utils/thread.h"

#include <cstdio>

namespace {

const wchar_t* BoolText(bool value) { return value ? L"true" : L"false"; }

double ParseNumber(std::wstring_view text) {
    double value = 0.0;
    return Utils::ParseDouble(text, value) ? value : 0.0;
}

// "%d" read as a 32-bit integer, then taken as an unsigned 32-bit value (-1 -> 4294967295).
double ParseDelay(std::wstring_view text) {
    std::int32_t value = 0;
    if (!Utils::ParseInt32(text, value)) value = 0;
    return static_cast<double>(static_cast<std::uint32_t>(value));
}

}  // namespace

CInstaller::CInstaller(StatusCallback callback, std::wstring packageCommand, std::wstring installDir)
    : InstallDir(std::move(installDir)), Callback(std::move(callback)), PackageCommand(std::move(packageCommand)) {}

CInstaller::~CInstaller() {
    if (worker_) worker_->Join();
}

std::wstring CInstaller::BuildCommandLine() const {
    std::wstring line = PackageCommand;
    line += L" /S -console=show -version=1.0.0";
    line += L" -adminact=" + std::wstring(BoolText(AdminAct));
    line += L" -authorizationact=" + std::wstring(BoolText(AuthorizationAct));
    line += L" -dsc=" + std::wstring(BoolText(CreateDesktopShortcut));
    line += L" -ssc=" + std::wstring(BoolText(CreateQuickStart));
    if (!InsLang.empty()) line += L" -inslang=\"" + InsLang + L"\"";
    if (!InstCmd.empty()) line += L" " + InstCmd;
    if (!InstallDir.empty()) {
        line += L" -instdir=\"" + InstallDir + L"\"";
        line += L" /D=" + InstallDir;
    }
    return line;
}

void CInstaller::Install() {
    CommandLine_ = BuildCommandLine();
    if (worker_) worker_->Join();
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", [](void* self) -> std::uint32_t {
        static_cast<CInstaller*>(self)->RunPackage();
        return 0;
    });
    worker_->Resume();
}

void CInstaller::RunPackage() {
    Callback(IST_CODE_START, 0.0, L"");
    Callback(IST_CODE_PROGRESS, 0.0, L"");

    // The program is the quoted path at the front of the command line.
    std::wstring program = PackageCommand;
    if (program.size() >= 2 && program.front() == L'"' && program.back() == L'"') program = program.substr(1, program.size() - 2);
    int result = 0;
    const auto status = RunChild(program, CommandLine_, PackageCommand.size(), [&](std::string_view chunk) {
        result = Parse(ChunkText(chunk, CodePage_));
        return result == 0;
    });
    if (!status) {
        Callback(IST_CODE_FAIL, 2.0, L"");
        return;
    }
    if (result != 0) return;
    // No state line: the outcome is the package's own end. A package killed by a
    // signal did not finish its work.
    if (status->state == Utils::ConsoleProcess::State::Killed)
        Callback(IST_CODE_FAIL, 0.0, kPackageFailedText);
    else
        Callback(IST_CODE_SUCCESS, 1.0, L"");
}

int CInstaller::Parse(std::wstring_view text) {
    int result = 0;
    const auto report = [this](int code, double value, std::wstring_view valueText) {
        const std::wstring stored = ProtocolValue(valueText);
        Callback(code, value, stored.c_str());
    };
    ChunkLines lines(text);
    for (std::wstring_view line; lines.Next(line);) {
        const auto value = [&](std::wstring_view key) -> std::optional<std::wstring_view> {
            if (!line.starts_with(key)) return std::nullopt;
            return line.substr(key.size());
        };
        if (auto v = value(L"Progress=")) {
            report(IST_CODE_PROGRESS, ParseNumber(*v), L"");
        } else if (auto v = value(L"InstPath=")) {
            report(IST_INFO_INSTPATH, 0.0, *v);
        } else if (auto v = value(L"State=")) {
            const std::wstring_view state = TrimProtocolBlanks(*v);
            if (state == L"Success") {
                report(IST_CODE_SUCCESS, 0.0, L"");
                result = 1;
            } else if (state == L"Fail") {
                report(IST_CODE_FAIL, 0.0, kPackageFailedText);
                result = 1000;
            }
        } else if (auto v = value(L"InstallVersion=")) {
            Version parsed = InstallVersion_;
            const std::string ascii = Utils::WideToUtf8(*v);
            std::sscanf(ascii.c_str(), "%9d.%9d.%9d", &parsed.major, &parsed.minor, &parsed.patch);
            InstallVersion_ = parsed;
        } else if (auto v = value(L"ExePath=")) {
            const std::wstring path = ProtocolValue(*v);
            UTILS_LOG(L"ExePath: %s", path);
            report(IST_INFO_EXEPATH, 0.0, path);
        } else if (auto v = value(L"StartExe=")) {
            report(IST_INFO_EXEPATH, 0.0, *v);
        } else if (auto v = value(L"UninstExePath=")) {
            report(IST_INFO_UNINSTEXE, 0.0, *v);
        } else if (auto v = value(L"UninstExe=")) {
            report(IST_INFO_UNINSTEXE, 0.0, *v);
        } else if (auto v = value(L"UninstEp=")) {
            report(IST_INFO_UNINSTEP, 0.0, *v);
        } else if (auto v = value(L"Error=")) {
            report(IST_CODE_FAIL, 1000.0, *v);
            result = 1000;
        } else if (auto v = value(L"TopShowDetention=")) {
            report(IST_INFO_TOPSHOW, ParseDelay(*v), L"");
        } else if (auto v = value(L"FinsihCloseDetention=")) {
            report(IST_INFO_FINISHCLOSE, ParseDelay(*v), L"");
        } else if (auto v = value(L"StartUrl=")) {
            report(IST_INFO_STARTURL, 0.0, *v);
        } else if (auto v = value(L"StartupStyle=")) {
            const std::wstring_view style = TrimProtocolBlanks(*v);
            const double number = style == L"AutoStartup" ? 1.0 : style == L"UserStartup" ? 2.0 : 0.0;
            report(IST_INFO_STARTUPSTYLE, number, L"");
        } else if (auto v = value(L"Encode=")) {
            const std::wstring_view encoding = TrimProtocolBlanks(*v);
            std::int32_t number = 0;
            CodePage_ = encoding == L"UTF8" ? Utils::kCodePageUtf8
                      : encoding == L"ACP"  ? Utils::kCodePageAnsi
                      : Utils::ParseInt32(encoding, number) ? static_cast<std::uint32_t>(number)
                                                            : 0;
        } else if (auto v = value(L"Message=")) {
            report(IST_INFO_MESSAGE, 0.0, *v);
        }
    }
    return result;
}
