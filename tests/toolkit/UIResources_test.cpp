#include "toolkit/UIResources.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "support/TempDir.h"
#include "toolkit/Markup.h"
#include "toolkit/SkinPacker.h"

namespace {

using DuiLib::UIResources;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

const std::string kSkinXml = "<Window size=\"300,200\"><Label name=\"title\" text=\"标题\"/></Window>";

// Every test starts and ends with the defaults: no archive, no paths set.
class UIResourcesTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        UIResources::SetResourceZip(L"");
        UIResources::SetResourcePath(L"");
        UIResources::SetInstancePath(L"");
        UIResources::ClearCache();
    }

    // A skin folder packed into dir/bt.dat, made the current archive.
    void UseArchive(const std::vector<std::pair<std::string, std::string>>& files) {
        for (const auto& [name, bytes] : files) {
            WriteFileBytes(dir / "skin" / name, bytes);
        }
        ASSERT_EQ(DuiLib::SkinPacker::Pack(dir / "skin", dir / "bt.dat").status, DuiLib::SkinPackResult::Status::Ok);
        UIResources::SetResourcePath(dir.Folder());
        UIResources::SetResourceZip(L"bt.dat");
    }

    static std::string Read(const std::wstring& name) {
        std::string bytes;
        return UIResources::ReadResource(name, bytes) ? bytes : "<missing>";
    }

    testsupport::TempDir dir;
};

TEST_F(UIResourcesTest, PathsGetASeparatorAndFallBackToTheirDefaults) {
    EXPECT_EQ(UIResources::GetInstancePath(), platform::GetInstallFolder());
    EXPECT_EQ(UIResources::GetResourcePath(), UIResources::GetInstancePath());
    UIResources::SetInstancePath(L"/opt/game");
    EXPECT_EQ(UIResources::GetInstancePath(), L"/opt/game/");
    EXPECT_EQ(UIResources::GetResourcePath(), L"/opt/game/");
    UIResources::SetResourcePath(L"/opt/skin/");
    EXPECT_EQ(UIResources::GetResourcePath(), L"/opt/skin/");
    UIResources::SetInstancePath(L"");
    EXPECT_EQ(UIResources::GetInstancePath(), platform::GetInstallFolder());
}

TEST_F(UIResourcesTest, ReadsArchiveEntriesByExactThenCaseFoldedName) {
    UseArchive({{"launcherSkin.xml", kSkinXml}, {"images/Bg.png", std::string("\x89PNG\0\1", 6)},
                {"中文.xml", "<a/>"}, {"empty.txt", ""}});
    struct Case {
        std::wstring name;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {L"launcherSkin.xml", kSkinXml},
        {L"LAUNCHERSKIN.XML", kSkinXml},
        {L"images/Bg.png", std::string("\x89PNG\0\1", 6)},
        {L"images\\bg.PNG", std::string("\x89PNG\0\1", 6)},
        {L"中文.xml", "<a/>"},
        {L"empty.txt", ""},
        {L"missing.xml", "<missing>"},
        {L"images", "<missing>"},
        {L"images/", "<missing>"},
        {L"Bg.png", "<missing>"},
        {L"", "<missing>"},
    };
    for (const Case& c : cases) EXPECT_EQ(Read(c.name), c.expected) << platform::ToUtf8(c.name);
}

TEST_F(UIResourcesTest, ArchiveIsReadOnceAndKeptUntilChanged) {
    UseArchive({{"a.xml", "<a/>"}, {"b.xml", "<b/>"}});
    ASSERT_EQ(Read(L"a.xml"), "<a/>");
    std::filesystem::remove(dir / "bt.dat");
    EXPECT_EQ(Read(L"a.xml"), "<a/>");
    EXPECT_EQ(Read(L"b.xml"), "<b/>") << "every entry is cached, not only those read";

    UIResources::ClearCache();
    EXPECT_EQ(Read(L"a.xml"), "<missing>");

    // A missing archive is not remembered as missing: it is found once it exists.
    UseArchive({{"a.xml", "<new/>"}});
    EXPECT_EQ(Read(L"a.xml"), "<new/>");
    // Setting the archive again drops the cached copy.
    WriteFileBytes(dir / "skin" / "a.xml", "<newer/>");
    ASSERT_EQ(DuiLib::SkinPacker::Pack(dir / "skin", dir / "bt.dat").status, DuiLib::SkinPackResult::Status::Ok);
    EXPECT_EQ(Read(L"a.xml"), "<new/>");
    UIResources::SetResourceZip(L"bt.dat");
    EXPECT_EQ(Read(L"a.xml"), "<newer/>");
}

TEST_F(UIResourcesTest, MissingOrBrokenArchivesReadNothing) {
    UIResources::SetResourcePath(dir.Folder());
    UIResources::SetResourceZip(L"bt.dat");
    EXPECT_EQ(Read(L"a.xml"), "<missing>");
    WriteFileBytes(dir / "a.xml", "<a/>");
    EXPECT_EQ(Read(L"a.xml"), "<missing>") << "with an archive set, the folder is not consulted";
    WriteFileBytes(dir / "bt.dat", "PK\3\4 this is not a zip archive");
    EXPECT_EQ(Read(L"a.xml"), "<missing>");
    std::filesystem::create_directory(dir / "folder.dat");
    UIResources::SetResourceZip(L"folder.dat");
    EXPECT_EQ(Read(L"a.xml"), "<missing>");
}

TEST_F(UIResourcesTest, DamagedEntryReadsAsMissingWhileOthersStayReadable) {
    std::string big;
    for (int i = 0; i < 4096; ++i) big += "<Control name=\"c" + std::to_string(i) + "\"/>";
    UseArchive({{"a.xml", big}, {"b.xml", "<b/>"}});
    std::string zip = ReadFileBytes(dir / "bt.dat");
    // The first entry's data follows its 30-byte local header, name and extra field.
    const std::size_t nameLength = static_cast<unsigned char>(zip[26]) | (static_cast<unsigned char>(zip[27]) << 8);
    const std::size_t extraLength = static_cast<unsigned char>(zip[28]) | (static_cast<unsigned char>(zip[29]) << 8);
    zip[30 + nameLength + extraLength + 40] ^= 0x55;
    WriteFileBytes(dir / "bt.dat", zip);
    UIResources::ClearCache();
    EXPECT_EQ(Read(L"a.xml"), "<missing>");
    EXPECT_EQ(Read(L"b.xml"), "<b/>");
}

TEST_F(UIResourcesTest, AbsoluteArchivePathIgnoresTheResourcePath) {
    UseArchive({{"a.xml", "<a/>"}});
    UIResources::SetResourcePath(L"/nonexistent/");
    UIResources::SetResourceZip((dir / "bt.dat").wstring());
    EXPECT_EQ(Read(L"a.xml"), "<a/>");
}

TEST_F(UIResourcesTest, WithoutArchiveResourcesComeFromTheResourceFolder) {
    std::filesystem::create_directories(dir / "images");
    WriteFileBytes(dir / "images" / "bg.png", "png");
    UIResources::SetResourcePath(dir.Folder());
    EXPECT_EQ(Read(L"images/bg.png"), "png");
    EXPECT_EQ(Read(L"images\\bg.png"), "png");
    EXPECT_EQ(Read(L"images/none.png"), "<missing>");
    EXPECT_EQ(Read(L"images"), "<missing>");
}

TEST_F(UIResourcesTest, MarkupLoadsFromFolderArchiveAndResourceFolder) {
    WriteFileBytes(dir / "ServerList.xml", "\xEF\xBB\xBF<tarno/>");
    WriteFileBytes(dir / "Scrambled.xml", "\x8b\xa3\xb5\xcf\xa4\xb8\x9e");
    WriteFileBytes(dir / "skin.xml", kSkinXml);
    const std::wstring folder = dir.Folder();

    DuiLib::CMarkup markup;
    EXPECT_TRUE(markup.LoadFromFile(L"ServerList.xml", DuiLib::XMLFILE_ENCODING_UTF8, folder.c_str()));
    EXPECT_STREQ(markup.GetRoot().GetName(), L"tarno");
    EXPECT_FALSE(markup.LoadFromFile(L"Scrambled.xml", DuiLib::XMLFILE_ENCODING_UTF8, folder.c_str()));
    EXPECT_FALSE(markup.LoadFromFile(L"Missing.xml", DuiLib::XMLFILE_ENCODING_UTF8, folder.c_str()));
    EXPECT_NE(markup.GetLastErrorMessage().find(L"Missing.xml"), std::wstring::npos);
    EXPECT_FALSE(markup.LoadFromFile(L"", DuiLib::XMLFILE_ENCODING_UTF8, folder.c_str()));
    EXPECT_FALSE(markup.LoadFromFile(nullptr));

    UIResources::SetResourcePath(folder);
    EXPECT_TRUE(markup.LoadFromFile(L"skin.xml"));
    EXPECT_STREQ(markup.GetRoot().GetChild().GetAttributeValue(L"text"), L"标题");

    UseArchive({{"launcherSkin.xml", kSkinXml}});
    EXPECT_TRUE(markup.LoadFromFile(L"launcherSkin.xml"));
    EXPECT_STREQ(markup.GetRoot().GetName(), L"Window");
    EXPECT_FALSE(markup.LoadFromFile(L"skin.xml")) << "the folder copy is not used while an archive is set";
    EXPECT_FALSE(markup.IsValid());
}

TEST_F(UIResourcesTest, ConcurrentReadersShareOneArchiveLoad) {
    UseArchive({{"a.xml", "<a/>"}, {"b.xml", "<b/>"}});
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong, t] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0 && i % 50 == 0) UIResources::ClearCache();
                std::string bytes;
                const bool a = (i + t) % 2 == 0;
                if (!UIResources::ReadResource(a ? L"a.xml" : L"b.xml", bytes) || bytes != (a ? "<a/>" : "<b/>")) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
