#include "testing/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace testing_support {
namespace fs = std::filesystem;

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/qvtest-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
        pattern = "/tmp/qvtest-failed";
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Folders a test made read-only would stop remove_all: make them writable first.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

UserSandbox::UserSandbox() {
    for (const char* leaf : {"home", "config", "data", "state", "runtime", "tmp", "cache"}) {
        fs::create_directories(root() / leaf);
    }
    fs::permissions(runtimeDir(), fs::perms::owner_all, fs::perm_options::replace);
    setEnv("HOME", home().string());
    setEnv("XDG_CONFIG_HOME", configHome().string());
    setEnv("XDG_DATA_HOME", dataHome().string());
    setEnv("XDG_STATE_HOME", stateHome().string());
    setEnv("XDG_CACHE_HOME", (root() / "cache").string());
    setEnv("XDG_RUNTIME_DIR", runtimeDir().string());
    setEnv("TMPDIR", tmpDir().string());
    setEnv("APPDATA", std::nullopt);
}

UserSandbox::~UserSandbox() {
    for (const auto& [name, value] : saved_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

void UserSandbox::setEnv(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.count(name)) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

fs::path WriteFile(const fs::path& path, const std::string& content) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return path;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace testing_support
