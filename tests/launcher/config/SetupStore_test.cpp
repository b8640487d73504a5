#include "launcher/config/SetupStore.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <filesystem>
#include <string>

#include "platform/Utf8.h"
#include "support/TempDir.h"

namespace {

class SetupStoreTest : public testing::Test {
protected:
    void SetUp() override { SetupStore::ResetForTesting(); }
    void TearDown() override { SetupStore::ResetForTesting(); }

    std::wstring Qx() const { return (dir / "qx.ini").wstring(); }
    void WriteQx(const std::string& bytes) const { testsupport::WriteFileBytes(dir / "qx.ini", bytes); }
    std::string ReadQx() const { return testsupport::ReadFileBytes(dir / "qx.ini"); }

    testsupport::TempDir dir;
};

TEST_F(SetupStoreTest, NewStyleAddressesAreDerivedInMemoryOnly) {
    struct Case {
        std::string updateUrl;
        std::wstring derived;
    };
    const Case cases[] = {
        {"http://up.example/up/version.xml", L"http://up.example/up/version_newStyle.xml"},
        {"http://update.example/patch", L"http://update_newStyle.xml"},  // only dot in the host
        {"nodots", L""},
    };
    for (const auto& c : cases) {
        SetupStore::ResetForTesting();
        WriteQx("; keep me\n[Setup]\nUpdateVersionUrl=" + c.updateUrl + "\nUpdateVersionUrl2=" + c.updateUrl + "\n");
        auto& store = SetupStore::Instance();
        ASSERT_TRUE(store.Load(Qx())) << c.updateUrl;
        EXPECT_EQ(store.newUpdateVersionUrl1, c.derived) << c.updateUrl;
        EXPECT_EQ(store.newUpdateVersionUrl2, c.derived) << c.updateUrl;
        const std::string file = ReadQx();
        EXPECT_EQ(file.find("NewUpdateVersionUrl"), std::string::npos) << file;
        EXPECT_NE(file.find("; keep me"), std::string::npos) << file;
    }
}

TEST_F(SetupStoreTest, StoredNewStyleAddressWins) {
    WriteQx("[Setup]\nUpdateVersionUrl=http://a/v.xml\nNewUpdateVersionUrl1=http://b/n.xml\n");
    ASSERT_TRUE(SetupStore::Instance().Load(Qx()));
    EXPECT_EQ(SetupStore::Instance().newUpdateVersionUrl1, L"http://b/n.xml");
}

TEST_F(SetupStoreTest, MissingFileOrEmptyPathFailsSilently) {
    auto& store = SetupStore::Instance();
    EXPECT_FALSE(store.Load(L""));
    EXPECT_FALSE(store.Load(Qx()));
    EXPECT_TRUE(store.serverListUrl.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "qx.ini"));
}

TEST_F(SetupStoreTest, SaveKeepsForeignContentAndGbkBytes) {
    // "; 服务器设置" in GBK: not valid UTF-8, must come back byte for byte.
    const std::string gbkComment = "; \xB7\xFE\xCE\xF1\xC6\xF7\xC9\xE8\xD6\xC3";
    WriteQx(gbkComment + "\r\n[Setup]\r\nServerListUrl=http://list/a.xml\r\nServerAddr=old\r\n"
                         "Resolution=800*600\r\n\r\n[Other]\r\n# note\r\nKey=\xD6\xD0\r\n");
    auto& store = SetupStore::Instance();
    ASSERT_TRUE(store.Load(Qx()));
    store.serverAddr = L"1.2.3.4";
    store.serverPort = L"8001";
    store.chargeUrl = L"http://pay/";
    store.serverSid = L"7";
    ASSERT_TRUE(store.Save());

    const std::string file = ReadQx();
    EXPECT_EQ(file.rfind(gbkComment + "\r\n", 0), 0u) << file;
    for (const char* kept : {"ServerListUrl=http://list/a.xml\r\n", "Resolution=800*600\r\n", "[Other]\r\n",
                             "# note\r\n", "Key=\xD6\xD0\r\n", "ServerAddr=1.2.3.4\r\n", "ServerPort=8001\r\n",
                             "ChargeUrl=http://pay/\r\n", "ServerSid=7\r\n"}) {
        EXPECT_NE(file.find(kept), std::string::npos) << kept << " in\n" << file;
    }
    EXPECT_EQ(file.find("old"), std::string::npos);
    EXPECT_EQ(file.find("\n\n"), std::string::npos) << "every line feed keeps its carriage return";
}

TEST_F(SetupStoreTest, NamesMatchWhateverTheirCase) {
    // The game client reads qx.ini with case-insensitive names; so must we,
    // or a save would add a second [Setup] beside the one it failed to see.
    WriteQx("[SETUP]\nserveraddr=old\nSERVERLISTURL=http://l/\n");
    auto& store = SetupStore::Instance();
    ASSERT_TRUE(store.Load(Qx()));
    EXPECT_EQ(store.serverAddr, L"old");
    EXPECT_EQ(store.serverListUrl, L"http://l/");
    store.serverAddr = L"new";
    ASSERT_TRUE(store.Save());
    const std::string file = ReadQx();
    EXPECT_EQ(file.find("[Setup]"), std::string::npos) << file;
    EXPECT_EQ(file.find("old"), std::string::npos) << file;
    EXPECT_NE(file.find("new"), std::string::npos) << file;
}

TEST_F(SetupStoreTest, SaveCreatesMissingFile) {
    auto& store = SetupStore::Instance();
    store.path = Qx();
    store.serverAddr = L"5.6.7.8";
    ASSERT_TRUE(store.Save());
    SetupStore::ResetForTesting();
    ASSERT_TRUE(SetupStore::Instance().Load(Qx()));
    EXPECT_EQ(SetupStore::Instance().serverAddr, L"5.6.7.8");
}

TEST_F(SetupStoreTest, SaveThatCannotBeCompletedLeavesTheFileAsItWas) {
    const std::string original = "[Setup]\nServerAddr=a\n";
    WriteQx(original);
    auto& store = SetupStore::Instance();
    ASSERT_TRUE(store.Load(Qx()));
    store.serverAddr = L"a much longer server address than the file size limit allows";

    // A full disk, as seen by the writer: writes stop after a few bytes.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 32;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool saved_ok = store.Save();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(ReadQx(), original);
    EXPECT_FALSE(std::filesystem::exists(dir / "qx.ini.saving"));
}

TEST_F(SetupStoreTest, ValuesExpandEnvironmentReferences) {
    ::setenv("LAUNCHER_TEST_HOST", "mirror.example", 1);
    WriteQx("[Setup]\nServerListUrl=http://$(LAUNCHER_TEST_HOST)/list.xml\n");
    ASSERT_TRUE(SetupStore::Instance().Load(Qx()));
    EXPECT_EQ(SetupStore::Instance().serverListUrl, L"http://mirror.example/list.xml");
    ::unsetenv("LAUNCHER_TEST_HOST");
}

TEST_F(SetupStoreTest, LongChineseValueAcrossReadChunks) {
    // Multi-byte characters at every offset around the parser's 1 KiB reads.
    std::wstring name;
    for (int i = 0; i < 700; ++i) name += L"服";
    WriteQx("[Setup]\nServerSid=" + platform::ToUtf8(name) + "\n");
    ASSERT_TRUE(SetupStore::Instance().Load(Qx()));
    EXPECT_EQ(SetupStore::Instance().serverSid, name);
}

}  // namespace
