#include "launcher/config/ScrambledFile.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "support/TempDir.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

TEST(ConfigKey, IsNineteenAsciiLettersAndDigits) {
    const std::wstring key = configKey;
    ASSERT_EQ(key.size(), 19u);
    for (wchar_t c : key) {
        EXPECT_TRUE(c < 128 && std::isalnum(static_cast<int>(c))) << static_cast<int>(c);
    }
}

TEST(ScrambleBytes, KnownVectors) {
    struct Case {
        const char* name;
        std::wstring key;
        std::string plain;
        std::string scrambled;
    };
    const std::vector<Case> cases = {
        {"abc with key bytes k0 k1 k2", L"ABCDEFGHIJ", "abc", Bytes({'a' + 'A', 'b' + 'B', 'c' + 'C'})},
        {"ninth and tenth bytes reuse key bytes 0 and 1", L"0123456789",
         std::string(10, '\x01'), Bytes({'1', '2', '3', '4', '5', '6', '7', '8', '1', '2'})},
        {"wraps modulo 256", L"AAAAAAAAAA", Bytes({0xC4}), Bytes({0x05})},
        {"empty file", L"ABCDEFGHIJ", "", ""},
        // A two-byte key starts at position 2 of its zero-padded buffer.
        {"short key is zero padded", L"ab", std::string(9, '\x10'),
         Bytes({0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10 + 'a', 0x10 + 'b', 0x10})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScrambleBytes(c.plain, c.key), c.scrambled) << c.name;
        EXPECT_EQ(UnscrambleBytes(c.scrambled, c.key), c.plain) << c.name;
    }
}

class UnscrambleFileTest : public testing::Test {
protected:
    void SetUp() override { platform::SetInstallFolder(dir.Folder()); }
    void TearDown() override { platform::SetInstallFolder(L""); }

    testsupport::TempDir dir;
};

TEST_F(UnscrambleFileTest, WritesPlainCopyWithCrLfLineEnds) {
    testsupport::WriteFileBytes(dir / "Do.ini", ScrambleBytes("[Addr]\nA=1\r\nB=\xE4\xB8\xAD\n", configKey));
    ASSERT_TRUE(UnscrambleFile(L"Do.ini.tmp", L"Do.ini", configKey));
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "Do.ini.tmp"), "[Addr]\r\nA=1\r\r\nB=\xE4\xB8\xAD\r\n");
}

TEST_F(UnscrambleFileTest, EmptyFileGivesEmptyCopy) {
    testsupport::WriteFileBytes(dir / "web.ini", "");
    ASSERT_TRUE(UnscrambleFile(L"web.ini.tmp", L"web.ini", configKey));
    ASSERT_TRUE(std::filesystem::exists(dir / "web.ini.tmp"));
    EXPECT_EQ(std::filesystem::file_size(dir / "web.ini.tmp"), 0u);
}

TEST_F(UnscrambleFileTest, MissingOrFolderSourceFailsWithoutCopy) {
    EXPECT_FALSE(UnscrambleFile(L"Do.ini.tmp", L"Do.ini", configKey));
    EXPECT_FALSE(std::filesystem::exists(dir / "Do.ini.tmp"));
    std::filesystem::create_directory(dir / "Folder.ini");
    EXPECT_FALSE(UnscrambleFile(L"Folder.ini.tmp", L"Folder.ini", configKey));
    EXPECT_FALSE(std::filesystem::exists(dir / "Folder.ini.tmp"));
}

TEST_F(UnscrambleFileTest, CopyThatCannotBeCreatedFails) {
    testsupport::WriteFileBytes(dir / "Do.ini", ScrambleBytes("[Addr]\n", configKey));
    EXPECT_FALSE(UnscrambleFile(L"no-such-folder/Do.ini.tmp", L"Do.ini", configKey));
}

TEST_F(UnscrambleFileTest, WriteProtectedSourceIsStillRead) {
    testsupport::WriteFileBytes(dir / "Do.ini", ScrambleBytes("[Addr]\n", configKey));
    std::filesystem::permissions(dir / "Do.ini", std::filesystem::perms::owner_read);
    ASSERT_TRUE(UnscrambleFile(L"Do.ini.tmp", L"Do.ini", configKey));
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "Do.ini.tmp"), "[Addr]\r\n");
}

TEST_F(UnscrambleFileTest, NonAsciiInstallFolder) {
    const auto folder = dir.Path() / "游戏 目录";
    std::filesystem::create_directory(folder);
    platform::SetInstallFolder(platform::ToWide(folder.string()));
    testsupport::WriteFileBytes(folder / "ServerList.xml", ScrambleBytes("<tarno/>", configKey));
    ASSERT_TRUE(UnscrambleFile(L"ServerList.xml.tmp", L"ServerList.xml", configKey));
    EXPECT_EQ(testsupport::ReadFileBytes(folder / "ServerList.xml.tmp"), "<tarno/>");
}

}  // namespace
