// Merging a large patch into a large game pack: 20,000 patch records (a
// third replaced in place, a third moved to the end, a third appended;
// 32 KiB per blob on average, 655,360,000 blob bytes) into a 1 GiB pack, the
// data file's flush included, next to `dd conv=fdatasync` writing the same
// byte count into the same folder. The files are made once; each repetition
// merges into a fresh copy of the game pack. Counters: ours_s, peer_s (dd),
// and our blob bytes per second.
//
// Needs about 3.5 GB in PACK_BENCH_DIR (default: the temp folder); the
// files are removed afterwards.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "launcher/update/PackFile.h"
#include "launcher/update/PackPatch.h"
#include "launcher/update/PackRecord.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kPackBytes = 1ull << 30;
constexpr std::uint32_t kPackRecords = 32768;        // 32 KiB each on average
constexpr std::uint32_t kPatchRecords = 20000;
constexpr std::uint64_t kPatchBlobBytes = 655360000;  // 20,000 x 32 KiB
constexpr std::uint64_t kSpaceNeeded = 3500ull << 20;

class BenchFolder {
public:
    BenchFolder() {
        const char* base = std::getenv("PACK_BENCH_DIR");
        path_ = fs::path(base && *base ? base : fs::temp_directory_path().string()) /
                ("pack-merge-bench-" + std::to_string(std::random_device{}()));
        fs::create_directories(path_);
    }
    ~BenchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// Writes `records` (header first) as an index file of `recordSize` bytes per record.
template <typename Record, typename Encode>
bool WriteIndex(const fs::path& path, const std::vector<Record>& records, std::size_t recordSize, Encode encode) {
    std::vector<std::uint8_t> bytes(kPackHeaderSize + records.size() * recordSize, 0x11);
    for (std::size_t i = 0; i < records.size(); ++i) encode(records[i], bytes.data() + kPackHeaderSize + i * recordSize);
    PackFile out;
    return out.Open(path.wstring(), PackFile::Mode::Create) && out.WriteAt(0, bytes.data(), bytes.size()) && out.Sync();
}

// A data file of `total` bytes of varied content, written in large blocks.
bool WriteData(const fs::path& path, std::uint64_t total, std::mt19937_64& rng) {
    std::vector<std::uint8_t> block(8u << 20);
    for (auto& b : block) b = static_cast<std::uint8_t>(rng());
    PackFile out;
    if (!out.Open(path.wstring(), PackFile::Mode::Create)) return false;
    for (std::uint64_t at = 0; at < total; at += block.size()) {
        block[at / block.size() % block.size()] ^= 0x5A;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), total - at));
        if (!out.WriteAt(at, block.data(), n)) return false;
    }
    return out.Sync();
}

// Sizes in [lo, hi] that add up to exactly `total`.
std::vector<std::uint32_t> SizesSummingTo(std::size_t n, std::uint64_t total, std::uint32_t spread, std::mt19937_64& rng) {
    const std::uint64_t mean = total / n;
    std::vector<std::uint32_t> sizes(n, static_cast<std::uint32_t>(mean));
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        const auto d = static_cast<std::uint32_t>(rng() % spread);
        sizes[i] += d;
        sizes[i + 1] -= d;
    }
    sizes.back() += static_cast<std::uint32_t>(total - mean * n);
    std::shuffle(sizes.begin(), sizes.end(), rng);
    return sizes;
}

struct MergeSetup {
    fs::path gameIndex;
    fs::path packageIndex;
};

bool BuildFiles(const fs::path& dir, MergeSetup& setup) {
    std::mt19937_64 rng(20240607);
    fs::create_directories(dir / "game");
    fs::create_directories(dir / "pkg");

    // The game pack: 1 GiB of blobs back to back.
    const auto gameSizes = SizesSummingTo(kPackRecords, kPackBytes, 16384, rng);
    std::vector<PackRecord> game(kPackRecords);
    std::uint64_t at = 0;
    for (std::uint32_t k = 0; k < kPackRecords; ++k) {
        game[k] = PackRecord{static_cast<std::uint32_t>(at), gameSizes[k], 1, 2, k, 4};
        at += gameSizes[k];
    }

    // The patch: distinct slots for the in-place and moved thirds, the rest appended.
    const std::uint32_t inPlace = kPatchRecords / 3;
    const std::uint32_t moved = kPatchRecords / 3;
    const std::uint32_t appended = kPatchRecords - inPlace - moved;
    std::vector<std::uint32_t> slots(kPackRecords);
    std::iota(slots.begin(), slots.end(), 0u);
    std::shuffle(slots.begin(), slots.end(), rng);
    std::vector<PatchRecord> patch;
    std::uint64_t fixedBytes = 0;
    for (std::uint32_t i = 0; i < inPlace + moved; ++i) {
        const std::uint32_t old = game[slots[i]].size;
        const std::uint32_t size = i < inPlace ? old - static_cast<std::uint32_t>(rng() % (old / 2))
                                               : old + 1 + static_cast<std::uint32_t>(rng() % 16384);
        patch.push_back(PatchRecord{0, size, 7, 7, i, 7, slots[i]});
        fixedBytes += size;
    }
    for (std::uint32_t size : SizesSummingTo(appended, kPatchBlobBytes - fixedBytes, 16384, rng)) {
        patch.push_back(PatchRecord{0, size, 8, 8, 8, 8, kPackRecords + 5});
    }
    std::shuffle(patch.begin(), patch.end(), rng);
    std::uint64_t offset = 0;
    for (PatchRecord& p : patch) {
        p.offset = static_cast<std::uint32_t>(offset);
        offset += p.size;
    }

    setup.gameIndex = dir / "game" / "0.dat.i";
    setup.packageIndex = dir / "pkg" / "0.dat.i";
    return WriteData(dir / "game" / "0.dat", kPackBytes, rng) &&
           WriteIndex(setup.gameIndex, game, kPackRecordSize, EncodePackRecord) &&
           WriteData(dir / "pkg" / "0.dat", kPatchBlobBytes, rng) &&
           WriteIndex(setup.packageIndex, patch, kPatchRecordSize, EncodePatchRecord);
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

int Run(const std::string& command) { return std::system(command.c_str()); }

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

void BM_MergePackPatch(benchmark::State& state) {
    static BenchFolder folder;
    static MergeSetup setup;
    static int made = 0;  // 1 made, -1 failed
    if (made == 0) {
        std::error_code ec;
        const auto space = fs::space(folder.Path(), ec);
        made = !ec && space.available >= kSpaceNeeded && BuildFiles(folder.Path(), setup) &&
                       Run("cp -a " + Quote(folder.Path() / "game") + " " + Quote(folder.Path() / "pristine")) == 0
                   ? 1
                   : -1;
    }
    if (made < 0) {
        state.SkipWithError("cannot write the benchmark packs (3.5 GB needed in PACK_BENCH_DIR)");
        return;
    }
    const fs::path& dir = folder.Path();
    for (auto _ : state) {
        // A fresh game pack, flushed, so the merge pays only for its own writes.
        fs::remove_all(dir / "game");
        if (Run("cp -a " + Quote(dir / "pristine") + " " + Quote(dir / "game") + " && sync") != 0) {
            state.SkipWithError("cannot copy the game pack");
            return;
        }
        auto start = std::chrono::steady_clock::now();
        const bool merged = MergePackPatch(setup.packageIndex.wstring(), setup.gameIndex.wstring());
        const double ours = Seconds(start);
        if (!merged) {
            state.SkipWithError("merge failed");
            return;
        }
        const fs::path ddFile = dir / "dd.out";
        start = std::chrono::steady_clock::now();
        const bool wrote = Run("dd if=/dev/zero of=" + Quote(ddFile) + " bs=1M count=" +
                               std::to_string(kPatchBlobBytes / 1048576) + " conv=fdatasync status=none") == 0;
        const double peer = Seconds(start);
        fs::remove(ddFile);
        if (!wrote) {
            state.SkipWithError("dd failed");
            return;
        }
        state.counters["ours_s"] = ours;
        state.counters["peer_s"] = peer;
        state.counters["MB_per_s"] = static_cast<double>(kPatchBlobBytes) / 1e6 / ours;
    }
}

BENCHMARK(BM_MergePackPatch)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
