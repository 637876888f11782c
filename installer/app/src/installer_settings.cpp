#include "installer_app/installer_settings.h"

#include "utils/ini.h"
#include "utils/paths.h"
#include "utils/system.h"
#include "utils/text.h"

#include <cmath>
#include <limits>

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kSection[] = L"Install";
constexpr std::size_t kValueCapacity = 260;
constexpr wchar_t kRoutePlaceholder[] = L"${ROUTE}";

// The process-wide record is built before main() runs, as the configuration
// file must be read before anything else looks at the settings.
[[maybe_unused]] InstallerSettings& g_settingsAtStart = InstallerSettings::Instance();

}  // namespace

InstallerSettings& InstallerSettings::Instance() {
    static InstallerSettings settings(Utils::ExecutablePath());
    return settings;
}

InstallerSettings::InstallerSettings(fs::path executablePath)
    : AppId(L"Lumivex"),
      AppVersion(L"1.7.9"),
      ExeName(),
      DlAppNameSuffix(L".downloader"),
      DlAppVersion(),
      InstCmd(),
      DownloadUrl(),
      DownloadType(1),
      IsCheckNet(false),
      IsEnableAppTracking(true),
      DownloadScale(0.7),
      IsCurlReady(true),
      LanguageIndex(-1),
      IsInsNew(false),
      AnalyticsUrl(),
      AbGroup(L"IN"),
      executablePath_(std::move(executablePath)) {
    SetDownloadUrl(kDefaultDownloadUrl);
    LoadConfigFile();
}

void InstallerSettings::LoadConfigFile() {
    ExeName = Utils::WideFromPath(executablePath_.filename());
    const fs::path file = Utils::ResolveProfilePath(executablePath_.parent_path() / kInstallerConfigFileName);
    std::error_code error;
    if (fs::is_regular_file(file, error)) {
        const auto text = [&](const wchar_t* key, const wchar_t* fallback) {
            return Utils::IniReadString(kSection, key, fallback, file, kValueCapacity);
        };
        SetDownloadUrl(text(L"DownloadUrl", kDefaultDownloadUrl));
        DownloadType = Utils::IniReadInt(kSection, L"DownloadType", 1, file);
        IsCheckNet = text(L"IsCheckNet", L"true") == L"true";
        IsEnableAppTracking = text(L"IsEnableAppTracking", L"true") == L"true";
        DlAppNameSuffix = text(L"DlAppNameSuffix", L".downloader");
        DlAppVersion = text(L"m_DlAppVersion", L"");
        // Text that does not start with a number, or a number beyond the double range, reads as 0.0.
        if (!Utils::ParseDouble(text(L"DownloadScale", L"0.7"), DownloadScale)) DownloadScale = 0.0;
        InstCmd = text(L"InstCmd", L"");
        AnalyticsUrl = text(L"AnalyticsUrl", L"");
    }
    AppId = L"Lumivex";
    AppVersion = L"1.7.9";
}

void InstallerSettings::ParseCommandLine(const Utils::CommandLineArgs& args) {
    if (args.Has(L"-downloadurl")) SetDownloadUrl(args.GetString(L"-downloadurl"));
    if (args.Has(L"-downloadtype")) DownloadType = args.GetInt(L"-downloadtype");
    if (args.Has(L"-downloadscale"))
        DownloadScale = args.GetDouble(L"-downloadscale", std::numeric_limits<double>::quiet_NaN());
    if (args.Has(L"-ischecknet")) IsCheckNet = args.GetBool(L"-ischecknet");
    if (args.Has(L"-isenableapptracking")) IsEnableAppTracking = args.GetBool(L"-isenableapptracking");
    if (args.Has(L"-dlappnamesuffix")) DlAppNameSuffix = args.GetString(L"-dlappnamesuffix");
    if (args.Has(L"-dlappversion")) DlAppVersion = args.GetString(L"-dlappversion");
    if (args.Has(L"-instcmd")) InstCmd = args.GetString(L"-instcmd");
    if (args.Has(L"-language")) LanguageIndex = args.GetInt(L"-language");
    if (args.Has(L"-insnew")) IsInsNew = args.GetBool(L"-insnew");
    if (args.Has(L"-analyticsurl")) AnalyticsUrl = args.GetString(L"-analyticsurl");
}

void InstallerSettings::SetDownloadUrl(std::wstring_view text) { DownloadUrl = ResolveRoute(text); }

std::wstring ResolveRoute(std::wstring_view text, std::wstring_view osName) {
    if (text.find(kRoutePlaceholder) == std::wstring_view::npos) return std::wstring(text);
    const wchar_t* route = osName.find(L"XP") != std::wstring_view::npos ? L"download_silent_xp" : L"download_silent";
    return Utils::ReplaceAll(std::wstring(text), kRoutePlaceholder, route);
}

std::wstring ResolveRoute(std::wstring_view text) {
    if (text.find(kRoutePlaceholder) == std::wstring_view::npos) return std::wstring(text);
    std::wstring family, name;
    Utils::GetOsVersionName(family, name);
    return ResolveRoute(text, name);
}
