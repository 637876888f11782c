#include "utils/ini.h"

#include "ini_document.h"
#include "utils/paths.h"
#include "utils/text.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace Utils {
namespace fs = std::filesystem;
namespace {

// Serialises read-modify-write cycles of profile files within the process.
std::mutex g_writeMutex;

bool ReadBytes(const fs::path& file, std::string& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    bytes = content.str();
    return !in.bad();
}

bool IsStorableName(std::wstring_view name, std::wstring_view forbidden) {
    if (name.empty() || name.front() == L' ' || name.back() == L' ') return false;
    for (wchar_t c : name)
        if (c < 0x20 || c == 0x7F || forbidden.find(c) != std::wstring_view::npos) return false;
    return true;
}

}  // namespace

fs::path ResolveProfilePath(const fs::path& file) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(file, error)) || !file.has_filename()) return file;
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const std::wstring wanted = WideFromPath(file.filename());
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (EqualsIgnoreCase(WideFromPath(it->path().filename()), wanted)) return it->path();
    }
    return file;
}

std::wstring IniReadString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback,
                           const fs::path& file, std::size_t capacity) {
    if (capacity == 0) return {};
    std::wstring value(fallback);
    std::string bytes;
    if (ReadBytes(ResolveProfilePath(file), bytes)) {
        if (auto raw = detail::IniDocument::Parse(std::move(bytes)).Find(section, key))
            value = detail::DecodeIniValue(*raw);
    }
    if (value.size() > capacity - 1) value.resize(capacity - 1);
    return value;
}

std::int32_t IniReadInt(std::wstring_view section, std::wstring_view key, std::int32_t fallback, const fs::path& file) {
    const std::wstring text = IniReadString(section, key, L"", file);
    if (text.empty()) return fallback;
    std::int32_t value = 0;
    return ParseInt32(text, value) ? value : 0;
}

bool IniWriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value, const fs::path& file) {
    if (!IsStorableName(section, L"]") || !IsStorableName(key, L"=") || key.front() == L'[' || key.front() == L';')
        return false;
    std::lock_guard lock(g_writeMutex);
    const fs::path target = ResolveProfilePath(file);
    std::string bytes;
    ReadBytes(target, bytes);
    detail::IniDocument document = detail::IniDocument::Parse(std::move(bytes));
    document.Set(section, key, detail::EncodeIniValue(value));
    return WriteFileAtomically(target, document.Serialize());
}

bool WriteFileAtomically(const fs::path& file, std::string_view content, unsigned mode, bool forceMode) {
    struct stat existing {};
    if (!forceMode && ::stat(file.c_str(), &existing) == 0) mode = existing.st_mode & 07777;
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, mode) == 0;
    for (std::size_t done = 0; ok && done < content.size();) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written < 0 && errno == EINTR) continue;
        ok = written > 0;
        if (ok) done += static_cast<std::size_t>(written);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), file.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

}  // namespace Utils
