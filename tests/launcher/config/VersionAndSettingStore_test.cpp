#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "launcher/config/SettingStore.h"
#include "launcher/config/SetupStore.h"
#include "launcher/config/VersionStore.h"
#include "platform/MessageBox.h"
#include "support/TempDir.h"

namespace {

class StoreTest : public testing::Test {
protected:
    void SetUp() override {
        VersionStore::ResetForTesting();
        SettingStore::ResetForTesting();
        SetupStore::ResetForTesting();
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

// Each store's save replaces its file atomically, yet the player's or the
// operator's arrangements survive: a group-writable file stays so, and a
// link to a file shared elsewhere stays a link while the shared file gets
// the new value.
TEST_F(StoreTest, SavesKeepTheFilesModeAndWriteThroughLinks) {
    struct Store {
        const char* file;
        const char* content;
        std::function<bool(const std::wstring&)> loadChangeSave;
        const char* written;
    };
    const Store stores[] = {
        {"qx.ini", "[Setup]\nServerAddr=old\n",
         [](const std::wstring& path) {
             auto& store = SetupStore::Instance();
             if (!store.Load(path)) return false;
             store.serverAddr = L"10.1.2.3";
             return store.Save();
         },
         "ServerAddr=10.1.2.3"},
        {"version.ini", "[Version]\nVersion=1.0\nLVersion=1.0\n",
         [](const std::wstring& path) {
             auto& store = VersionStore::Instance();
             return store.Load(path) && store.SaveKey(L"Version", L"1.1");
         },
         "Version=1.1"},
        {"resolution.ini", "[Setting]\nVoice=1\n",
         [](const std::wstring& path) {
             auto& store = SettingStore::Instance();
             if (!store.Load(path)) return false;
             store.resolution = L"800*600";
             return store.Save();
         },
         "Resolution=800*600"},
    };
    const struct {
        const char* what;
        bool throughLink;
        mode_t mode;
    } ways[] = {
        {"group-writable file", false, 0664},
        {"private file", false, 0600},
        {"link to a shared file", true, 0664},
    };
    for (const Store& store : stores) {
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(store.file) + ", " + way.what);
            SetUp();
            const std::filesystem::path shared = dir / "shared" / store.file;
            const std::filesystem::path file = dir / store.file;
            std::filesystem::remove(file);
            std::filesystem::remove_all(dir / "shared");
            std::filesystem::create_directories(dir / "shared");
            const std::filesystem::path real = way.throughLink ? shared : file;
            testsupport::WriteFileBytes(real, store.content);
            ASSERT_EQ(::chmod(real.c_str(), way.mode), 0);
            if (way.throughLink) std::filesystem::create_symlink(shared, file);

            ASSERT_TRUE(store.loadChangeSave(file.wstring()));
            EXPECT_EQ(std::filesystem::is_symlink(file), way.throughLink);
            struct stat after {};
            ASSERT_EQ(::stat(real.c_str(), &after), 0);
            EXPECT_EQ(after.st_mode & 07777, way.mode);
            const std::string text = testsupport::ReadFileBytes(real);
            EXPECT_NE(text.find(store.written), std::string::npos) << text;
            std::size_t files = 0;
            for (const auto& entry : std::filesystem::directory_iterator(real.parent_path())) {
                files += entry.path().filename().string().find(".saving") == std::string::npos ? 0 : 1;
            }
            EXPECT_EQ(files, 0u) << "no temporary file left";
        }
    }
}

}  // namespace
