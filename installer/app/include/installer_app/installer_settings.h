// The installer's process-wide settings: built-in defaults, then
// KarvoInstallerConfig.ini beside the executable (section "Install"), then the
// command line. Written on the main thread before the window exists; read-only
// afterwards.
#pragma once

#include "utils/command_line.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

class InstallerSettings {
public:
    // The process-wide record, built (and the configuration file read) during
    // static initialisation of the program.
    static InstallerSettings& Instance();

    // Defaults, then the configuration file beside `executablePath`.
    explicit InstallerSettings(std::filesystem::path executablePath);

    // Sets ExeName and reads the configuration file when it exists; AppId and
    // AppVersion are fixed whatever the file says.
    void LoadConfigFile();
    // Applies the options of the command line; the first occurrence of an option wins.
    void ParseCommandLine(const Utils::CommandLineArgs& args);
    // DownloadUrl = ResolveRoute(text).
    void SetDownloadUrl(std::wstring_view text);
    std::wstring GetAbGroup() const { return AbGroup; }

    std::wstring AppId;
    std::wstring AppVersion;
    std::wstring ExeName;
    std::wstring DlAppNameSuffix;
    std::wstring DlAppVersion;
    std::wstring InstCmd;
    std::wstring DownloadUrl;
    std::int32_t DownloadType;  // 2 system downloader, 3 two-part downloader, else single stream
    bool IsCheckNet;
    bool IsEnableAppTracking;
    double DownloadScale;  // share of the progress bar filled by the download; may be NaN
    bool IsCurlReady;
    std::int32_t LanguageIndex;  // -1 chooses the interface language automatically
    bool IsInsNew;
    // Analytics collection address ("AnalyticsUrl" key, "-analyticsurl" option);
    // empty means the tracker's default address.
    std::wstring AnalyticsUrl;

private:
    std::wstring AbGroup;
    std::filesystem::path executablePath_;
};

// The configuration file's name, beside the executable.
inline constexpr wchar_t kInstallerConfigFileName[] = L"KarvoInstallerConfig.ini";
// The package distribution server's address used when nothing else is configured.
inline constexpr wchar_t kDefaultDownloadUrl[] = L"http://download.lumivex.example/software/454";

// Replaces every "${ROUTE}" (exact case) by the route for this system:
// "download_silent_xp" when the system name contains "XP", else "download_silent".
std::wstring ResolveRoute(std::wstring_view text);
// The same for a given system name.
std::wstring ResolveRoute(std::wstring_view text, std::wstring_view osName);
