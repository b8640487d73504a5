// Merges that must fail: every failure returns false, leaves the game's pack
// as it was, and writes its error line while the run log is open.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "launcher/RunLog.h"
#include "launcher/update/PackPatch.h"
#include "launcher/update/PackTestFiles.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using packtest::Patch;
using packtest::Rec;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

class PackRefusalTest : public testing::Test {
protected:
    PackRefusalTest() {
        fs::create_directory(game);
        fs::create_directory(pkg);
        log = RunLog::Open((dir / "run.log").wstring());
    }

    std::wstring PackageIndex() const { return (pkg / "0.dat.i").wstring(); }
    std::wstring GameIndex() const { return (game / "0.dat.i").wstring(); }

    // The one error line of the merge, which must end in exactly `text`.
    void ExpectErrorLine(const std::wstring& text) {
        ASSERT_NE(log, nullptr);
        const std::string contents = ReadFileBytes(dir / "run.log");
        const std::string wanted = "PackPatch.cpp(";
        const std::string ending = "): " + fs::path(text).string() + "\r\n";
        const auto at = contents.find(ending);
        ASSERT_NE(at, std::string::npos) << contents;
        const auto lineStart = contents.rfind('\n', at);
        const std::string line = contents.substr(lineStart + 1, at + ending.size() - lineStart - 1);
        EXPECT_NE(line.find("Error: "), std::string::npos) << line;
        EXPECT_NE(line.find(wanted), std::string::npos) << line;
    }

    testsupport::TempDir dir;
    fs::path game = dir / "game";
    fs::path pkg = dir / "pkg";
    std::unique_ptr<RunLog> log;
};

TEST_F(PackRefusalTest, RecordOutsidePackageDataLeavesGameFilesUntouched) {
    struct Case {
        const char* name;
        std::vector<PatchRecord> records;
        int badRecord;
    };
    const Case cases[] = {
        {"offset beyond end", {Patch(10, 1, 0)}, 0},
        {"size runs past end", {Patch(2, 5, 0)}, 0},
        {"offset + size past 4 GiB", {Patch(0xFFFFFFF0u, 0x20, 0)}, 0},
        {"good records first", {Patch(0, 2, 0), Patch(0, 4, 9), Patch(1, 4, 1)}, 2},
    };
    const std::string gameData = "aaaabbbb";
    const std::string gameIndex = packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 4, 2)});
    for (const Case& c : cases) {
        WriteFileBytes(game / "0.dat", gameData);
        WriteFileBytes(game / "0.dat.i", gameIndex);
        WriteFileBytes(pkg / "0.dat", "WXYZ");
        WriteFileBytes(pkg / "0.dat.i", packtest::PatchBytes(c.records));
        std::wstring failure;
        EXPECT_FALSE(MergePackPatch(PackageIndex(), GameIndex(), &failure)) << c.name;
        EXPECT_TRUE(ReadFileBytes(game / "0.dat") == gameData) << c.name;
        EXPECT_TRUE(ReadFileBytes(game / "0.dat.i") == gameIndex) << c.name;
        const std::wstring text = PackageIndex() + L" record " + std::to_wstring(c.badRecord) + L" lies outside " +
                                  (pkg / "0.dat").wstring() + L" , merge refused ";
        EXPECT_EQ(failure, text) << c.name;
        ExpectErrorLine(text);
    }
}

// The data file must stay below 4 GiB, and no blob may land at the offset
// that means "no local data". A sparse file stands in for a full pack.
TEST_F(PackRefusalTest, BlobThatWouldReachFourGiBIsRefused) {
    const std::uint64_t nearLimit = 0xFFFFFFF0u;
    WriteFileBytes(game / "0.dat.i", packtest::IndexBytes({Rec(0, 4, 1)}));
    WriteFileBytes(game / "0.dat", "");
    fs::resize_file(game / "0.dat", nearLimit);
    const std::string gameIndex = ReadFileBytes(game / "0.dat.i");
    std::string blobs(32, 'x');
    WriteFileBytes(pkg / "0.dat", blobs);

    WriteFileBytes(pkg / "0.dat.i", packtest::PatchBytes({Patch(0, 8, 5), Patch(0, 8, 0)}));
    std::wstring failure;
    EXPECT_FALSE(MergePackPatch(PackageIndex(), GameIndex(), &failure));
    EXPECT_EQ(fs::file_size(game / "0.dat"), nearLimit);
    EXPECT_TRUE(ReadFileBytes(game / "0.dat.i") == gameIndex);
    const std::wstring text = (game / "0.dat").wstring() + L" would reach 4 GiB with record 1 of " + PackageIndex() +
                              L" , merge refused ";
    EXPECT_EQ(failure, text);
    ExpectErrorLine(text);

    // Fifteen bytes still end below 4 GiB.
    WriteFileBytes(pkg / "0.dat.i", packtest::PatchBytes({Patch(0, 15, 1, 3)}));
    ASSERT_TRUE(MergePackPatch(PackageIndex(), GameIndex()));
    EXPECT_EQ(fs::file_size(game / "0.dat"), 0xFFFFFFFFu);
    EXPECT_EQ(packtest::LoadRecords(game / "0.dat.i"), (std::vector<PackRecord>{Rec(0, 4, 1), Rec(0xFFFFFFF0u, 15, 3)}));
}

// A write that fails (here: the file size limit) fails the merge; blobs
// already appended are cut off again and the index stays as it was.
TEST_F(PackRefusalTest, FailedWriteStopsTheMergeBeforeTheIndex) {
    const std::string gameData(4096, 'g');
    WriteFileBytes(game / "0.dat", gameData);
    WriteFileBytes(game / "0.dat.i", packtest::IndexBytes({Rec(0, 4096, 1)}));
    const std::string gameIndex = ReadFileBytes(game / "0.dat.i");
    WriteFileBytes(pkg / "0.dat", std::string(3000, 'p'));
    WriteFileBytes(pkg / "0.dat.i", packtest::PatchBytes({Patch(0, 3000, 1), Patch(0, 3000, 0)}));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 5000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::wstring failure;
    const bool merged = MergePackPatch(PackageIndex(), GameIndex(), &failure);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_FALSE(merged);
    EXPECT_TRUE(ReadFileBytes(game / "0.dat") == gameData);
    EXPECT_TRUE(ReadFileBytes(game / "0.dat.i") == gameIndex);
    const std::wstring text = (pkg / "0.dat").wstring() + L" file read or " + (game / "0.dat").wstring() +
                              L" file write error , merge stopped ";
    EXPECT_EQ(failure, text);
    ExpectErrorLine(text);
}

TEST_F(PackRefusalTest, MissingOrBrokenFilesWriteTheirErrorLines) {
    const std::wstring pkgIndex = PackageIndex();
    const std::wstring gameIndex = GameIndex();
    struct Case {
        const char* name;
        bool gameData, gameIndexFile, pkgData, pkgIndexFile;
        std::string gameIndexBytes, pkgIndexBytes;
        std::wstring text;
    };
    const std::string goodGame = packtest::IndexBytes({Rec(0, 1, 1)});
    const std::string goodPatch = packtest::PatchBytes({Patch(0, 1, 0)});
    const Case cases[] = {
        {"new pack cannot be copied", false, true, false, true, goodGame, goodPatch,
         L" in pathList.xml " + (pkg / "0.dat").wstring() + L" may be config error! or " + pkgIndex + L" file not exsited "},
        {"package index missing", true, true, true, false, goodGame, goodPatch, L"  " + pkgIndex + L" file not exsited "},
        {"game index missing", true, false, true, true, goodGame, goodPatch, gameIndex + L" file not exsited "},
        {"game index too short", true, true, true, true, goodGame.substr(0, 135), goodPatch,
         gameIndex + L" file or " + pkgIndex + L" file load error ,may be the file format wrong! "},
        {"patch index too short", true, true, true, true, goodGame, "short",
         gameIndex + L" file or " + pkgIndex + L" file load error ,may be the file format wrong! "},
    };
    for (const Case& c : cases) {
        for (const fs::path& p : {game / "0.dat", game / "0.dat.i", pkg / "0.dat", pkg / "0.dat.i"}) fs::remove(p);
        if (c.gameData) WriteFileBytes(game / "0.dat", "g");
        if (c.gameIndexFile) WriteFileBytes(game / "0.dat.i", c.gameIndexBytes);
        if (c.pkgData) WriteFileBytes(pkg / "0.dat", "p");
        if (c.pkgIndexFile) WriteFileBytes(pkg / "0.dat.i", c.pkgIndexBytes);
        std::wstring failure;
        EXPECT_FALSE(MergePackPatch(pkgIndex, gameIndex, &failure)) << c.name;
        EXPECT_EQ(failure, c.text) << c.name;
        ExpectErrorLine(c.text);
        if (c.gameData) {
            EXPECT_EQ(ReadFileBytes(game / "0.dat"), "g") << c.name;
        }
        if (c.gameIndexFile) {
            EXPECT_TRUE(ReadFileBytes(game / "0.dat.i") == c.gameIndexBytes) << c.name;
        }
        EXPECT_FALSE(fs::exists(game / "0.dat.part")) << c.name;
    }
    EXPECT_FALSE(MergePackPatch((pkg / "noextension").wstring(), gameIndex));
}

}  // namespace
