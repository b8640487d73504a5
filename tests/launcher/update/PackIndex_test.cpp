#include "launcher/update/PackIndex.h"

#include <gtest/gtest.h>

#include "launcher/update/PackTestFiles.h"
#include "support/TempDir.h"

namespace {

using packtest::Header;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

TEST(PackRecordTest, FieldsAreLittleEndianWithoutPadding) {
    const PatchRecord record{0x04030201, 0x08070605, 0x0A09, 0x0C0B, 0x100F0E0D, 0x14131211, 0x18171615};
    std::uint8_t bytes[kPatchRecordSize];
    EncodePatchRecord(record, bytes);
    for (std::size_t i = 0; i < kPatchRecordSize; ++i) EXPECT_EQ(bytes[i], i + 1) << "byte " << i;
    EXPECT_EQ(DecodePatchRecord(bytes), record);
    const PackRecord game = DecodePackRecord(bytes);
    EXPECT_EQ(game, (PackRecord{0x04030201, 0x08070605, 0x0A09, 0x0C0B, 0x100F0E0D, 0x14131211}));
}

TEST(PackIndexTest, LoadsRecordsAndHeaderByDataOrIndexName) {
    TempDir dir;
    const std::vector<PackRecord> records{packtest::Rec(0, 10, 1), packtest::Rec(10, 0, 2), packtest::Rec(kNoLocalData, 5, 3)};
    WriteFileBytes(dir / "0.dat.i", packtest::IndexBytes(records));

    PackIndex viaData;
    viaData.path = (dir / "0.dat").wstring();
    ASSERT_TRUE(LoadPackIndex(viaData));
    PackIndex direct;
    direct.path = (dir / "0.dat.i").wstring();
    ASSERT_TRUE(LoadPackIndexFile(direct));

    for (const PackIndex* index : {&viaData, &direct}) {
        EXPECT_EQ(index->count, 3);
        EXPECT_EQ(index->records, records);
        EXPECT_EQ(index->indexPath, (dir / "0.dat.i").wstring());
        EXPECT_EQ(std::string(index->header.begin(), index->header.end()), Header());
    }
}

// Whatever the length, count = (length - 136) / record size, and a file
// shorter than the header does not load.
TEST(PackIndexTest, CountFollowsLengthAndIgnoresTrailingBytes) {
    struct Case {
        std::size_t length;
        bool loads;
        int gameCount;
        int patchCount;
    };
    const Case cases[] = {
        {0, false, 0, 0},    {135, false, 0, 0},  {136, true, 0, 0},   {155, true, 0, 0},
        {156, true, 1, 0},   {159, true, 1, 0},   {160, true, 1, 1},   {136 + 20 * 6 + 19, true, 6, 5},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string bytes(c.length, '\x5A');
        WriteFileBytes(dir / "x.i", bytes);
        PackIndex game;
        game.path = (dir / "x").wstring();
        PatchIndex patch;
        patch.path = (dir / "x").wstring();
        EXPECT_EQ(LoadPackIndex(game), c.loads) << c.length;
        EXPECT_EQ(LoadPatchIndex(patch), c.loads) << c.length;
        EXPECT_EQ(game.count, c.gameCount) << c.length;
        EXPECT_EQ(game.records.size(), static_cast<std::size_t>(c.gameCount));
        EXPECT_EQ(patch.count, c.patchCount) << c.length;
        EXPECT_EQ(patch.records.size(), static_cast<std::size_t>(c.patchCount));
    }
}

TEST(PackIndexTest, LoadsPatchRecordsAndFailsOnMissingFiles) {
    TempDir dir;
    const std::vector<PatchRecord> records{packtest::Patch(0, 4, 9, 1), packtest::Patch(4, 2, 0, 2)};
    WriteFileBytes(dir / "1.dat.i", packtest::PatchBytes(records) + "tail");
    PatchIndex patch;
    patch.path = (dir / "1.dat.i").wstring();
    ASSERT_TRUE(LoadPatchIndexFile(patch));
    EXPECT_EQ(patch.count, 2);
    EXPECT_EQ(patch.records, records);

    PatchIndex missing;
    missing.path = (dir / "nothing").wstring();
    EXPECT_FALSE(LoadPatchIndex(missing));
    EXPECT_FALSE(LoadPatchIndexFile(missing));
    PackIndex folder;
    folder.path = dir.Path().wstring();
    EXPECT_FALSE(LoadPackIndexFile(folder));
}

}  // namespace
