// Test fixtures that keep every test away from the real user's files.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace testing_support {

// A fresh folder under the system temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& leaf) const { return path_ / leaf; }

private:
    std::filesystem::path path_;
};

// Points HOME, the XDG folders, TMPDIR and APPDATA at private folders for the
// lifetime of the object and restores the previous environment afterwards.
class UserSandbox {
public:
    UserSandbox();
    ~UserSandbox();
    UserSandbox(const UserSandbox&) = delete;
    UserSandbox& operator=(const UserSandbox&) = delete;

    const std::filesystem::path& root() const { return root_.path(); }
    std::filesystem::path home() const { return root() / "home"; }
    std::filesystem::path configHome() const { return root() / "config"; }
    std::filesystem::path dataHome() const { return root() / "data"; }
    std::filesystem::path stateHome() const { return root() / "state"; }
    std::filesystem::path runtimeDir() const { return root() / "runtime"; }
    std::filesystem::path tmpDir() const { return root() / "tmp"; }

    // Sets (or, with std::nullopt, unsets) one more variable, restored like the others.
    void setEnv(const std::string& name, const std::optional<std::string>& value);

private:
    TempDir root_;
    std::map<std::string, std::optional<std::string>> saved_;
};

// Writes `content` to `path` (creating parent folders) and returns the path.
std::filesystem::path WriteFile(const std::filesystem::path& path, const std::string& content);
// The whole content of a file, or "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace testing_support
