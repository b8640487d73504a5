#include "launcher/config/LauncherIni.h"

#include <filesystem>

#include "launcher/RunLog.h"
#include "launcher/config/ConfigFile.h"
#include "launcher/config/ScrambledFile.h"
#include "launcher/config/SettingStore.h"
#include "launcher/config/SetupStore.h"
#include "launcher/config/VersionStore.h"
#include "platform/InstallFolder.h"
#include "platform/ProfileFile.h"
#include "platform/Utf8.h"

namespace {

// Every profile value is read into this many characters, NUL included.
constexpr std::size_t kProfileBuffer = 255;

struct ProfileCopy {
    const wchar_t* key;
    const wchar_t* defaultValue;
};

struct ProfileField {
    const wchar_t* key;
    std::wstring LauncherConfig::*field;
};

std::filesystem::path NativePath(const std::wstring& path) {
    return std::filesystem::path(platform::ToUtf8(path));
}

bool FileExists(const std::wstring& path) {
    std::error_code ec;
    return std::filesystem::exists(NativePath(path), ec);
}

void DeleteIfPresent(const std::wstring& path) {
    std::error_code ec;
    std::filesystem::remove(NativePath(path), ec);
}

// First-run seeding of a settings file from [Setup] of qx.ini.
void SeedFromQxIni(const std::wstring& appDir, const std::wstring& fileName, const wchar_t* section,
                   std::initializer_list<ProfileCopy> keys) {
    const std::wstring target = appDir + fileName;
    if (FileExists(target)) return;
    ConfigFile::CreateEmptyIfMissing(target);
    const std::wstring qx = appDir + L"qx.ini";
    for (const auto& copy : keys) {
        const std::wstring value =
            platform::GetPrivateProfileString(L"Setup", copy.key, copy.defaultValue, kProfileBuffer, qx);
        platform::WritePrivateProfileStringW(section, copy.key, value.c_str(), target);
    }
}

// Reads `fields` of `section`, each with the field's current value as default.
void ReadFields(LauncherConfig& config, const std::wstring& file, const wchar_t* section,
                std::initializer_list<ProfileField> fields) {
    for (const auto& f : fields) {
        config.*f.field = platform::GetPrivateProfileString(section, f.key, config.*f.field, kProfileBuffer, file);
    }
}

// The file to read for `name`: its plain copy when it is scrambled and the
// copy could be made, else the file itself (a scrambled file then simply
// yields no keys).
std::wstring ReadableForm(const std::wstring& appDir, const std::wstring& name) {
    const std::wstring path = appDir + name;
    const std::wstring tmpName = name + L".tmp";
    if (IsScrambledIni(path) && UnscrambleFile(tmpName, name, configKey) && FileExists(appDir + tmpName)) {
        return appDir + tmpName;
    }
    return path;
}

}  // namespace

bool IsScrambledIni(const std::wstring& path) {
    wchar_t names[kProfileBuffer] = {};
    platform::GetPrivateProfileSectionNamesW(names, kProfileBuffer, path);
    return names[0] == L'\0';
}

bool LoadSetupIni(LauncherConfig& config) {
    config.appDir = platform::GetInstallFolder();
    return SetupStore::Instance().Load(config.appDir + L"qx.ini");
}

bool PrepareResolutionIni(const LauncherConfig& config) {
    SeedFromQxIni(config.appDir, L"resolution.ini", L"Setting",
                  {{L"Resolution", L"1024*768"}, {L"FullScreen", L"0"}, {L"Voice", L"82"}, {L"BackGroundMusic", L""}});
    return SettingStore::Instance().Load(config.appDir + L"resolution.ini");
}

bool PrepareVersionIni(const LauncherConfig& config) {
    SeedFromQxIni(config.appDir, L"version.ini", L"Version", {{L"Version", L"0.0"}, {L"LVersion", L"0.0"}});
    return VersionStore::Instance().Load(config.appDir + L"version.ini");
}

void SetDefaultUrls(LauncherConfig& config) {
    const SetupStore& setup = SetupStore::Instance();
    config.serverListUrl1 = setup.serverListUrl;
    config.serverListUrl2 = setup.serverListUrl2;
    config.updateVersionUrl1 = setup.newUpdateVersionUrl1;
    config.updateVersionUrl2 = setup.newUpdateVersionUrl2;

    config.websiteUrl = LAUNCHER_MAIN_SITE L"/";
    config.rechargeUrl = LAUNCHER_PAY_SITE L"/index.php?game_id=7";
    config.registerUrl = LAUNCHER_ACCOUNT_SITE L"/reg.php";
    config.bbsUrl = LAUNCHER_FORUM_SITE L"/";
    config.topUrl = LAUNCHER_WEBPANEL_HOST L"/get_web/new_top.html";
    config.leftUrl = LAUNCHER_WEBPANEL_HOST L"/get_web/new_left.html";
    config.rightUrl = LAUNCHER_WEBPANEL_HOST L"/get_web/new_right.html";
    config.top600Url = LAUNCHER_WEBPANEL_HOST L"/get_web/new_top_s.html";
    config.left600Url = LAUNCHER_WEBPANEL_HOST L"/get_web/new_left_s.html";
    config.right600Url = LAUNCHER_WEBPANEL_HOST L"/get_web/new_right_s.html";
}

void LoadDoIni(LauncherConfig& config) {
    const std::wstring tmp = config.appDir + L"Do.ini.tmp";
    DeleteIfPresent(tmp);  // left behind by an earlier run
    const std::wstring file = ReadableForm(config.appDir, L"Do.ini");
    if (FileExists(file)) {
        ReadFields(config, file, L"Addr",
                   {{L"ServerListUrl1", &LauncherConfig::serverListUrl1},
                    {L"ServerListUrl2", &LauncherConfig::serverListUrl2},
                    {L"UpdateVersionUrl1", &LauncherConfig::updateVersionUrl1},
                    {L"UpdateVersionUrl2", &LauncherConfig::updateVersionUrl2}});
    }
    DeleteIfPresent(tmp);
}

void LoadWebIni(LauncherConfig& config) {
    if (!FileExists(config.appDir + L"web.ini")) return;
    const std::wstring tmp = config.appDir + L"web.ini.tmp";
    DeleteIfPresent(tmp);
    const std::wstring file = ReadableForm(config.appDir, L"web.ini");
    if (FileExists(file)) {
        ReadFields(config, file, L"Web",
                   {{L"WebsiteUrl", &LauncherConfig::websiteUrl},
                    {L"RechargeUrl", &LauncherConfig::rechargeUrl},
                    {L"RegisterUrl", &LauncherConfig::registerUrl},
                    {L"BBSUrl", &LauncherConfig::bbsUrl},
                    {L"TopUrl", &LauncherConfig::topUrl},
                    {L"Top600Url", &LauncherConfig::top600Url},
                    {L"RightUrl", &LauncherConfig::rightUrl},
                    {L"Right600Url", &LauncherConfig::right600Url},
                    {L"LeftUrl", &LauncherConfig::leftUrl},
                    {L"Left600Url", &LauncherConfig::left600Url}});
    }
    DeleteIfPresent(tmp);
}

void RunConfigurationSteps(LauncherConfig& config) {
    if (!LoadSetupIni(config)) RUNLOG_ERROR(L"load qx.ini error");
    PrepareResolutionIni(config);
    PrepareVersionIni(config);
    SetDefaultUrls(config);
    LoadDoIni(config);
    LoadWebIni(config);
}
