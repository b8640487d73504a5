#include "launcher/config/ScrambledFile.h"

#include <gtest/gtest.h>

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

TEST_F(UnscrambleFileTest, WritesAPlainCopyWithCrLfLineEnds) {
    const struct {
        const char* name;
        const char* folder;  // below the temp folder; "" for itself
        std::string plain;
        bool readOnly;
        std::string copy;
    } cases[] = {
        {"line ends", "", "[Addr]\nA=1\r\nB=\xE4\xB8\xAD\n", false, "[Addr]\r\nA=1\r\r\nB=\xE4\xB8\xAD\r\n"},
        {"empty file", "", "", false, ""},
        {"write-protected source", "", "[Addr]\n", true, "[Addr]\r\n"},
        {"non-ASCII install folder", "游戏 目录", "<tarno/>", false, "<tarno/>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto folder = dir.Path() / c.folder;
        std::filesystem::create_directories(folder);
        platform::SetInstallFolder(platform::ToWide(folder.string()));
        std::filesystem::remove(folder / "Do.ini");
        std::filesystem::remove(folder / "Do.ini.tmp");
        testsupport::WriteFileBytes(folder / "Do.ini", ScrambleBytes(c.plain, configKey));
        if (c.readOnly) std::filesystem::permissions(folder / "Do.ini", std::filesystem::perms::owner_read);
        ASSERT_TRUE(UnscrambleFile(L"Do.ini.tmp", L"Do.ini", configKey));
        ASSERT_TRUE(std::filesystem::exists(folder / "Do.ini.tmp"));
        EXPECT_EQ(testsupport::ReadFileBytes(folder / "Do.ini.tmp"), c.copy);
    }
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

}  // namespace
