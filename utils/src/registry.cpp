#include "utils/registry.h"

#include "ini_document.h"
#include "utils/ini.h"
#include "utils/paths.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace Utils {
namespace fs = std::filesystem;
namespace {

constexpr wchar_t kKey[] = L"HKEY_CURRENT_USER\\Software\\KarVoSoft\\Lumivex";

// Holds an exclusive lock on the store's lock file for the life of the object.
class StoreLock {
public:
    explicit StoreLock(const fs::path& lockFile)
        : fd_(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~StoreLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

// The store's lines; empty when the file is missing, unreadable or not a store we wrote.
detail::IniDocument LoadStore(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    if (in) content << in.rdbuf();
    detail::IniDocument document = detail::IniDocument::Parse(in ? content.str() : std::string());
    return document.IsWellFormed() ? document : detail::IniDocument::Parse({});
}

bool IsStorableName(std::wstring_view name) {
    if (name.empty()) return false;
    for (wchar_t c : name)
        if (c < 0x20 || c == 0x7F || c == L'=' || c == L'[' || c == L';') return false;
    return name.front() != L' ' && name.back() != L' ';
}

}  // namespace

fs::path RegistryFilePath() { return ConfigHome() / "KarVoSoft" / "Lumivex" / "registry.ini"; }

bool RegWriteString(std::wstring_view name, std::wstring_view value) {
    if (!IsStorableName(name)) return false;
    const fs::path file = RegistryFilePath();
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    StoreLock lock(fs::path(file).concat(".lock"));
    if (!lock.held()) return false;
    detail::IniDocument store = LoadStore(file);
    store.Set(kKey, name, detail::EncodeIniValue(value));
    return WriteFileAtomically(file, store.Serialize(), 0600, true);
}

bool RegReadString(std::wstring_view name, std::uint32_t& type, std::wstring& value) {
    if (!IsStorableName(name)) return false;
    const auto raw = LoadStore(RegistryFilePath()).Find(kKey, name);
    if (!raw) return false;
    value = detail::DecodeIniValue(*raw);
    if (const auto nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
    type = kRegistryStringType;
    return true;
}

}  // namespace Utils
