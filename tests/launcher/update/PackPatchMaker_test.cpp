#include "launcher/update/PackPatchMaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "launcher/update/PackPatch.h"
#include "launcher/update/PackTestFiles.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using packtest::BlobOf;
using packtest::Rec;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

struct Pack {
    std::string data;
    std::vector<PackRecord> records;
    std::string header = packtest::Header();
    std::string indexTail;  // partial record after the last whole one
};

enum class Change { Keep, SameSize, Shrink, Grow, InfoOnly, NotLocal };

class PackGenerator {
public:
    explicit PackGenerator(unsigned seed) : rng_(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    std::string Bytes(std::size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(Int(0, 255));
        return s;
    }

    // Lays `blobs` out in shuffled order with random gaps; records keep their
    // order and get the given info fields. Blobs marked absent get kNoLocalData.
    Pack Layout(const std::vector<std::string>& blobs, const std::vector<PackRecord>& infos,
                const std::vector<bool>& absent) {
        Pack pack;
        pack.records = infos;
        std::vector<std::size_t> order(blobs.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), rng_);
        pack.data = Bytes(static_cast<std::size_t>(Int(0, 8)));
        for (std::size_t i : order) {
            pack.records[i].size = static_cast<std::uint32_t>(blobs[i].size());
            if (absent[i]) {
                pack.records[i].offset = kNoLocalData;
                continue;
            }
            pack.records[i].offset = static_cast<std::uint32_t>(pack.data.size());
            pack.data += blobs[i] + Bytes(static_cast<std::size_t>(Int(0, 3)));
        }
        return pack;
    }

    PackRecord Info() {
        return PackRecord{0, 0, static_cast<std::uint16_t>(Int(0, 65535)), static_cast<std::uint16_t>(Int(0, 3)),
                          static_cast<std::uint32_t>(Int(0, 1 << 30)), static_cast<std::uint32_t>(Int(0, 2))};
    }

    std::size_t BlobSize() { return Int(0, 9) == 0 ? 0 : static_cast<std::size_t>(Int(1, 3000)); }

private:
    std::mt19937 rng_;
};

Pack MakePack(const std::string& data, const std::vector<PackRecord>& records) {
    Pack pack;
    pack.data = data;
    pack.records = records;
    return pack;
}

void WritePack(const fs::path& data, const Pack& pack) {
    WriteFileBytes(data, pack.data);
    WriteFileBytes(data.string() + ".i", packtest::IndexBytes(pack.records, pack.header) + pack.indexTail);
}

// For random old and new packs, merging make(old, new) into old resolves every
// record to the new blob bytes and client fields; records that did not change
// stay where they were and travel in no patch.
TEST(PackPatchMakerTest, MergedPatchReproducesTheNewPack) {
    for (unsigned seed = 0; seed < 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        PackGenerator gen(seed);
        const int oldCount = seed % 6 == 0 ? 0 : gen.Int(1, 40);
        std::vector<std::string> oldBlobs, newBlobs;
        std::vector<PackRecord> oldInfo, newInfo;
        std::vector<bool> oldAbsent, newAbsent;
        std::vector<bool> unchanged;
        for (int k = 0; k < oldCount; ++k) {
            oldBlobs.push_back(gen.Bytes(gen.BlobSize()));
            oldInfo.push_back(gen.Info());
            oldAbsent.push_back(gen.Int(0, 19) == 0);
            const auto change = static_cast<Change>(gen.Int(0, 4));
            std::string blob = oldBlobs.back();
            PackRecord info = oldInfo.back();
            switch (change) {
                case Change::Keep: break;
                case Change::SameSize:
                    if (!blob.empty()) blob[static_cast<std::size_t>(gen.Int(0, static_cast<int>(blob.size()) - 1))] ^= 0x40;
                    break;
                case Change::Shrink: blob = gen.Bytes(blob.size() / 2); break;
                case Change::Grow: blob = gen.Bytes(blob.size() + 1 + static_cast<std::size_t>(gen.Int(0, 2000))); break;
                case Change::InfoOnly: info.info4 ^= 0x10000; break;
                case Change::NotLocal: break;
            }
            unchanged.push_back(!oldAbsent.back() && blob == oldBlobs.back() && SameInfo(info, oldInfo.back()));
            newBlobs.push_back(blob);
            newInfo.push_back(info);
            newAbsent.push_back(false);
        }
        const int added = seed % 6 == 1 ? 0 : gen.Int(0, 12);
        for (int j = 0; j < added; ++j) {
            newBlobs.push_back(gen.Bytes(gen.BlobSize()));
            newInfo.push_back(gen.Info());
            newAbsent.push_back(false);
        }
        Pack oldPack = gen.Layout(oldBlobs, oldInfo, oldAbsent);
        if (seed % 4 == 3) oldPack.indexTail = gen.Bytes(static_cast<std::size_t>(gen.Int(1, 19)));
        const Pack newPack = gen.Layout(newBlobs, newInfo, newAbsent);

        testsupport::TempDir dir;
        for (const char* folder : {"old", "new", "pkg", "game"}) fs::create_directory(dir / folder);
        WritePack(dir / "old" / "0.dat", oldPack);
        WritePack(dir / "new" / "0.dat", newPack);
        WritePack(dir / "game" / "0.dat", oldPack);
        PackPatchSummary summary;
        std::wstring failure;
        ASSERT_TRUE(MakePackPatch((dir / "old" / "0.dat").wstring(), (dir / "new" / "0.dat").wstring(),
                                  (dir / "pkg" / "0.dat").wstring(), summary, failure))
            << fs::path(failure).string();
        EXPECT_EQ(summary.replaced, std::count(unchanged.begin(), unchanged.end(), false));
        EXPECT_EQ(summary.appended, added);
        EXPECT_EQ(summary.blobBytes, fs::file_size(dir / "pkg" / "0.dat"));

        ASSERT_TRUE(MergePackPatch((dir / "pkg" / "0.dat.i").wstring(), (dir / "game" / "0.dat.i").wstring(), &failure))
            << fs::path(failure).string();
        const std::string gameData = ReadFileBytes(dir / "game" / "0.dat");
        const auto merged = packtest::LoadRecords(dir / "game" / "0.dat.i");
        ASSERT_EQ(merged.size(), newPack.records.size());
        EXPECT_EQ(ReadFileBytes(dir / "game" / "0.dat.i").substr(0, kPackHeaderSize), oldPack.header);
        for (std::size_t k = 0; k < merged.size(); ++k) {
            const PackRecord& want = newPack.records[k];
            EXPECT_TRUE(BlobOf(gameData, merged[k]) == BlobOf(newPack.data, want)) << "record " << k;
            EXPECT_EQ(merged[k].size, want.size) << "record " << k;
            EXPECT_TRUE(SameInfo(merged[k], want)) << "record " << k;
            if (k < unchanged.size() && unchanged[k]) {
                EXPECT_EQ(merged[k].offset, oldPack.records[k].offset) << "record " << k;
            }
        }
    }
}

// Index-only patches: sizes and client fields follow the new index; patched
// records point at no local data, the others keep their offsets.
TEST(PackPatchMakerTest, IndexOnlyPatchReproducesTheNewIndex) {
    for (unsigned seed = 0; seed < 30; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        PackGenerator gen(seed + 1000);
        const int oldCount = seed % 5 == 0 ? 0 : gen.Int(1, 50);
        std::vector<PackRecord> oldRecords, newRecords;
        std::vector<bool> patched;
        for (int k = 0; k < oldCount; ++k) {
            PackRecord o = gen.Info();
            o.offset = static_cast<std::uint32_t>(gen.Int(0, 100000));
            o.size = static_cast<std::uint32_t>(gen.Int(0, 5000));
            PackRecord n = o;
            switch (static_cast<Change>(gen.Int(0, 5))) {
                case Change::Keep: break;
                case Change::SameSize: n.offset += 7; break;  // a moved blob alone is no index change
                case Change::Shrink: n.size /= 2; break;
                case Change::Grow: n.size += 1; break;
                case Change::InfoOnly: n.info2 ^= 4; break;
                case Change::NotLocal: n.offset = kNoLocalData; break;
            }
            patched.push_back(n.size != o.size || !SameInfo(n, o) || n.offset == kNoLocalData);
            oldRecords.push_back(o);
            newRecords.push_back(n);
        }
        for (int j = gen.Int(0, 8); j > 0; --j) newRecords.push_back(gen.Info()), patched.push_back(true);

        testsupport::TempDir dir;
        WriteFileBytes(dir / "old.i", packtest::IndexBytes(oldRecords));
        WriteFileBytes(dir / "new.i", packtest::IndexBytes(newRecords, packtest::Header('Z')));
        WriteFileBytes(dir / "game.i", packtest::IndexBytes(oldRecords));
        PackPatchSummary summary;
        std::wstring failure;
        ASSERT_TRUE(MakeIndexOnlyPatch((dir / "old.i").wstring(), (dir / "new.i").wstring(),
                                       (dir / "patch.i").wstring(), summary, failure));
        EXPECT_TRUE(summary.headerDiffers);
        ASSERT_TRUE(PatchIndexOnly((dir / "game.i").wstring(), (dir / "patch.i").wstring()));
        const auto merged = packtest::LoadRecords(dir / "game.i");
        ASSERT_EQ(merged.size(), newRecords.size());
        for (std::size_t k = 0; k < merged.size(); ++k) {
            EXPECT_EQ(merged[k].size, newRecords[k].size) << k;
            EXPECT_TRUE(SameInfo(merged[k], newRecords[k])) << k;
            EXPECT_EQ(merged[k].offset, patched[k] ? kNoLocalData : oldRecords[k].offset) << k;
        }
    }
}

TEST(PackPatchMakerTest, MissingOldPackShipsTheNewPackWhole) {
    testsupport::TempDir dir;
    fs::create_directory(dir / "game");
    const Pack newPack = MakePack("abcdef", {Rec(0, 2, 1), Rec(2, 4, 2)});
    WritePack(dir / "new.dat", newPack);
    PackPatchSummary summary;
    std::wstring failure;
    ASSERT_TRUE(MakePackPatch((dir / "absent.dat").wstring(), (dir / "new.dat").wstring(),
                              (dir / "0.dat").wstring(), summary, failure));
    EXPECT_TRUE(summary.wholePack);
    ASSERT_TRUE(MergePackPatch((dir / "0.dat.i").wstring(), (dir / "game" / "0.dat.i").wstring()));
    EXPECT_EQ(ReadFileBytes(dir / "game" / "0.dat"), newPack.data);
    EXPECT_EQ(ReadFileBytes(dir / "game" / "0.dat.i"), ReadFileBytes(dir / "new.dat.i"));
}

TEST(PackPatchMakerTest, RefusesPacksAPatchCannotExpress) {
    testsupport::TempDir dir;
    WritePack(dir / "old.dat", MakePack("abcd", {Rec(0, 2, 1), Rec(2, 2, 2)}));
    struct Case {
        const char* name;
        Pack newPack;
        std::wstring reason;
    };
    const Case cases[] = {
        {"fewer records", MakePack("ab", {Rec(0, 2, 1)}), L"fewer records"},
        {"record outside data", MakePack("abcd", {Rec(0, 2, 1), Rec(3, 2, 2)}), L"record 1 of"},
        {"record without local data", MakePack("abcd", {Rec(0, 2, 1), Rec(kNoLocalData, 2, 2)}), L"lies outside"},
    };
    for (const Case& c : cases) {
        WritePack(dir / "new.dat", c.newPack);
        PackPatchSummary summary;
        std::wstring failure;
        EXPECT_FALSE(MakePackPatch((dir / "old.dat").wstring(), (dir / "new.dat").wstring(),
                                   (dir / "patch.dat").wstring(), summary, failure))
            << c.name;
        EXPECT_NE(failure.find(c.reason), std::wstring::npos) << c.name << ": " << fs::path(failure).string();
    }
}

}  // namespace
