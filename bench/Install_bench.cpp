// Installing an update package of about 1 GiB (1024 files of 768 KiB that
// replace the game's, plus a pack patch of 192 MiB: a third written in
// place, two thirds appended to a 256 MiB pack) with the undo journal on,
// against `bsdtar -xf` of the same zip followed by `cp -a` of the tree into a
// copy of the same game folder. The game and the package are made once; each
// repetition installs into fresh copies, ours first, then the pair, each
// followed by a sync. Counters: ours_s, peer_s, unpack_s (our unpack alone)
// and journal_s (the part of ours_s the undo journal took: its records and
// flushes, the pack bytes and index it saves, its removal at the commit).
//
// INSTALL_BENCH_DIR: where the ~4 GB of files go (default: the temp folder).
// INSTALL_BENCH_SCALE: a fraction scaling every size (default 1).

#include <benchmark/benchmark.h>
#include <zip.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/InstallRound.h"
#include "launcher/update/InstallJournal.h"
#include "launcher/update/InstallPackage.h"
#include "launcher/update/PackFile.h"
#include "launcher/update/PackRecord.h"
#include "launcher/update/UnpackPackage.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Scale() {
    const char* s = std::getenv("INSTALL_BENCH_SCALE");
    return s && *s ? std::atof(s) : 1.0;
}

bool WriteFile(const fs::path& p, const std::string& bytes) {
    PackFile f;
    return f.Open(p.wstring(), PackFile::Mode::Create) && f.WriteAt(0, bytes.data(), bytes.size()) && f.Sync();
}

template <typename Record, typename Encode>
std::string IndexBytes(const std::vector<Record>& records, std::size_t size, Encode encode) {
    std::string bytes(kPackHeaderSize + records.size() * size, '\x11');
    for (std::size_t i = 0; i < records.size(); ++i)
        encode(records[i], reinterpret_cast<std::uint8_t*>(&bytes[kPackHeaderSize + i * size]));
    return bytes;
}

// The game folder and the package, made once for all repetitions and
// removed at exit.
class Setup {
public:
    Setup() {
        const double scale = Scale();
        const char* base = std::getenv("INSTALL_BENCH_DIR");
        dir = fs::path(base && *base ? base : fs::temp_directory_path().string()) /
              ("install-bench-" + std::to_string(std::random_device{}()));
        files = static_cast<std::size_t>(1024 * scale);
        const std::size_t fileSize = 768 << 10;
        const auto packRecords = static_cast<std::uint32_t>(8192 * scale);
        const std::uint32_t blob = 32 << 10;
        std::mt19937_64 rng(15);

        // The game: the files the package replaces, and the pack it patches.
        fs::create_directories(dir / "game" / "data");
        for (std::size_t i = 0; i < files; ++i)
            WriteFile(dir / "game" / ("f" + std::to_string(i) + ".bin"), bench::Bytes(fileSize, rng));
        std::vector<PackRecord> pack;
        for (std::uint32_t i = 0; i < packRecords; ++i) pack.push_back(PackRecord{i * blob, blob, 0, 0, 0, 0});
        WriteFile(dir / "game" / "data" / "0.dat", bench::Bytes(std::size_t{packRecords} * blob, rng));
        WriteFile(dir / "game" / "data" / "0.dat.i", IndexBytes(pack, kPackRecordSize, EncodePackRecord));

        // The package: new files and a patch of a quarter of the records in
        // place (same size) and as many appended (twice the size).
        zipFile zip = zipOpen64((dir / "9.upd").c_str(), APPEND_STATUS_CREATE);
        bool ok = zip != nullptr;
        for (std::size_t i = 0; ok && i < files; ++i)
            ok = bench::AddToZip(zip, "f" + std::to_string(i) + ".bin", bench::Bytes(fileSize, rng));
        std::vector<PatchRecord> patch;
        std::uint32_t at = 0;
        for (std::uint32_t i = 0; i < packRecords / 4; ++i, at += blob) patch.push_back({at, blob, 1, 1, 1, 1, i * 4});
        for (std::uint32_t i = 0; i < packRecords / 4; ++i, at += 2 * blob)
            patch.push_back({at, 2 * blob, 2, 2, 2, 2, i * 4 + 1});
        ok = ok && bench::AddToZip(zip, "data/0.dat", bench::Bytes(at, rng)) &&
             bench::AddToZip(zip, "data/0.dat.i", IndexBytes(patch, kPatchRecordSize, EncodePatchRecord));
        ok = zip && zipClose(zip, nullptr) == ZIP_OK && ok;
        made = ok && bench::RunShell("sync") == 0;
    }
    ~Setup() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    fs::path dir;
    std::size_t files = 0;
    bool made = false;
};

void BM_InstallPackage(benchmark::State& state) {
    static Setup setup;
    if (!setup.made) {
        state.SkipWithError("cannot make the game and the package");
        return;
    }
    const fs::path& dir = setup.dir;
    for (auto _ : state) {
        const bench::InstallRound round = bench::RunInstallRound(dir);
        if (!round.ours) state.SkipWithError("install failed");
        if (!round.peer) state.SkipWithError("bsdtar or cp failed");
        state.counters["ours_s"] = round.oursSeconds;
        state.counters["peer_s"] = round.peerSeconds;
        state.counters["unpack_s"] = round.unpackSeconds;
        state.counters["journal_s"] = round.journalSeconds;
    }
}

}  // namespace

BENCHMARK(BM_InstallPackage)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
