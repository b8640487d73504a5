// Installing many small files against few large ones: a package replacing
// 1 k, 10 k or 100 k files of 4 KiB of a game (a thousand to a folder), and
// a package of the same bytes in 8 large files, installed with the undo
// journal on, against `bsdtar -xf` of the same zip followed by `cp -a` of
// the tree into a copy of the same game. The game and the package of each
// size are made once; each repetition installs into fresh copies, ours
// first, then the pair, each followed by a sync.
//
// Counters, per size (<tag>: 1k, 10k, 100k, or 1k_in8 ... for the 8 large
// files): ours_<tag>_s and peer_<tag>_s; unpack_<tag>_s, our unpack alone,
// and journal_<tag>_s, the undo journal's own part of ours (its records,
// flushes and removal at the commit). scripts/bench prints the time per
// file of each size from them, which stays flat when the journal's work
// does not grow per file.
//
// MANY_FILES_BENCH_DIR: where the files go (default: the temp folder; the
// sizes need about 3 GB together).

#include <benchmark/benchmark.h>
#include <zip.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "bench/InstallRound.h"
#include "launcher/update/InstallJournal.h"
#include "launcher/update/InstallPackage.h"
#include "launcher/update/UnpackPackage.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kSmallFile = 4 << 10;
constexpr std::size_t kFilesPerFolder = 1000;
constexpr std::size_t kLargeFiles = 8;

std::string Tag(std::size_t files, bool large) {
    const std::string count = files % 1000 == 0 ? std::to_string(files / 1000) + "k" : std::to_string(files);
    return large ? count + "_in8" : count;
}

// The game folder and the package of one size, made once for all
// repetitions and removed at exit.
class Setup {
public:
    Setup(std::size_t files, bool large) {
        const char* base = std::getenv("MANY_FILES_BENCH_DIR");
        dir = fs::path(base && *base ? base : fs::temp_directory_path().string()) /
              ("many-files-bench-" + Tag(files, large) + "-" + std::to_string(std::random_device{}()));
        const std::size_t count = large ? kLargeFiles : files;
        const std::size_t size = large ? files * kSmallFile / kLargeFiles : kSmallFile;
        std::mt19937_64 rng(files);
        zipFile zip = zipOpen64((dir.string() + ".upd").c_str(), APPEND_STATUS_CREATE);
        bool ok = zip != nullptr;
        for (std::size_t i = 0; ok && i < count; ++i) {
            const std::string name = "d" + std::to_string(i / kFilesPerFolder) + "/f" + std::to_string(i) + ".bin";
            fs::create_directories((dir / "game" / name).parent_path());
            std::ofstream(dir / "game" / name, std::ios::binary) << bench::Bytes(size, rng);
            ok = bench::AddToZip(zip, name, bench::Bytes(size, rng));
        }
        ok = zip && zipClose(zip, nullptr) == ZIP_OK && ok;
        fs::rename(dir.string() + ".upd", dir / "9.upd");
        made = ok && bench::RunShell("sync") == 0;
    }
    ~Setup() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    Setup(const Setup&) = delete;
    Setup& operator=(const Setup&) = delete;

    fs::path dir;
    bool made = false;
};

void BM_ManyFiles(benchmark::State& state) {
    const auto files = static_cast<std::size_t>(state.range(0));
    const bool large = state.range(1) != 0;
    static std::map<std::string, std::unique_ptr<Setup>> setups;
    const std::string tag = Tag(files, large);
    auto& setup = setups[tag];
    if (!setup) setup = std::make_unique<Setup>(files, large);
    if (!setup->made) {
        state.SkipWithError("cannot make the game and the package");
        return;
    }
    const fs::path& dir = setup->dir;
    for (auto _ : state) {
        const bench::InstallRound round = bench::RunInstallRound(dir);
        if (!round.ours) state.SkipWithError("install failed");
        if (!round.peer) state.SkipWithError("bsdtar or cp failed");
        state.counters["ours_" + tag + "_s"] = round.oursSeconds;
        state.counters["peer_" + tag + "_s"] = round.peerSeconds;
        state.counters["unpack_" + tag + "_s"] = round.unpackSeconds;
        state.counters["journal_" + tag + "_s"] = round.journalSeconds;
    }
}

}  // namespace

BENCHMARK(BM_ManyFiles)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->ArgNames({"files", "in8"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
