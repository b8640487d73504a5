#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "launcher/config/SettingStore.h"
#include "launcher/config/VersionStore.h"
#include "platform/MessageBox.h"
#include "support/TempDir.h"

namespace {

class StoreTest : public testing::Test {
protected:
    void SetUp() override {
        VersionStore::ResetForTesting();
        SettingStore::ResetForTesting();
    }
    void TearDown() override { SetUp(); }

    std::wstring PathOf(const char* name) const { return (dir / name).wstring(); }

    testsupport::TempDir dir;
    platform::MessageBoxCapture boxes;
};

TEST_F(StoreTest, VersionLoadCases) {
    struct Case {
        const char* content;  // nullptr: no file
        bool loads;
        std::wstring version;
        std::wstring lVersion;
        bool box;
    };
    const Case cases[] = {
        {"[Version]\nVersion=1.2\nLVersion=3.4\n", true, L"1.2", L"3.4", false},
        {"[Version]\nVersion=1.2\n", true, L"1.2", L"", false},
        {"[Version]\nLVersion=3.4\n", false, L"", L"", false},
        {nullptr, false, L"", L"", true},
    };
    for (const auto& c : cases) {
        VersionStore::ResetForTesting();
        auto& store = VersionStore::Instance();
        store.lVersion = L"stale";
        std::filesystem::remove(dir / "version.ini");
        if (c.content) testsupport::WriteFileBytes(dir / "version.ini", c.content);
        const auto before = boxes.Boxes().size();
        EXPECT_EQ(store.Load(PathOf("version.ini")), c.loads) << c.content;
        EXPECT_EQ(store.version, c.version);
        if (c.loads) {
            EXPECT_EQ(store.lVersion, c.lVersion);
        }
        ASSERT_EQ(boxes.Boxes().size() - before, c.box ? 1u : 0u);
        if (c.box) {
            const auto box = boxes.Boxes().back();
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_EQ(box.text, L"游戏无法启动，缺少 Version.ini 文件或重新安装游戏！");
            EXPECT_EQ(box.caption, L"错误");
            EXPECT_EQ(box.type, MB_OK);
        }
    }
}

TEST_F(StoreTest, VersionSaveWritesBothKeysButNeverCreatesTheFile) {
    auto& store = VersionStore::Instance();
    store.path = PathOf("version.ini");
    store.version = L"2.0";
    EXPECT_FALSE(store.Save());
    EXPECT_FALSE(std::filesystem::exists(dir / "version.ini"));

    testsupport::WriteFileBytes(dir / "version.ini", "[Version]\nVersion=1.0\n[Extra]\nA=b\n");
    store.lVersion = L"5";
    ASSERT_TRUE(store.Save());
    VersionStore::ResetForTesting();
    ASSERT_TRUE(VersionStore::Instance().Load(PathOf("version.ini")));
    EXPECT_EQ(VersionStore::Instance().version, L"2.0");
    EXPECT_EQ(VersionStore::Instance().lVersion, L"5");
    EXPECT_NE(testsupport::ReadFileBytes(dir / "version.ini").find("[Extra]\nA=b"), std::string::npos);
}

TEST_F(StoreTest, SettingFlagsReadAsIntegers) {
    struct Case {
        const char* voiceLine;
        bool voice;  // the store starts with Voice on
    };
    const Case cases[] = {
        {"Voice=82\n", true}, {"Voice=0\n", false}, {"Voice=-1\n", true},
        {"Voice=abc\n", true}, {"", true},
    };
    for (const auto& c : cases) {
        SettingStore::ResetForTesting();
        testsupport::WriteFileBytes(dir / "resolution.ini",
                                    std::string("[Setting]\nResolution=800*600\nFullScreen=1\n") + c.voiceLine);
        auto& store = SettingStore::Instance();
        ASSERT_TRUE(store.Load(PathOf("resolution.ini"))) << c.voiceLine;
        EXPECT_EQ(store.voice, c.voice) << c.voiceLine;
        EXPECT_TRUE(store.fullScreen);
        EXPECT_EQ(store.resolution, L"800*600");
    }
}

TEST_F(StoreTest, VoiceEightyTwoIsSavedAsOne) {
    testsupport::WriteFileBytes(dir / "resolution.ini",
                                "[Setting]\nResolution=1024*768\nFullScreen=0\nVoice=82\nBackGroundMusic=\n");
    auto& store = SettingStore::Instance();
    ASSERT_TRUE(store.Load(PathOf("resolution.ini")));
    ASSERT_TRUE(store.Save());
    const std::string file = testsupport::ReadFileBytes(dir / "resolution.ini");
    EXPECT_NE(file.find("Voice=1\n"), std::string::npos) << file;
    EXPECT_NE(file.find("FullScreen=0\n"), std::string::npos) << file;
    EXPECT_NE(file.find("BackGroundMusic=\n"), std::string::npos) << file;
}

TEST_F(StoreTest, MissingResolutionIniShowsItsBox) {
    EXPECT_FALSE(SettingStore::Instance().Load(PathOf("resolution.ini")));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"游戏无法启动，缺少 Resolution.ini 文件或重新安装游戏！");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"错误");
    SettingStore::Instance().path = PathOf("resolution.ini");
    EXPECT_FALSE(SettingStore::Instance().Save());
    EXPECT_FALSE(std::filesystem::exists(dir / "resolution.ini"));
}

}  // namespace
