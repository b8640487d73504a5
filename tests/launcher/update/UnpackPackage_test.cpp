#include "launcher/update/UnpackPackage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/Utf8.h"
#include "support/TempDir.h"
#include "launcher/update/ZipBuilder.h"

namespace fs = std::filesystem;

namespace {

constexpr auto ReadAll = &testsupport::ReadFileBytes;

// Every file and link below `folder`, relative, '/'-separated, sorted.
std::vector<std::string> FilesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (!it->is_directory() || it->is_symlink()) files.push_back(fs::relative(it->path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(SanitiseEntryNameTest, RulesRepeatUntilRelative) {
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"..\\..\\x.dll", L"x.dll"},
        {L"C:\\Windows\\x.dll", L"Windows\\x.dll"},
        {L"/etc/passwd", L"etc/passwd"},
        {L"a/../b", L"b"},
        {L"a\\../b", L"b"},
        {L"a/..\\b", L"b"},
        {L"c:/d:/\\e", L"e"},
        {L"data/0.dat.i", L"data/0.dat.i"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(SanitiseEntryName(in), out) << platform::ToUtf8(in);
}

struct SafetyCase {
    const char* what;
    ziptest::Entry entry;
    bool unpacks;
    std::vector<std::string> files;  // below the package root afterwards
    mode_t mode;                     // permission bits of the one file, when checked
};

TEST(UnpackPackageTest, HostileEntriesStayInsideThePackageFolder) {
    const std::vector<SafetyCase> cases = {
        {"absolute", {"/abs.txt", "a"}, true, {"abs.txt"}, 0},
        {"drive prefix", {"C:\\x\\y.txt", "a"}, true, {"x/y.txt"}, 0},
        {"backslash traversal", {"..\\..\\x.dll", "a"}, true, {"x.dll"}, 0},
        {"mixed traversal", {"a\\../b.txt", "a"}, true, {"b.txt"}, 0},
        {"bare parent", {"../up.txt", "a"}, true, {}, 0},
        {"parent after a rule", {"a/../../b.txt", "a"}, true, {}, 0},
        {"symbolic link", {"link", "/etc/passwd", 0120777}, true, {}, 0},
        {"set-uid bit", {"suid", "a", 0104755}, true, {"suid"}, 0755},
        {"executable bit", {"qx.exe", "a", 0100755}, true, {"qx.exe"}, 0755},
        {"not UTF-8", {"bad\xff.txt", "a"}, true, {}, 0},
        // Regression: a line feed split the install journal's record of the
        // file, and a rollback then deleted the folder before it.
        {"line feed", {"data\nx.txt", "a"}, true, {}, 0},
        {"tab", {"a\tb.txt", "a"}, true, {}, 0},
    };
    for (const SafetyCase& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        ASSERT_TRUE(ziptest::WriteZip((dir / "1.upd").string(), {c.entry}));
        EXPECT_EQ(UnpackPackage((dir / "1").wstring(), false), c.unpacks);
        EXPECT_EQ(FilesBelow(dir / "1"), c.files);
        // Nothing beside the archive and its folder.
        std::vector<std::string> top;
        for (const auto& e : fs::directory_iterator(dir.Path())) top.push_back(e.path().filename().string());
        std::sort(top.begin(), top.end());
        EXPECT_TRUE(top == std::vector<std::string>{"1.upd"} || top == (std::vector<std::string>{"1", "1.upd"}));
        if (c.mode) {
            struct stat st {};
            ASSERT_EQ(::stat((dir / "1" / c.files[0]).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, c.mode);
        }
    }
}

TEST(UnpackPackageTest, RefusesPackagesClaimingMoreThanTheFreeSpace) {
    testsupport::TempDir dir;
    std::vector<ziptest::Entry> bomb;
    for (int i = 0; i < 1024; ++i) bomb.push_back({"bomb" + std::to_string(i), "x", 0100644, 0xFFFFFFF0u});
    ASSERT_TRUE(ziptest::WriteZip((dir / "1.upd").string(), bomb));
    EXPECT_FALSE(UnpackPackage((dir / "1").wstring(), false));
    EXPECT_EQ(FilesBelow(dir / "1"), std::vector<std::string>{});
}

// Entries are written several at a time straight from the archive: each
// file must come out whole whatever its size and storage, and any entry
// whose bytes do not check out fails the unpack without a partial file.
TEST(UnpackPackageTest, ManyEntriesStoredAndDeflatedComeOutWhole) {
    testsupport::TempDir dir;
    std::vector<ziptest::Entry> entries;
    std::vector<std::pair<std::string, std::string>> want;
    std::uint32_t seed = 7;
    for (int i = 0; i < 48; ++i) {
        std::string data(static_cast<std::size_t>(i % 7 == 0 ? 0 : (i * 37 % 11) << (i % 18)), '\0');
        for (char& c : data) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        const std::string name = "d" + std::to_string(i % 4) + "/f" + std::to_string(i);
        if (i % 3 == 0) {
            entries.push_back({name, data, 0100644, data.size() ? data.size() : 0, true});  // stored
        } else {
            entries.push_back({name, data});
        }
        want.emplace_back(name, data);
    }
    entries.push_back({"d1/f1", "the later entry of a name wins"});
    want[1].second = "the later entry of a name wins";
    ASSERT_TRUE(ziptest::WriteZip((dir / "3.upd").string(), entries));
    ASSERT_TRUE(UnpackPackage((dir / "3").wstring(), false));
    for (const auto& [name, data] : want) EXPECT_EQ(ReadAll(dir / "3" / name), data) << name;
}

TEST(UnpackPackageTest, EntriesWhoseBytesDoNotCheckOutFailWithoutALeftover) {
    struct Case {
        const char* what;
        ziptest::Entry entry;
    };
    const Case cases[] = {
        {"stored, wrong CRC", {"bad", "abcdef", 0100644, 6, false}},
        {"stored, claims less than it holds", {"long", "abcdef", 0100644, 3, true}},
        {"stored, claims more than it holds", {"short", "x", 0100644, 4096, true}},
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        std::vector<ziptest::Entry> entries;
        for (int i = 0; i < 8; ++i) entries.push_back({"good" + std::to_string(i), std::string(1000, 'g')});
        entries.push_back(c.entry);
        ASSERT_TRUE(ziptest::WriteZip((dir / "1.upd").string(), entries)) << c.what;
        EXPECT_FALSE(UnpackPackage((dir / "1").wstring(), false)) << c.what;
        EXPECT_FALSE(fs::exists(dir / "1" / c.entry.name)) << c.what;
    }
}

TEST(UnpackPackageTest, FoldersFilesAndReplacement) {
    testsupport::TempDir dir;
    const std::string big(3 << 20, 'z');  // spans several inflate blocks
    ASSERT_TRUE(ziptest::WriteZip((dir / "7.tre").string(), {{"empty/", "", 040755},
                                                             {"data\\0.dat.i", "index"},
                                                             {"big.bin", big}}));
    fs::create_directories(dir / "7" / "data");
    std::ofstream(dir / "7" / "data" / "0.dat.i") << "old and longer contents";
    ASSERT_TRUE(UnpackPackage((dir / "7").wstring(), true));
    EXPECT_TRUE(fs::is_directory(dir / "7" / "empty"));
    EXPECT_EQ(ReadAll(dir / "7" / "data" / "0.dat.i"), "index");
    EXPECT_EQ(ReadAll(dir / "7" / "big.bin"), big);
    EXPECT_FALSE(UnpackPackage((dir / "7").wstring(), false)) << "7.upd does not exist";
}

}  // namespace
