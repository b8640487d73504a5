#include "toolkit/SkinPacker.h"

#include <gtest/gtest.h>
#include <minizip/unzip.h>

#include <random>
#include <vector>

#include "platform/Utf8.h"
#include "support/TempDir.h"
#include "toolkit/UIResources.h"

namespace {

using DuiLib::SkinPacker;
using DuiLib::UIResources;
using Status = DuiLib::SkinPackResult::Status;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

struct EntryInfo {
    std::string name;
    unsigned year = 0;
    unsigned flags = 0;
};

// The entries of a zip in archive order, read with the plain unzip API.
std::vector<EntryInfo> ListEntries(const std::filesystem::path& zipPath) {
    std::vector<EntryInfo> entries;
    unzFile zip = unzOpen64(zipPath.c_str());
    if (!zip) return entries;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[512] = {};
        unzGetCurrentFileInfo64(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0);
        entries.push_back({name, info.tmu_date.tm_year, static_cast<unsigned>(info.flag)});
    }
    unzClose(zip);
    return entries;
}

std::vector<std::string> FilesBeside(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class SkinPackerTest : public testing::Test {
protected:
    void TearDown() override {
        UIResources::SetResourceZip(L"");
        UIResources::SetResourcePath(L"");
    }
    void Write(const std::string& name, const std::string& bytes) {
        WriteFileBytes(dir / "skin" / name, bytes);
    }
    testsupport::TempDir dir;
};

TEST_F(SkinPackerTest, EveryFileReadsBackThroughTheResourcesUnchanged) {
    std::mt19937 random(42);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const std::vector<std::pair<std::string, std::string>> files = {
        {"launcherSkin.xml", "<Window size=\"800,572\"/>"},
        {"images/bg.png", noise},
        {"images/buttons/ok.png", std::string("\0\1\2\3", 4)},
        {"empty.txt", ""},
        {"服务器.xml", "<Window/>"},
        {".hidden", "dot"},
    };
    for (const auto& [name, bytes] : files) Write(name, bytes);
    std::filesystem::create_directories(dir / "skin" / "unused-folder");

    const auto result = SkinPacker::Pack(dir / "skin", dir / "bt.dat");
    ASSERT_EQ(result.status, Status::Ok) << result.message;
    EXPECT_EQ(result.fileCount, files.size());

    UIResources::SetResourcePath(dir.Folder());
    UIResources::SetResourceZip(L"bt.dat");
    for (const auto& [name, bytes] : files) {
        std::string read;
        ASSERT_TRUE(UIResources::ReadResource(platform::ToWide(name), read)) << name;
        EXPECT_EQ(read, bytes) << name;
    }
    EXPECT_EQ(FilesBeside(dir.Path()), (std::vector<std::string>{"bt.dat", "skin"})) << "no temporary file left";
}

TEST_F(SkinPackerTest, OutputIsSortedTimelessAndReproducible) {
    Write("b.xml", "<b/>");
    Write("a/z.png", "z");
    Write("A.xml", "<A/>");
    Write("中.xml", "<c/>");
    ASSERT_EQ(SkinPacker::Pack(dir / "skin", dir / "one.dat").status, Status::Ok);

    const std::vector<EntryInfo> entries = ListEntries(dir / "one.dat");
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        names.push_back(entry.name);
        EXPECT_EQ(entry.year, 1980u) << entry.name;
        EXPECT_EQ((entry.flags & (1u << 11)) != 0, entry.name == "中.xml") << "UTF-8 flag on " << entry.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A.xml", "a/z.png", "b.xml", "中.xml"}));

    // Different modification times and creation order give the same bytes.
    std::filesystem::remove_all(dir / "skin");
    Write("中.xml", "<c/>");
    Write("A.xml", "<A/>");
    Write("a/z.png", "z");
    Write("b.xml", "<b/>");
    std::filesystem::last_write_time(dir / "skin" / "b.xml", std::filesystem::file_time_type::clock::now() -
                                                                 std::chrono::hours(1000));
    ASSERT_EQ(SkinPacker::Pack(dir / "skin", dir / "two.dat").status, Status::Ok);
    EXPECT_EQ(ReadFileBytes(dir / "one.dat"), ReadFileBytes(dir / "two.dat"));
}

TEST_F(SkinPackerTest, ArchiveInsideTheSkinFolderDoesNotPackItself) {
    Write("a.xml", "<a/>");
    ASSERT_EQ(SkinPacker::Pack(dir / "skin", dir / "skin" / "bt.dat").status, Status::Ok);
    const auto result = SkinPacker::Pack(dir / "skin", dir / "skin" / "bt.dat");
    ASSERT_EQ(result.status, Status::Ok);
    EXPECT_EQ(result.fileCount, 1u);
    ASSERT_EQ(ListEntries(dir / "skin" / "bt.dat").size(), 1u);
    EXPECT_EQ(ListEntries(dir / "skin" / "bt.dat")[0].name, "a.xml");
}

TEST_F(SkinPackerTest, FailuresNameTheirSideAndLeaveTheOldOutput) {
    Write("a.xml", "<a/>");
    std::filesystem::create_directories(dir / "empty" / "sub");
    std::filesystem::create_directories(dir / "out" / "folder.dat");
    WriteFileBytes(dir / "plain-file", "x");
    struct Case {
        const char* what;
        std::filesystem::path folder;
        std::filesystem::path output;
        Status status;
    };
    const std::vector<Case> cases = {
        {"missing folder", dir / "nope", dir / "out" / "bt.dat", Status::InputError},
        {"folder is a file", dir / "plain-file", dir / "out" / "bt.dat", Status::InputError},
        {"no files, only folders", dir / "empty", dir / "out" / "bt.dat", Status::InputError},
        {"output folder missing", dir / "skin", dir / "missing" / "bt.dat", Status::OutputError},
        {"output below a file", dir / "skin", dir / "plain-file" / "bt.dat", Status::OutputError},
        {"output is a folder", dir / "skin", dir / "out" / "folder.dat", Status::OutputError},
        {"no output name", dir / "skin", "", Status::OutputError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(dir / "out" / "bt.dat", "old archive");
        const auto result = SkinPacker::Pack(c.folder, c.output);
        EXPECT_EQ(result.status, c.status);
        EXPECT_FALSE(result.message.empty());
        EXPECT_EQ(ReadFileBytes(dir / "out" / "bt.dat"), "old archive");
        EXPECT_EQ(FilesBeside(dir / "out"), (std::vector<std::string>{"bt.dat", "folder.dat"}));
    }
}

}  // namespace
