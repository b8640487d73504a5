#include "launcher/update/PackPatch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/update/PackFile.h"
#include "launcher/update/PackTestFiles.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using packtest::BlobOf;
using packtest::Patch;
using packtest::Rec;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

class PackMergeTest : public testing::Test {
protected:
    PackMergeTest() {
        fs::create_directory(game);
        fs::create_directory(pkg);
    }

    void WriteGame(const std::string& data, const std::vector<PackRecord>& records, const std::string& tail = "") {
        WriteFileBytes(game / "0.dat", data);
        WriteFileBytes(game / "0.dat.i", packtest::IndexBytes(records) + tail);
    }
    void WritePackage(const std::string& data, const std::vector<PatchRecord>& records) {
        WriteFileBytes(pkg / "0.dat", data);
        WriteFileBytes(pkg / "0.dat.i", packtest::PatchBytes(records));
    }
    bool Merge(std::wstring* failure = nullptr) {
        return MergePackPatch((pkg / "0.dat.i").wstring(), (game / "0.dat.i").wstring(), failure);
    }
    std::string GameData() const { return ReadFileBytes(game / "0.dat"); }
    std::string GameIndex() const { return ReadFileBytes(game / "0.dat.i"); }
    std::vector<PackRecord> GameRecords() const { return packtest::LoadRecords(game / "0.dat.i"); }

    testsupport::TempDir dir;
    fs::path game = dir / "game";
    fs::path pkg = dir / "pkg";
};

TEST_F(PackMergeTest, EmptyGameIndexAppendsEveryRecordInPatchOrder) {
    WriteGame("old", {});
    WritePackage("AAAABB", {Patch(4, 2, 7, 1), Patch(0, 4, 0, 2)});
    ASSERT_TRUE(Merge());
    EXPECT_EQ(GameData(), "oldBBAAAA");
    EXPECT_EQ(GameRecords(), (std::vector<PackRecord>{Rec(3, 2, 1), Rec(5, 4, 2)}));
    EXPECT_EQ(GameIndex().substr(0, kPackHeaderSize), packtest::Header());
}

// Any slot at or beyond the count at load time appends, in patch order;
// records appended by the same patch do not raise the count.
TEST_F(PackMergeTest, SlotsAtOrBeyondCountAppend) {
    const std::vector<std::vector<std::uint32_t>> slotLists{{3}, {5}, {5, 3}, {3, 3, 4}};
    for (const auto& slots : slotLists) {
        WriteGame("aaabbbccc", {Rec(0, 3, 1), Rec(3, 3, 2), Rec(6, 3, 3)});
        std::vector<PatchRecord> patch;
        std::string blobs;
        for (std::size_t i = 0; i < slots.size(); ++i) {
            patch.push_back(Patch(static_cast<std::uint32_t>(i), 1, slots[i], static_cast<std::uint16_t>(10 + i)));
            blobs += static_cast<char>('p' + i);
        }
        WritePackage(blobs, patch);
        ASSERT_TRUE(Merge());
        const auto records = GameRecords();
        ASSERT_EQ(records.size(), 3 + slots.size());
        for (std::size_t i = 0; i < slots.size(); ++i) {
            EXPECT_EQ(records[3 + i], Rec(static_cast<std::uint32_t>(9 + i), 1, static_cast<std::uint16_t>(10 + i)));
        }
        EXPECT_EQ(GameData(), "aaabbbccc" + blobs);
        EXPECT_EQ(records[0], Rec(0, 3, 1));
    }
}

TEST_F(PackMergeTest, ReplacementBySize) {
    struct Case {
        const char* name;
        std::string blob;
        std::string data;
        PackRecord record;  // slot 1 afterwards
    };
    // Slot 1 holds "bbbb" at offset 4 of "aaaabbbbcccc".
    const Case cases[] = {
        {"same size in place", "XYZW", "aaaaXYZWcccc", Rec(4, 4, 9)},
        {"smaller in place, tail kept", "XY", "aaaaXYbbcccc", Rec(4, 2, 9)},
        {"empty in place", "", "aaaabbbbcccc", Rec(4, 0, 9)},
        {"one byte larger moves", "VWXYZ", "aaaabbbbccccVWXYZ", Rec(12, 5, 9)},
    };
    for (const Case& c : cases) {
        WriteGame("aaaabbbbcccc", {Rec(0, 4, 1), Rec(4, 4, 2), Rec(8, 4, 3)});
        WritePackage("--" + c.blob, {Patch(2, static_cast<std::uint32_t>(c.blob.size()), 1, 9)});
        ASSERT_TRUE(Merge()) << c.name;
        EXPECT_EQ(GameData(), c.data) << c.name;
        EXPECT_EQ(GameRecords(), (std::vector<PackRecord>{Rec(0, 4, 1), c.record, Rec(8, 4, 3)})) << c.name;
    }
}

// A record whose blob is not local (or not inside the data file) has no place
// to overwrite: its replacement goes to the end instead of to offset 4 GiB.
TEST_F(PackMergeTest, RecordWithoutLocalBlobGetsAppendedBlob) {
    WriteGame("aaaa", {Rec(kNoLocalData, 8, 1), Rec(2, 6, 2)});
    WritePackage("XYZ", {Patch(0, 3, 0, 5), Patch(0, 3, 1, 6)});
    ASSERT_TRUE(Merge());
    EXPECT_EQ(GameData(), "aaaaXYZXYZ");
    EXPECT_EQ(GameRecords(), (std::vector<PackRecord>{Rec(4, 3, 5), Rec(7, 3, 6)}));
}

// A later record for the same slot works on the record as the earlier one left it.
TEST_F(PackMergeTest, RepeatedSlotBuildsOnEarlierRecord) {
    WriteGame("aa", {Rec(0, 2, 1)});
    WritePackage("LONGs", {Patch(0, 4, 0, 2), Patch(4, 1, 0, 3)});
    ASSERT_TRUE(Merge());
    EXPECT_EQ(GameRecords(), (std::vector<PackRecord>{Rec(2, 1, 3)}));
    EXPECT_EQ(BlobOf(GameData(), GameRecords()[0]), "s");
}

// Both copy paths (the kernel's and the bounded buffer) move every byte.
TEST_F(PackMergeTest, BlobsLargerThanTheCopyBufferArriveWhole) {
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 4096);
    for (const bool kernelCopy : {true, false}) {
        WriteGame("tiny", {Rec(0, 4, 1)});
        WritePackage("#" + big + "#", {Patch(1, static_cast<std::uint32_t>(big.size()), 0, 2), Patch(0, 1, 0, 3)});
        SetKernelCopyForTesting(kernelCopy);
        const bool merged = Merge();
        SetKernelCopyForTesting(true);
        ASSERT_TRUE(merged);
        const auto records = GameRecords();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0], Rec(4, 1, 3)) << "in place over the moved blob";
        EXPECT_TRUE(GameData() == "tiny#" + big.substr(1)) << kernelCopy;
    }
}

// Trailing bytes of the game index are ignored; a merge that appends writes
// its records on the record grid, so they read back as written.
TEST_F(PackMergeTest, TrailingPartialRecordOfGameIndex) {
    WriteGame("aabb", {Rec(0, 2, 1), Rec(2, 2, 2)}, "\x01\x02\x03\x04\x05\x06\x07");
    WritePackage("XYz", {Patch(0, 2, 0, 7)});
    ASSERT_TRUE(Merge());
    EXPECT_EQ(GameIndex().size(), kPackHeaderSize + 2 * kPackRecordSize + 7) << "trailing bytes kept";
    EXPECT_EQ(GameRecords(), (std::vector<PackRecord>{Rec(0, 2, 7), Rec(2, 2, 2)}));

    WritePackage("XYz", {Patch(2, 1, 2, 8), Patch(0, 2, 9, 9)});
    ASSERT_TRUE(Merge());
    EXPECT_EQ(GameIndex().size(), kPackHeaderSize + 4 * kPackRecordSize);
    EXPECT_EQ(GameRecords(), (std::vector<PackRecord>{Rec(0, 2, 7), Rec(2, 2, 2), Rec(4, 1, 8), Rec(5, 2, 9)}));
    EXPECT_EQ(GameData(), "XYbbzXY");
}

TEST_F(PackMergeTest, GameWithoutDataFileGetsThePackageCopiedWhole) {
    const std::string index = packtest::IndexBytes({Rec(0, 3, 4), Rec(3, 2, 5)}, packtest::Header('N'));
    WriteFileBytes(pkg / "0.dat", "new!!");
    WriteFileBytes(pkg / "0.dat.i", index);
    WriteFileBytes(game / "0.dat.i", "stale index without data");
    ASSERT_TRUE(Merge());
    EXPECT_EQ(GameData(), "new!!");
    EXPECT_EQ(GameIndex(), index);
    EXPECT_FALSE(fs::exists(game / "0.dat.part"));
}

TEST_F(PackMergeTest, EmptyPatchNeedsNoDataFile) {
    WriteGame("abc", {Rec(0, 3, 1)});
    WriteFileBytes(pkg / "0.dat.i", packtest::PatchBytes({}));
    const std::string index = GameIndex();
    ASSERT_TRUE(Merge());
    EXPECT_EQ(GameData(), "abc");
    EXPECT_TRUE(GameIndex() == index);

    WriteFileBytes(pkg / "0.dat.i", packtest::PatchBytes({Patch(0, 1, 0)}));
    std::wstring failure;
    EXPECT_FALSE(Merge(&failure)) << "records need the package's data file";
    EXPECT_NE(failure.find(L"file open error"), std::wstring::npos);
    EXPECT_TRUE(GameIndex() == index);
}

TEST(PackIndexNameTest, InstallerMergesOnlyTheThreeDataPacks) {
    EXPECT_TRUE(IsPackDataIndexName(L"/g/pkg/0.dat.i"));
    EXPECT_TRUE(IsPackDataIndexName(L"C:\\pkg\\data\\2.DAT.I"));
    EXPECT_TRUE(IsPackDataIndexName(L"1.dat.i"));
    EXPECT_FALSE(IsPackDataIndexName(L"/g/pkg/3.dat.i"));
    EXPECT_FALSE(IsPackDataIndexName(L"/g/pkg/10.dat.i"));
    EXPECT_FALSE(IsPackDataIndexName(L"/g/pkg/0.dat"));
    EXPECT_FALSE(IsPackDataIndexName(L"/g/0.dat.i/x.i"));
}

}  // namespace
