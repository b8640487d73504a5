#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/update/PackPatch.h"
#include "launcher/update/PackTestFiles.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using packtest::Patch;
using packtest::Rec;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

class IndexOnlyTest : public testing::Test {
protected:
    IndexOnlyTest() {
        fs::create_directory(game);
        fs::create_directory(pkg);
    }
    bool Apply() { return PatchIndexOnly((game / "3.dat.i").wstring(), (pkg / "3.dat.i").wstring()); }

    testsupport::TempDir dir;
    fs::path game = dir / "game";
    fs::path pkg = dir / "pkg";
};

TEST_F(IndexOnlyTest, MissingGameIndexIsCopiedWithNoLocalOffsets) {
    WriteFileBytes(pkg / "3.dat.i", packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 9, 2), Rec(kNoLocalData, 1, 3)}) + "xyz");
    ASSERT_TRUE(Apply());
    const std::string copied = ReadFileBytes(game / "3.dat.i");
    EXPECT_EQ(copied, packtest::IndexBytes({Rec(kNoLocalData, 4, 1), Rec(kNoLocalData, 9, 2), Rec(kNoLocalData, 1, 3)}) + "xyz");
    EXPECT_FALSE(fs::exists(game / "3.dat"));
}

TEST_F(IndexOnlyTest, PackageFileShorterThanAHeaderIsCopiedAsItIs) {
    WriteFileBytes(pkg / "3.dat.i", "tiny");
    ASSERT_TRUE(Apply());
    EXPECT_EQ(ReadFileBytes(game / "3.dat.i"), "tiny");
}

TEST_F(IndexOnlyTest, ReplacesAndAppendsRecordsWithoutTouchingData) {
    WriteFileBytes(game / "3.dat", "data stays");
    WriteFileBytes(game / "3.dat.i", packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 6, 2), Rec(0, 2, 3)}) + "ab");
    WriteFileBytes(pkg / "3.dat.i", packtest::PatchBytes({Patch(0, 7, 1, 8), Patch(123, 5, 3, 9), Patch(5, 5, 99, 10)}));
    ASSERT_TRUE(Apply());
    EXPECT_EQ(ReadFileBytes(game / "3.dat"), "data stays");
    const std::string index = ReadFileBytes(game / "3.dat.i");
    EXPECT_EQ(index.substr(0, kPackHeaderSize), packtest::Header());
    EXPECT_EQ(index.size(), kPackHeaderSize + 5 * kPackRecordSize);
    EXPECT_EQ(packtest::LoadRecords(game / "3.dat.i"),
              (std::vector<PackRecord>{Rec(0, 4, 1), Rec(kNoLocalData, 7, 8), Rec(0, 2, 3), Rec(kNoLocalData, 5, 9),
                                       Rec(kNoLocalData, 5, 10)}));
}

TEST_F(IndexOnlyTest, FailsWhenAFileIsMissingOrUnreadable) {
    const std::string gameIndex = packtest::IndexBytes({Rec(0, 4, 1)});
    WriteFileBytes(game / "3.dat.i", gameIndex);
    EXPECT_FALSE(Apply()) << "package index missing";

    WriteFileBytes(pkg / "3.dat.i", "short");
    EXPECT_FALSE(Apply()) << "package index too short";
    EXPECT_TRUE(ReadFileBytes(game / "3.dat.i") == gameIndex);

    WriteFileBytes(pkg / "3.dat.i", packtest::PatchBytes({Patch(0, 1, 0)}));
    WriteFileBytes(game / "3.dat.i", "short");
    EXPECT_FALSE(Apply()) << "game index too short";
    EXPECT_EQ(ReadFileBytes(game / "3.dat.i"), "short");
}

}  // namespace
