#include "launcher/config/LauncherIni.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "launcher/RunLog.h"
#include "launcher/config/ScrambledFile.h"
#include "launcher/config/SettingStore.h"
#include "launcher/config/SetupStore.h"
#include "launcher/config/VersionStore.h"
#include "platform/InstallFolder.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "support/TempDir.h"

namespace {

const std::string kQxIni =
    "[Setup]\nServerListUrl=http://qx/list1.xml\nServerListUrl2=http://qx/list2.xml\n"
    "UpdateVersionUrl=http://qx/up/version.xml\nUpdateVersionUrl2=http://qx2/up/version.xml\n";

class LauncherIniTest : public testing::Test {
protected:
    void SetUp() override {
        platform::SetInstallFolder(dir.Folder());
        ResetStores();
    }
    void TearDown() override {
        ResetStores();
        platform::SetInstallFolder(L"");
    }
    static void ResetStores() {
        SetupStore::ResetForTesting();
        VersionStore::ResetForTesting();
        SettingStore::ResetForTesting();
    }

    void Write(const std::string& name, const std::string& bytes) const { testsupport::WriteFileBytes(dir / name, bytes); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(dir / name); }
    std::wstring Profile(const std::string& file, const wchar_t* section, const wchar_t* key) const {
        return platform::GetPrivateProfileString(section, key, L"<missing>", 1024, (dir / file).wstring());
    }

    // The steps up to the address files, as at start-up.
    LauncherConfig Prepared() {
        LauncherConfig config;
        LoadSetupIni(config);
        SetDefaultUrls(config);
        return config;
    }

    testsupport::TempDir dir;
    platform::MessageBoxCapture boxes;
};

TEST_F(LauncherIniTest, DoIniOverridesServerAddresses) {
    struct Case {
        const char* name;
        std::string doIni;  // empty: no Do.ini
        bool scrambled;
        std::wstring list1, list2, version1, version2;
    };
    const Case cases[] = {
        {"no Do.ini keeps qx.ini", "", false, L"http://qx/list1.xml", L"http://qx/list2.xml",
         L"http://qx/up/version_newStyle.xml", L"http://qx2/up/version_newStyle.xml"},
        {"plain Do.ini", "[Addr]\nServerListUrl1=http://do/1\nServerListUrl2=http://do/2\nUpdateVersionUrl1=http://do/3\n"
                         "UpdateVersionUrl2=http://do/4\n",
         false, L"http://do/1", L"http://do/2", L"http://do/3", L"http://do/4"},
        {"scrambled Do.ini", "[Addr]\nServerListUrl2=http://do/2\n", true, L"http://qx/list1.xml", L"http://do/2",
         L"http://qx/up/version_newStyle.xml", L"http://qx2/up/version_newStyle.xml"},
        {"present but empty keys empty the field", "[Addr]\nServerListUrl1=\nUpdateVersionUrl2=\n", false, L"",
         L"http://qx/list2.xml", L"http://qx/up/version_newStyle.xml", L""},
    };
    for (const auto& c : cases) {
        ResetStores();
        std::filesystem::remove(dir / "Do.ini");
        Write("qx.ini", kQxIni);
        if (!c.doIni.empty()) Write("Do.ini", c.scrambled ? ScrambleBytes(c.doIni, configKey) : c.doIni);
        LauncherConfig config = Prepared();
        LoadDoIni(config);
        EXPECT_EQ(config.serverListUrl1, c.list1) << c.name;
        EXPECT_EQ(config.serverListUrl2, c.list2) << c.name;
        EXPECT_EQ(config.updateVersionUrl1, c.version1) << c.name;
        EXPECT_EQ(config.updateVersionUrl2, c.version2) << c.name;
        EXPECT_FALSE(Exists("Do.ini.tmp")) << c.name;
    }
}

TEST_F(LauncherIniTest, CopyLeftByCrashedRunIsNeverRead) {
    Write("qx.ini", kQxIni);
    Write("Do.ini.tmp", "[Addr]\nServerListUrl1=http://stale/\n");
    LauncherConfig config = Prepared();
    LoadDoIni(config);  // no Do.ini: counts as scrambled, unscrambling fails
    EXPECT_EQ(config.serverListUrl1, L"http://qx/list1.xml");
    EXPECT_FALSE(Exists("Do.ini.tmp"));
}

TEST_F(LauncherIniTest, WebIniOverridesPagesAndLongValuesAreCut) {
    const std::string longUrl = "http://web/" + std::string(289, 'x');  // 300 characters
    const std::string webIni = "[Web]\nWebsiteUrl=" + longUrl + "\nRechargeUrl=http://r/\nRegisterUrl=http://g/\n"
                               "BBSUrl=http://b/\nTopUrl=http://t/\nTop600Url=http://t6/\nRightUrl=http://ri/\n"
                               "Right600Url=http://ri6/\nLeftUrl=http://l/\nLeft600Url=\n";
    for (bool scrambled : {false, true}) {
        Write("web.ini", scrambled ? ScrambleBytes(webIni, configKey) : webIni);
        LauncherConfig config = Prepared();
        LoadWebIni(config);
        EXPECT_EQ(config.websiteUrl, std::wstring(longUrl.begin(), longUrl.begin() + 254));
        EXPECT_EQ(config.rechargeUrl, L"http://r/");
        EXPECT_EQ(config.registerUrl, L"http://g/");
        EXPECT_EQ(config.bbsUrl, L"http://b/");
        EXPECT_EQ(config.topUrl, L"http://t/");
        EXPECT_EQ(config.top600Url, L"http://t6/");
        EXPECT_EQ(config.rightUrl, L"http://ri/");
        EXPECT_EQ(config.right600Url, L"http://ri6/");
        EXPECT_EQ(config.leftUrl, L"http://l/");
        EXPECT_EQ(config.left600Url, L"");
        EXPECT_FALSE(Exists("web.ini.tmp")) << scrambled;
    }
}

TEST_F(LauncherIniTest, FirstRunSeedsSettingsFilesFromQxIniOnce) {
    Write("qx.ini", "[Setup]\nResolution=800*600\nFullScreen=1\nVersion=3.1\n");
    LauncherConfig config;
    ASSERT_TRUE(LoadSetupIni(config));
    EXPECT_EQ(config.appDir, dir.Folder());
    EXPECT_TRUE(PrepareResolutionIni(config));
    EXPECT_TRUE(PrepareVersionIni(config));

    const std::pair<std::wstring, std::wstring> seeded[] = {
        {Profile("resolution.ini", L"Setting", L"Resolution"), L"800*600"},
        {Profile("resolution.ini", L"Setting", L"FullScreen"), L"1"},
        {Profile("resolution.ini", L"Setting", L"Voice"), L"82"},
        {Profile("resolution.ini", L"Setting", L"BackGroundMusic"), L""},
        {Profile("version.ini", L"Version", L"Version"), L"3.1"},
        {Profile("version.ini", L"Version", L"LVersion"), L"0.0"},
    };
    for (const auto& [actual, want] : seeded) EXPECT_EQ(actual, want);
    EXPECT_EQ(SettingStore::Instance().resolution, L"800*600");
    EXPECT_TRUE(SettingStore::Instance().voice);
    EXPECT_EQ(VersionStore::Instance().version, L"3.1");

    // Later runs never copy again, even when qx.ini changes.
    Write("qx.ini", "[Setup]\nResolution=1280*1024\nVersion=9.9\n");
    ResetStores();
    PrepareResolutionIni(config);
    PrepareVersionIni(config);
    EXPECT_EQ(Profile("resolution.ini", L"Setting", L"Resolution"), L"800*600");
    EXPECT_EQ(VersionStore::Instance().version, L"3.1");
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LauncherIniTest, StepsWithoutQxIniLogTheFailureAndGoOn) {
    auto log = RunLog::Open((dir / "run.log").wstring());
    ASSERT_NE(log, nullptr);
    LauncherConfig config;
    RunConfigurationSteps(config);
    log.reset();

    const std::string runLog = testsupport::ReadFileBytes(dir / "run.log");
    EXPECT_NE(runLog.find(": Error: "), std::string::npos) << runLog;
    EXPECT_NE(runLog.find("LauncherIni.cpp("), std::string::npos) << runLog;
    EXPECT_NE(runLog.find("): load qx.ini error\r\n"), std::string::npos) << runLog;
    EXPECT_TRUE(config.serverListUrl1.empty());
    EXPECT_TRUE(config.updateVersionUrl1.empty());
    EXPECT_EQ(config.websiteUrl, LAUNCHER_MAIN_SITE L"/");
    EXPECT_EQ(VersionStore::Instance().version, L"0.0");
    EXPECT_EQ(SettingStore::Instance().resolution, L"1024*768");
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LauncherIniTest, ScrambledDetection) {
    struct Case {
        const char* name;
        const char* content;  // nullptr: no file
        bool scrambled;
    };
    const Case cases[] = {
        {"missing", nullptr, true},
        {"empty", "", true},
        {"plain", "; c\n[Addr]\nA=1\n", false},
        {"keys before any section", "A=1\n", true},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "x.ini");
        if (c.content) Write("x.ini", c.content);
        EXPECT_EQ(IsScrambledIni((dir / "x.ini").wstring()), c.scrambled) << c.name;
    }
    Write("x.ini", ScrambleBytes("[Addr]\nA=1\n", configKey));
    EXPECT_TRUE(IsScrambledIni((dir / "x.ini").wstring()));
}

}  // namespace
