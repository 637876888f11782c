#include "utils/paths.h"

#include "utils/text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Utils {
namespace fs = std::filesystem;
namespace {

constexpr wchar_t kWorkFolderName[] = L"~KarVoTemp.92482B06FB471E17";

fs::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

// An XDG variable when it holds an absolute path, else the home-relative default.
fs::path XdgFolder(const char* variable, const char* homeRelative) {
    if (const char* value = std::getenv(variable); value && *value == '/') return value;
    return HomeFolder() / homeRelative;
}

bool MakePrivateFolder(const fs::path& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return IsPrivateFolder(path);
}

}  // namespace

fs::path PathFromWide(std::wstring_view path) { return fs::path(WideToUtf8(path)); }
std::wstring WideFromPath(const fs::path& path) { return Utf8ToWideLenient(path.native()); }

fs::path ExecutablePath() {
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self;
}

fs::path ExecutableFolder() { return ExecutablePath().parent_path(); }

fs::path ConfigHome() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }
fs::path DataHome() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }
fs::path StateHome() { return XdgFolder("XDG_STATE_HOME", ".local/state"); }

fs::path AppDataFolder() {
    if (const char* value = std::getenv("APPDATA"); value && *value) return value;
    return DataHome();
}

fs::path CommonDocumentsFolder() { return "/var/tmp"; }

fs::path ProgramFilesFolder() {
    if (::access("/opt", W_OK) == 0) return "/opt";
    return DataHome();
}

bool IsPrivateFolder(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 0777) == 0700;
}

fs::path UserRuntimeFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        struct stat info {};
        // The session's runtime folder: ours, and closed to group and others.
        if (::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
            (info.st_mode & 0077) == 0)
            return runtime;
    }
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = tmp && *tmp == '/' ? tmp : "/tmp";
    const fs::path folder = base / (".quorvane-" + std::to_string(::geteuid()));
    return MakePrivateFolder(folder) ? folder : fs::path();
}

std::wstring TempWorkFolder() {
    const fs::path runtime = UserRuntimeFolder();
    if (runtime.empty()) return {};
    const fs::path folder = runtime / kWorkFolderName;
    if (!MakePrivateFolder(folder)) return {};
    return WideFromPath(folder) + L"/";
}

bool CreateDirectoryPath(std::wstring_view path) {
    const std::string narrow = WideToUtf8(path);
    if (narrow.empty() || narrow.size() >= PATH_MAX) return false;
    const auto ensure = [](const std::string& folder) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
        return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST;
    };
    for (std::size_t slash = narrow.find('/', 1); slash != std::string::npos; slash = narrow.find('/', slash + 1)) {
        if (narrow[slash - 1] == '/') continue;  // "//" names no new folder
        if (!ensure(narrow.substr(0, slash))) return false;
    }
    return narrow.back() == '/' || ensure(narrow);
}

}  // namespace Utils
