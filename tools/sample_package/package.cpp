// The sample installation package: installs the sample product silently into the
// folder given by "/D=" and reports its progress on standard output in the
// installer's console protocol. Run with QUORVANE_SAMPLE_SCRIPT to play a script
// instead (see protocol_script.h).
#include "payload.h"
#include "protocol_script.h"
#include "shortcuts.h"
#include "utils/ini.h"
#include "utils/paths.h"
#include "utils/text.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path folder;
    bool desktopEntry = true;
    bool menuEntry = true;
    std::string language;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    fs::path instdir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* key) { return arg.substr(std::string(key).size()); };
        if (arg.rfind("/D=", 0) == 0) options.folder = value("/D=");
        else if (arg.rfind("-instdir=", 0) == 0) instdir = value("-instdir=");
        else if (arg.rfind("-dsc=", 0) == 0) options.desktopEntry = value("-dsc=") == "true";
        else if (arg.rfind("-ssc=", 0) == 0) options.menuEntry = value("-ssc=") == "true";
        else if (arg.rfind("-inslang=", 0) == 0) options.language = value("-inslang=");
    }
    if (options.folder.empty()) options.folder = instdir.empty() ? Utils::DataHome() / "Lumivex" : instdir;
    return options;
}

bool WriteFile(const fs::path& path, const unsigned char* data, std::size_t size, bool executable) {
    const fs::path temporary = fs::path(path).concat(".part");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out.flush()) return false;
    }
    if (::chmod(temporary.c_str(), executable ? 0755 : 0644) != 0) return false;
    std::error_code error;
    fs::rename(temporary, path, error);
    return !error;
}

bool WriteDesktopEntry(const fs::path& entry, const fs::path& folder) {
    std::error_code error;
    fs::create_directories(entry.parent_path(), error);
    std::ofstream out(entry, std::ios::trunc);
    out << "[Desktop Entry]\nType=Application\nName=Quorvane\nComment=Desktop image editor\n"
        << "Exec=\"" << (folder / "Lumivex.exe").string() << "\"\nPath=" << folder.string()
        << "\nTerminal=false\nCategories=Graphics;2DGraphics;RasterGraphics;\n";
    return static_cast<bool>(out.flush());
}

int Install(const Options& options) {
    // Text from here on is UTF-8; the switch applies from the next chunk the installer reads.
    Say("Encode=UTF8");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Say("Progress=0.05");
    if (!Utils::CreateDirectoryPath(Utils::WideFromPath(options.folder))) {
        Say("Error=无法创建安装目录 " + options.folder.string());
        return 1;
    }
    const auto files = PayloadFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PayloadFile& file = files[i];
        if (!WriteFile(options.folder / file.name, file.bytes.data(), file.bytes.size(), file.executable)) {
            Say("Error=无法写入文件 " + (options.folder / file.name).string());
            return 1;
        }
        Say("Progress=" + std::to_string(0.1 + 0.7 * static_cast<double>(i + 1) / static_cast<double>(files.size())));
    }
    if (!options.language.empty())
        Utils::IniWriteString(L"Install", L"Language", Utils::Utf8ToWideLenient(options.language), options.folder / "config.ini");
    if (options.desktopEntry) WriteDesktopEntry(DesktopEntryPath(), options.folder);
    if (options.menuEntry) WriteDesktopEntry(MenuEntryPath(), options.folder);
    Say("Progress=0.95");
    Say("InstallVersion=2.0.0");
    Say("InstPath=" + options.folder.string());
    Say("ExePath=" + (options.folder / "Lumivex.exe").string());
    Say("UninstEp=" + (options.folder / "uninst.ep").string());
    Say("StartupStyle=AutoStartup");
    Say("Progress=1");
    Say("State=Success");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto scripted = RunScriptIfConfigured(argc, argv)) return *scripted;
    return Install(ParseOptions(argc, argv));
}
