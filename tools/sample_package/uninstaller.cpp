// The sample product's uninstaller ("uninst.ep"): removes what the sample package
// installed from the folder given by "_?=" and reports in the console protocol.
// Run with QUORVANE_SAMPLE_SCRIPT to play a script instead (see protocol_script.h).
#include "protocol_script.h"
#include "shortcuts.h"
#include "utils/process.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// The product's files; set.ini and the folder itself go when nothing else is left.
constexpr const char* kProductFiles[] = {"Lumivex.exe", "samples.bin", "config.ini", "last-run.txt", "uninst.ep", "set.ini"};

}  // namespace

int main(int argc, char** argv) {
    if (const auto scripted = RunScriptIfConfigured(argc, argv)) return *scripted;
    fs::path folder;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("_?=", 0) == 0) folder = std::string(argv[i]).substr(3);
    if (folder.empty()) {
        Say("Error=没有指定卸载目录");
        return 1;
    }
    if (Utils::FindProcessByName(L"Lumivex.exe") != 0) {
        Say("Error=Quorvane正在运行");
        return 1;
    }
    Say("Progress=0.1");
    std::error_code error;
    for (const char* name : kProductFiles) fs::remove(folder / name, error);
    Say("Progress=0.6");
    for (const fs::path& entry : {DesktopEntryPath(), MenuEntryPath()}) fs::remove(entry, error);
    fs::remove(folder, error);  // only when empty: files of the user stay
    Say("Progress=1");
    Say("State=Success");
    return 0;
}
