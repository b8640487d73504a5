// Changed files as deltas, against the tools a player or operator could use
// instead. Pairs come from bench/make-delta-pairs (DELTA_BENCH_PAIRS: a
// folder with old/<file> and new/<file>).
//
// Download bytes: for each pair, the bytes of our package (updatetool
// package of a tree holding the old file into one holding the new) against
// the new file zipped whole, xdelta3 -9, bsdiff and zstd --patch-from -19
// --long. Counters per pair (<pair>_ours, _zip, _xdelta3, _bsdiff, _zstd),
// and for the pair where ours fares worst against its best peer: bytes_ours
// and bytes_peer. Computed once; every repetition reports the same bytes.
//
// Apply time: installing the package of the launcher pair into a copy of
// the old tree (unpack, source check, apply, journal, flush) against
// xdelta3 -d of the same pair, each followed by a sync. Counters:
// apply_ours_s, apply_peer_s.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>

#include "launcher/update/InstallPackage.h"
#include "launcher/update/UnpackPackage.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kUpdateTool = std::string(LAUNCHER_BINARY_DIR) + "/tools/updatetool";

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }
int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }
double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

fs::path Pairs() {
    const char* dir = std::getenv("DELTA_BENCH_PAIRS");
    return dir && *dir ? fs::path(dir) : fs::path();
}

std::uintmax_t SizeOf(const fs::path& p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

// A working folder with the trees of one pair: o/<name> and n/<name>.
struct PairTrees {
    explicit PairTrees(const std::string& name) : dir(fs::temp_directory_path() / ("delta-bench-" + name)) {
        fs::remove_all(dir);
        fs::create_directories(dir / "o");
        fs::create_directories(dir / "n");
        fs::copy_file(Pairs() / "old" / name, dir / "o" / name);
        fs::copy_file(Pairs() / "new" / name, dir / "n" / name);
    }
    ~PairTrees() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    bool Package() const {
        return Run(Quote(kUpdateTool) + " package " + Quote(dir / "o") + " " + Quote(dir / "n") + " " +
                   Quote(dir / "p.upd")) == 0;
    }
    fs::path dir;
};

using Sizes = std::map<std::string, std::uintmax_t>;  // "<pair>_<tool>" -> bytes

bool MeasurePair(const std::string& name, Sizes& sizes) {
    PairTrees t(name);
    const fs::path o = t.dir / "o" / name, n = t.dir / "n" / name;
    const std::string key = [&] {
        std::string k = name;
        std::replace(k.begin(), k.end(), '.', '_');
        return k;
    }();
    bool ok = t.Package();
    ok = ok && Run("cd " + Quote(t.dir / "n") + " && bsdtar --format zip -cf ../whole.zip " + Quote(name)) == 0;
    ok = ok && Run("xdelta3 -9 -e -f -s " + Quote(o) + " " + Quote(n) + " " + Quote(t.dir / "x.vcdiff")) == 0;
    ok = ok && Run("bsdiff " + Quote(o) + " " + Quote(n) + " " + Quote(t.dir / "b.patch")) == 0;
    ok = ok && Run("zstd -q -f -19 --long --patch-from=" + Quote(o) + " " + Quote(n) + " -o " +
                   Quote(t.dir / "z.zst")) == 0;
    sizes[key + "_ours"] = SizeOf(t.dir / "p.upd");
    sizes[key + "_zip"] = SizeOf(t.dir / "whole.zip");
    sizes[key + "_xdelta3"] = SizeOf(t.dir / "x.vcdiff");
    sizes[key + "_bsdiff"] = SizeOf(t.dir / "b.patch");
    sizes[key + "_zstd"] = SizeOf(t.dir / "z.zst");
    return ok;
}

void BM_DownloadBytes(benchmark::State& state) {
    static Sizes sizes;
    static bool ok = [] {
        if (Pairs().empty() || !fs::is_directory(Pairs() / "new")) return false;
        bool all = true;
        for (const auto& e : fs::directory_iterator(Pairs() / "new")) all = MeasurePair(e.path().filename(), sizes) && all;
        return all && !sizes.empty();
    }();
    if (!ok) {
        state.SkipWithError("no pairs (DELTA_BENCH_PAIRS) or a tool failed");
        return;
    }
    for (auto _ : state) {
        double worst = 0, worstOurs = 0, worstPeer = 0;
        for (const auto& [key, bytes] : sizes) {
            state.counters[key] = static_cast<double>(bytes);
            if (!key.ends_with("_ours")) continue;
            const std::string pair = key.substr(0, key.size() - 5);
            double best = 1e300;
            for (const char* peer : {"_zip", "_xdelta3", "_bsdiff", "_zstd"}) {
                best = std::min(best, static_cast<double>(sizes[pair + peer]));
            }
            const double ratio = static_cast<double>(bytes) / best;
            if (ratio > worst) std::tie(worst, worstOurs, worstPeer) = std::tuple(ratio, bytes, best);
        }
        state.counters["bytes_ours"] = worstOurs;
        state.counters["bytes_peer"] = worstPeer;
    }
}

void BM_ApplyTime(benchmark::State& state) {
    const std::string name = "launcher";
    if (Pairs().empty() || !fs::is_regular_file(Pairs() / "new" / name)) {
        state.SkipWithError("no launcher pair (DELTA_BENCH_PAIRS)");
        return;
    }
    PairTrees t(name);
    const fs::path& dir = t.dir;
    if (!t.Package() || Run("xdelta3 -9 -e -f -s " + Quote(dir / "o" / name) + " " + Quote(dir / "n" / name) + " " +
                            Quote(dir / "x.vcdiff")) != 0) {
        state.SkipWithError("cannot make the delta package or the xdelta3 delta");
        return;
    }
    for (auto _ : state) {
        fs::create_directories(dir / "dl");
        fs::copy_file(dir / "p.upd", dir / "dl" / "1.upd");
        if (Run("cp -a " + Quote(dir / "o") + " " + Quote(dir / "game") + " && sync") != 0) {
            state.SkipWithError("cannot copy the game");
        }
        auto start = Clock::now();
        bool ok = UnpackPackage((dir / "dl" / "1").wstring(), false) &&
                  InstallUnpackedPackage((dir / "dl" / "1").wstring(), false, (dir / "game").wstring() + L"/");
        ok = Run("sync") == 0 && ok;
        const double ours = Seconds(start);
        if (!ok || Run("cmp " + Quote(dir / "game" / name) + " " + Quote(dir / "n" / name)) != 0) {
            state.SkipWithError("our install failed");
        }

        if (Run("cp -a " + Quote(dir / "o") + " " + Quote(dir / "theirs") + " && sync") != 0) {
            state.SkipWithError("cannot copy the game");
        }
        start = Clock::now();
        const bool peerOk = Run("xdelta3 -d -f -s " + Quote(dir / "theirs" / name) + " " + Quote(dir / "x.vcdiff") +
                                " " + Quote(dir / "theirs" / (name + ".new")) + " && sync") == 0;
        const double peer = Seconds(start);
        if (!peerOk) state.SkipWithError("xdelta3 -d failed");
        state.counters["apply_ours_s"] = ours;
        state.counters["apply_peer_s"] = peer;
        for (const char* leftover : {"dl", "game", "theirs"}) fs::remove_all(dir / leftover);
    }
}

}  // namespace

BENCHMARK(BM_DownloadBytes)->Iterations(1);
BENCHMARK(BM_ApplyTime)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
