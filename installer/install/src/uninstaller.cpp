#include "install/uninstaller.h"

#include "child_output.h"
#include "install/child_command.h"
#include "utils/paths.h"
#include "utils/process.h"
#include "utils/system.h"
#include "utils/text.h"
#include "utils/thread.h"

#include <filesystem>

namespace {

bool ConsoleUserIsAdmin() {
    std::wstring user;
    return Utils::GetConsoleUserName(user) && Utils::IsUserAccountAdmin(user);
}

}  // namespace

CUninstaller::CUninstaller(StatusCallback callback, std::wstring uninstallerExe, std::wstring oldInstallDir)
    : Callback(std::move(callback)), UninstallerExe(std::move(uninstallerExe)), OldInstallDir(std::move(oldInstallDir)) {}

CUninstaller::~CUninstaller() {
    if (worker_) worker_->Join();
}

std::wstring CUninstaller::BuildCommandLine(bool adminAct, bool authorizationAct) const {
    return UninstallerExe + L" /S -adminact=" + (adminAct ? L"true" : L"false") + L" -authorizationact=" +
           (authorizationAct ? L"true" : L"false") + L" -console=show _?=" + OldInstallDir;
}

std::wstring CUninstaller::BuildCommandLine() const { return BuildCommandLine(ConsoleUserIsAdmin(), Utils::IsProcessAdmin()); }

void CUninstaller::Start() {
    CommandLine_ = BuildCommandLine();
    if (worker_) return;  // one run per object
    worker_ = std::make_unique<Utils::Thread>(this, L"UnInstaller", [](void* self) -> std::uint32_t {
        static_cast<CUninstaller*>(self)->RunUninstaller();
        return 0;
    });
    worker_->Resume();
}

void CUninstaller::RunUninstaller() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(Utils::PathFromWide(UninstallerExe), error)) {
        Callback(UNIST_CODE_FAIL, 1.0, kUninstallerMissingText);
        return;
    }
    Callback(UNIST_CODE_PROGRESS, 0.0, L"");
    bool succeeded = true;
    // Unlike the package runner, reading goes on after a terminal line until the uninstaller ends.
    const auto status = RunChild(UninstallerExe, CommandLine_, UninstallerExe.size(), [&](std::string_view chunk) {
        if (Parse(ChunkText(chunk, CodePage_)) != 0) succeeded = false;
        return true;
    });
    if (!status) {
        Callback(UNIST_CODE_FAIL, 2.0, L"");
        return;
    }
    if (!succeeded) return;
    if (status->state == Utils::ConsoleProcess::State::Killed)
        Callback(UNIST_CODE_ERROR, 0.0, kUninstallFailedText);
    else
        Callback(UNIST_CODE_SUCCESS, 1.0, L"");
}

int CUninstaller::Parse(std::wstring_view text) {
    int result = 0;
    ChunkLines lines(text);
    for (std::wstring_view line; lines.Next(line);) {
        if (line.starts_with(L"Progress=")) {
            double value = 0.0;
            if (!Utils::ParseDouble(line.substr(9), value)) value = 0.0;
            Callback(UNIST_CODE_PROGRESS, value, L"");
        } else if (line.starts_with(L"Error=")) {
            const std::wstring message = ProtocolValue(line.substr(6));
            Callback(UNIST_CODE_ERROR, 0.0, message.c_str());
            result = 1000;
        } else if (line.starts_with(L"State=")) {
            const std::wstring_view state = TrimProtocolBlanks(line.substr(6));
            if (state == L"Success") {
                Callback(UNIST_CODE_SUCCESS, 0.0, L"");
                result = 1;
            } else if (state == L"Fail") {
                Callback(UNIST_CODE_ERROR, 0.0, kUninstallFailedText);
                result = 1000;
            }
        } else if (line.starts_with(L"Encode=")) {
            CodePage_ = TrimProtocolBlanks(line.substr(7)) == L"UTF8" ? Utils::kCodePageUtf8 : Utils::kCodePageAnsi;
        }
    }
    return result;
}
