// The update library against servers that break the connection at random
// byte offsets (status line and headers included) or answer one byte at a
// time: a package arrives exactly or not at all, progress keeps moving, and
// a cancel returns within the contract's second without the fetching
// thread spinning while it waits for bytes.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include <atomic>
#include <ctime>
#include <map>
#include <memory>
#include <thread>

#include "faults/DemoGame.h"
#include "faults/FaultChild.h"
#include "faults/FlakyServer.h"
#include "liveupdate/CancelToken.h"
#include "liveupdate/LivePatch.h"
#include "liveupdate/PackageFetcher.h"
#include "liveupdate/UpdateLog.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using faulttest::FlakyServer;
using faulttest::Misbehaviour;
using testsupport::ReadFileBytes;

constexpr auto kCancelBound = 1s;  // LivePatch::Cancel's contract

std::string Bytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t x = seed * 2654435761u + 7;
    for (char& c : bytes) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

PackageSource SourceOf(const std::string& bytes, const std::string& url) {
    PackageSource source;
    source.urls = {url};
    source.size = bytes.size();
    crypto_hash_sha256(source.sha256.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return source;
}

// The protocol's attempts per URL with short pauses, so many runs fit.
FetchLimits QuickRetries() {
    FetchLimits limits;
    limits.firstPause = 5ms;
    limits.stallTime = 2s;
    return limits;
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct CutRow {
    const char* name;
    std::size_t size;
    unsigned seed;
    bool reset;
};

// Each run is what one RunPatch does for the package (the protocol's three
// attempts); the launcher runs again after a failed one, so runs repeat
// until the package is there. Every run must leave a true prefix or the
// exact package, never other bytes.
TEST(BrokenServer, CutsAtRandomOffsetsEndInTheExactPackage) {
    const CutRow rows[] = {
        {"small package, closed", 3'000, 1, false},
        {"small package, reset", 3'000, 2, true},
        {"large package, closed", 400'000, 3, false},
        {"large package, reset", 400'000, 4, true},
    };
    for (const CutRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string bytes = Bytes(row.size, row.seed);
        FlakyServer server({{"/p.upd", bytes}}, Misbehaviour{Misbehaviour::CutAtRandom, row.seed, row.reset, {}});
        testsupport::TempDir dir;
        UpdateLog log(dir.Path());
        CancelToken cancel;
        PackageFetcher fetcher(log, cancel, QuickRetries());
        const fs::path partial = dir / "updatecache/p.upd";
        bool done = false;
        int runs = 0;
        for (; runs < 300 && !done; ++runs) {
            std::string failure;
            done = fetcher.FetchPackage(SourceOf(bytes, server.Url("/p.upd")), partial, nullptr, failure);
            const std::string kept = ReadFileBytes(partial);
            ASSERT_LE(kept.size(), bytes.size());
            ASSERT_TRUE(kept == bytes.substr(0, kept.size())) << "run " << runs << " kept other bytes";
            if (done) {
                EXPECT_EQ(kept.size(), bytes.size());
            }
        }
        EXPECT_TRUE(done) << runs << " runs, " << server.Cuts() << " cuts";
        EXPECT_GT(server.Cuts(), 0);
        RecordProperty(std::string(row.name) + " runs", runs);
    }
}

// Progress seen by the fetcher's callback, from another thread.
struct Watch {
    std::atomic<std::uint64_t> latest{0};
    std::atomic<int> calls{0};
    std::atomic<bool> backwards{false};
};

TEST(BrokenServer, ByteByBytePackageProgressesAndCancelsWithinASecond) {
    const std::string bytes = Bytes(50'000, 9);
    FlakyServer server({{"/p.upd", bytes}}, Misbehaviour{Misbehaviour::ByteByByte, 0, false, 2ms});
    testsupport::TempDir dir;
    UpdateLog log(dir.Path());
    CancelToken cancel;
    PackageFetcher fetcher(log, cancel, FetchLimits{});
    Watch watch;
    std::atomic<bool> returned{false};
    Clock::time_point returnedAt;
    bool ok = true;
    std::string failure;
    std::thread fetching([&] {
        ok = fetcher.FetchPackage(
            SourceOf(bytes, server.Url("/p.upd")), dir / "updatecache/p.upd",
            [&](std::uint64_t present) {
                if (present < watch.latest) watch.backwards = true;
                watch.latest = present;
                ++watch.calls;
            },
            failure);
        returnedAt = Clock::now();
        returned = true;
    });
    // Progress moves while the bytes trickle in, and waiting for them costs
    // little processor time (a spinning loop would take a whole core).
    while (watch.latest == 0 && !returned) std::this_thread::sleep_for(5ms);
    const std::uint64_t first = watch.latest;
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = Clock::now();
    std::this_thread::sleep_for(1500ms);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    EXPECT_GT(watch.latest.load(), first);
    EXPECT_FALSE(watch.backwards);
    EXPECT_LT(cpu, wall / 2) << cpu << " s of processor time in " << wall << " s";
    ASSERT_FALSE(returned) << failure;

    const auto cancelledAt = Clock::now();
    cancel.Cancel();
    fetching.join();
    EXPECT_LT(returnedAt - cancelledAt, kCancelBound);
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure, "cancelled");
    const std::string kept = ReadFileBytes(dir / "updatecache/p.upd");
    EXPECT_TRUE(kept == bytes.substr(0, kept.size())) << "a cancel keeps a true prefix";
}

struct PatchRelease {
    void operator()(LivePatch* patch) const { patch->Release(); }
};

// The built library in the demo installation, its site served byte by
// byte: a cancel in the check and in the run returns within a second.
TEST(BrokenServer, ByteByByteSiteCancelsTheLibraryWithinASecond) {
    if (const std::string why = faulttest::DemoGame::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    struct Row {
        const char* name;
        bool inRun;  // else during CheckServer
    } rows[] = {{"check", false}, {"run", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::TempDir dir;
        std::map<std::string, std::string> site;
        const fs::path siteDir = faulttest::DemoGame::BuildDir() / "site";
        for (const auto& entry : fs::recursive_directory_iterator(siteDir)) {
            if (entry.is_regular_file()) {
                site["/" + fs::relative(entry.path(), siteDir).generic_string()] = ReadFileBytes(entry.path());
            }
        }
        // The check's two small files come quickly enough for the run row.
        FlakyServer server(site, Misbehaviour{Misbehaviour::ByteByByte, 0, false, row.inRun ? 1ms : 20ms});
        faulttest::DemoGame game(dir / "install", server.Url("/"));
        void* module = dlopen((game.Folder() / "LiveUpdate.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto get = reinterpret_cast<GetLivePatchFn>(dlsym(module, "GetLivePatch"));
        ASSERT_NE(get, nullptr);
        std::unique_ptr<LivePatch, PatchRelease> patch(get());
        static std::atomic<int> progressEvents;
        progressEvents = 0;
        patch->onEvent = [](const wchar_t* path, std::int32_t, std::int32_t, bool isFile, void*, bool) {
            if (path && !isFile) ++progressEvents;
        };
        std::atomic<bool> returned{false};
        Clock::time_point returnedAt;
        bool result = true;
        std::thread running([&] {
            const std::string url = server.Url("/version_newStyle.xml");
            const std::wstring manifest(url.begin(), url.end());
            result = patch->CheckServer(manifest.c_str(), L"1.0.0.1");
            if (row.inRun && result) result = patch->RunPatch(L"1.0.0.1", L"1.0.0.1");
            returnedAt = Clock::now();
            returned = true;
        });
        if (row.inRun) {
            ASSERT_TRUE(faulttest::WaitUntil([&] { return progressEvents >= 2 || returned; }, 60s));
        } else {
            ASSERT_TRUE(faulttest::WaitUntil([&] { return server.BytesSent() > 100 || returned; }, 10s));
        }
        ASSERT_FALSE(returned) << "the " << row.name << " ended before the cancel";
        const auto cancelledAt = Clock::now();
        patch->Cancel();
        running.join();
        EXPECT_FALSE(result);
        EXPECT_LT(returnedAt - cancelledAt, kCancelBound);
        patch.reset();
        dlclose(module);
    }
}

}  // namespace
