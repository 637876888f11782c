#include "utils/system.h"

#include "utils/text.h"

#include <fstream>
#include <string>
#include <sys/utsname.h>

namespace Utils {
namespace {

// The unquoted value of VERSION_ID in an os-release file, or "".
std::string OsReleaseVersionId(const char* path) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("VERSION_ID=", 0) != 0) continue;
        std::string value = line.substr(11);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

}  // namespace

void GetOsVersionName(std::wstring& family, std::wstring& name) {
    family = L"Linux";
    std::string version = OsReleaseVersionId("/etc/os-release");
    if (version.empty()) version = OsReleaseVersionId("/usr/lib/os-release");
    if (version.empty()) {
        struct utsname system {};
        if (::uname(&system) == 0) version = system.release;
    }
    name = Utf8ToWideLenient(version);
}

}  // namespace Utils
