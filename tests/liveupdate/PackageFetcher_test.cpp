// The fetcher against a loopback server: what a small fetch accepts, and
// how a package survives drops, lying servers, stalls and cancel.

#include "liveupdate/PackageFetcher.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "liveupdate/CancelToken.h"
#include "liveupdate/PackageBytes.h"
#include "liveupdate/UpdateLog.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ReadFileBytes;
using testsupport::TestHttpServer;
using liveupdatetest::PackageBytes;
using testsupport::WriteFileBytes;

PackageSource SourceOf(const std::string& bytes, std::vector<std::string> urls) {
    PackageSource source;
    source.urls = std::move(urls);
    source.size = bytes.size();
    crypto_hash_sha256(source.sha256.data(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return source;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

FetchLimits ShortLimits() {
    FetchLimits limits;
    limits.connectTimeout = 5s;
    limits.stallTime = 300ms;
    limits.attemptsPerUrl = 2;
    limits.firstPause = 10ms;
    return limits;
}

class PackageFetcherTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    UpdateLog log{dir.Path()};
    CancelToken cancel;
    TestHttpServer server;
    PackageFetcher fetcher{log, cancel, ShortLimits()};
    std::filesystem::path partial = dir / "cache/p.upd";

    bool Fetch(const PackageSource& source, std::string& failure) {
        return fetcher.FetchPackage(source, partial, nullptr, failure);
    }

    std::vector<testsupport::HttpRequestRecord> RequestsFor(const std::string& path) const {
        std::vector<testsupport::HttpRequestRecord> found;
        for (const auto& record : server.RequestLog()) {
            if (record.path == path) found.push_back(record);
        }
        return found;
    }

    std::string LogText() const { return ReadFileBytes(log.Path()); }
};

// Each row serves one package in a way that must still end with exactly
// its bytes in the partial file.
struct ArrivalRow {
    const char* name;
    std::size_t prefix;  // bytes of the package already in the partial file
    bool garbagePrefix;  // those bytes are wrong
    void (*serve)(TestHttpServer& server, const std::string& bytes);
    const char* firstRange;  // the first request's Range, "" for none
    int requests;
};

TEST_F(PackageFetcherTest, PackageArrivesWhole) {
    const ArrivalRow rows[] = {
        {"plain", 0, false, [](TestHttpServer& s, const std::string& b) { s.Serve("/p.upd", 200, b); }, "", 1},
        {"resumed from a partial file", 70'000, false,
         [](TestHttpServer& s, const std::string& b) { s.Serve("/p.upd", 200, b); }, "bytes=70000-", 1},
        {"dropped, then resumed", 0, false,
         [](TestHttpServer& s, const std::string& b) { s.DropAfter("/p.upd", b, 100'000); }, "", 2},
        {"range ignored: restarted from byte 0", 70'000, true,
         [](TestHttpServer& s, const std::string& b) {
             s.Serve("/p.upd", 200, b);
             s.SetIgnoreRange("/p.upd", true);
         },
         "bytes=70000-", 1},
        {"no length announced", 0, false,
         [](TestHttpServer& s, const std::string& b) { s.ServeChunked("/p.upd", b); }, "", 1},
    };
    const std::string bytes = PackageBytes(300'000);
    for (const ArrivalRow& row : rows) {
        SCOPED_TRACE(row.name);
        TestHttpServer rowServer;
        row.serve(rowServer, bytes);
        std::filesystem::remove(partial);
        if (row.prefix > 0) {
            std::filesystem::create_directories(partial.parent_path());
            WriteFileBytes(partial, row.garbagePrefix ? PackageBytes(row.prefix, 7) : bytes.substr(0, row.prefix));
        }
        std::vector<std::uint64_t> reports;
        std::string failure;
        EXPECT_TRUE(fetcher.FetchPackage(SourceOf(bytes, {rowServer.Url("/p.upd")}), partial,
                                         [&](std::uint64_t present) { reports.push_back(present); }, failure))
            << failure;
        EXPECT_TRUE(ReadFileBytes(partial) == bytes);
        const auto requests = rowServer.RequestLog();
        ASSERT_EQ(static_cast<int>(requests.size()), row.requests);
        EXPECT_EQ(requests.front().range, row.firstRange);
        if (row.requests > 1) {
            EXPECT_TRUE(Contains(requests.back().range, "bytes=")) << requests.back().range;
            EXPECT_EQ(requests.back().status, 206);
        }
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back(), bytes.size());
        if (row.garbagePrefix) {
            EXPECT_TRUE(std::find(reports.begin(), reports.end(), 0u) != reports.end());
            EXPECT_TRUE(Contains(LogText(), "restarted from byte 0"));
        }
    }
}

// Each row is one way a server fails a package; with a good mirror behind
// it, the mirror's bytes must be what arrives.
struct BadServerRow {
    const char* name;
    void (*serve)(TestHttpServer& server, const std::string& bytes);
    const char* cause;  // in the attempt's log line
};

TEST_F(PackageFetcherTest, BadServerFailsItsAttemptsAndTheMirrorDelivers) {
    const BadServerRow rows[] = {
        {"not found", [](TestHttpServer& s, const std::string&) { s.Serve("/p.upd", 404, "gone"); },
         "HTTP status 404"},
        {"other bytes of the same size",
         [](TestHttpServer& s, const std::string& b) { s.Serve("/p.upd", 200, PackageBytes(b.size(), 9)); },
         "SHA-256 differs: got "},
        {"longer file announced",
         [](TestHttpServer& s, const std::string& b) { s.Serve("/p.upd", 200, b + "tail"); },
         "the server's file has 200004 bytes, more than the package's 200000"},
        {"more than the size, length unannounced",
         [](TestHttpServer& s, const std::string& b) { s.ServeChunked("/p.upd", b + "tail"); },
         "the server sent more than the package's 200000 bytes"},
        {"shorter file, length unannounced",
         [](TestHttpServer& s, const std::string& b) { s.ServeChunked("/p.upd", b.substr(1)); },
         "the transfer ended at 199999 of 200000 bytes"},
        {"redirect to another scheme",
         [](TestHttpServer& s, const std::string&) { s.Redirect("/p.upd", 302, "ftp://127.0.0.1/p.upd"); },
         "redirected to ftp://127.0.0.1/p.upd, which is neither http nor https"},
        {"too many redirects",
         [](TestHttpServer& s, const std::string&) {
             for (int i = 0; i < 6; ++i) s.Redirect("/r" + std::to_string(i), 302, "/r" + std::to_string(i + 1));
             s.Redirect("/p.upd", 302, "/r0");
         },
         "more than 5 redirects"},
    };
    const std::string bytes = PackageBytes(200'000);
    TestHttpServer mirror;
    mirror.Serve("/m/p.upd", 200, bytes);
    for (const BadServerRow& row : rows) {
        SCOPED_TRACE(row.name);
        TestHttpServer bad;
        row.serve(bad, bytes);
        std::filesystem::remove(partial);
        std::filesystem::remove(log.Path());
        std::string failure;
        EXPECT_TRUE(Fetch(SourceOf(bytes, {bad.Url("/p.upd"), mirror.Url("/m/p.upd")}), failure)) << failure;
        EXPECT_TRUE(ReadFileBytes(partial) == bytes);
        EXPECT_EQ(bad.RequestCount("/p.upd"), ShortLimits().attemptsPerUrl);
        const std::string text = LogText();
        EXPECT_TRUE(Contains(text, row.cause)) << text;
        EXPECT_TRUE(Contains(text, "trying the next URL")) << text;
        EXPECT_TRUE(Contains(text, "fetched " + mirror.Url("/m/p.upd") + ": 200000 bytes, SHA-256 verified")) << text;
    }
}

TEST_F(PackageFetcherTest, EveryUrlFailingLeavesNoWrongBytes) {
    const std::string bytes = PackageBytes(50'000);
    server.Serve("/a.upd", 200, PackageBytes(50'000, 3));
    server.ServeChunked("/b.upd", bytes + "x");
    std::string failure;
    EXPECT_FALSE(Fetch(SourceOf(bytes, {server.Url("/a.upd"), server.Url("/b.upd")}), failure));
    EXPECT_FALSE(std::filesystem::exists(partial));
    EXPECT_TRUE(Contains(failure, "every URL failed (2 URLs, 2 attempts each); last: " + server.Url("/b.upd")))
        << failure;
}

// The pauses double over a URL's attempts with up to 50 % jitter, the step
// to the next URL pauses as the next retry would, and after the last URL
// the fetch fails without a pause. The log gives each pause to 10 ms.
TEST_F(PackageFetcherTest, RetryPausesGrowAndCarryOverToTheNextUrl) {
    struct Pause {
        const char* kind;  // the words before the pause in the attempt's line
        double least;      // seconds, as logged
        double most;
    };
    const Pause expected[] = {
        {"retrying in ", 0.02, 0.03},
        {"retrying in ", 0.04, 0.06},
        {"trying the next URL in ", 0.08, 0.12},
        {"retrying in ", 0.02, 0.03},
        {"retrying in ", 0.04, 0.06},
    };
    server.Serve("/a.upd", 404, "gone");
    server.Serve("/b.upd", 404, "gone");
    FetchLimits limits = ShortLimits();
    limits.attemptsPerUrl = 3;
    limits.firstPause = 20ms;
    PackageFetcher pacedFetcher(log, cancel, limits);
    const std::string bytes = PackageBytes(1000);
    std::string failure;
    EXPECT_FALSE(pacedFetcher.FetchPackage(SourceOf(bytes, {server.Url("/a.upd"), server.Url("/b.upd")}), partial,
                                           nullptr, failure));

    std::vector<std::string> failedLines;
    const std::string text = LogText();
    for (std::size_t at = text.find(" failed: "); at != std::string::npos; at = text.find(" failed: ", at + 1)) {
        failedLines.push_back(text.substr(at, text.find('\n', at) - at));
    }
    ASSERT_EQ(failedLines.size(), std::size(expected) + 1) << text;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const std::string& line = failedLines[i];
        const std::size_t at = line.find(expected[i].kind);
        ASSERT_NE(at, std::string::npos) << line;
        const double seconds = std::stod(line.substr(at + std::strlen(expected[i].kind)));
        EXPECT_GE(seconds, expected[i].least - 1e-9) << line;
        EXPECT_LE(seconds, expected[i].most + 1e-9) << line;
    }
    EXPECT_FALSE(Contains(failedLines.back(), "retrying") || Contains(failedLines.back(), "next URL"))
        << "no pause after the last URL: " << failedLines.back();
}

TEST_F(PackageFetcherTest, StalledTransferKeepsItsPrefixForTheNextRun) {
    const std::string bytes = PackageBytes(100'000);
    server.Stall("/p.upd", bytes, 30'000);
    std::string failure;
    EXPECT_FALSE(Fetch(SourceOf(bytes, {server.Url("/p.upd")}), failure));
    EXPECT_TRUE(Contains(failure, "stalled: fewer than 1024 bytes/s for 0.3 s")) << failure;
    // The stall route ignores the range the second attempt asks for, so it
    // restarts; either way what is kept is a true prefix.
    const std::string kept = ReadFileBytes(partial);
    EXPECT_EQ(kept.size(), 30'000u);
    EXPECT_TRUE(kept == bytes.substr(0, kept.size()));
}

TEST_F(PackageFetcherTest, CompletePartialFileNeedsNoRequest) {
    const std::string bytes = PackageBytes(10'000);
    server.Serve("/p.upd", 200, bytes);
    std::filesystem::create_directories(partial.parent_path());
    WriteFileBytes(partial, bytes);
    std::string failure;
    EXPECT_TRUE(Fetch(SourceOf(bytes, {server.Url("/p.upd")}), failure)) << failure;
    EXPECT_EQ(server.RequestCount("/p.upd"), 0);

    // Longer than the package, or as long but other bytes: fetched afresh.
    for (const std::string& stale : {bytes + "x", PackageBytes(10'000, 5)}) {
        WriteFileBytes(partial, stale);
        EXPECT_TRUE(Fetch(SourceOf(bytes, {server.Url("/p.upd")}), failure)) << failure;
        EXPECT_TRUE(ReadFileBytes(partial) == bytes);
        EXPECT_EQ(RequestsFor("/p.upd").back().range, "");
    }
}


TEST_F(PackageFetcherTest, SmallFetchKeepsTheBodyWithinItsLimit) {
    server.Serve("/m.xml", 200, "manifest");
    struct Row {
        std::size_t limit;
        bool ok;
    } rows[] = {{8, true}, {100, true}, {7, false}};
    for (const Row& row : rows) {
        std::string body = "stale";
        std::string failure;
        EXPECT_EQ(fetcher.FetchSmall(server.Url("/m.xml"), row.limit, body, failure), row.ok) << row.limit;
        EXPECT_EQ(body, row.ok ? "manifest" : "") << row.limit;
        if (!row.ok) {
            EXPECT_NE(failure.find("longer than 7 bytes"), std::string::npos) << failure;
        }
    }
}

TEST_F(PackageFetcherTest, SmallFetchCountsOnlyStatus200) {
    server.Serve("/gone.xml", 404, "not here");
    server.Serve("/empty.xml", 204, "");
    for (const char* path : {"/gone.xml", "/empty.xml", "/unknown.xml"}) {
        std::string body;
        std::string failure;
        EXPECT_FALSE(fetcher.FetchSmall(server.Url(path), 1024, body, failure)) << path;
        EXPECT_TRUE(body.empty()) << path;
        EXPECT_NE(failure.find("HTTP status"), std::string::npos) << failure;
        EXPECT_NE(failure.find(server.Url(path)), std::string::npos) << failure;
    }
}

TEST_F(PackageFetcherTest, SpeedIsMeasuredWhileBytesArrive) {
    const std::string bytes = PackageBytes(400'000);
    server.Slow("/p.upd", bytes, 20'000, 50ms);
    std::atomic<bool> done{false};
    std::string failure;
    bool ok = false;
    std::thread fetching([&] {
        ok = Fetch(SourceOf(bytes, {server.Url("/p.upd")}), failure);
        done = true;
    });
    std::int32_t fastest = 0;
    while (!done) {
        fastest = std::max(fastest, fetcher.CurrentSpeed());
        std::this_thread::sleep_for(20ms);  // sampling, not synchronisation
    }
    fetching.join();
    EXPECT_TRUE(ok) << failure;
    EXPECT_GT(fastest, 0);
    EXPECT_EQ(fetcher.CurrentSpeed(), 0);
}

struct CancelRow {
    const char* name;
    void (*serve)(TestHttpServer& server, const std::string& bytes);
};

// Cancel from another thread ends a transfer that would never finish by
// itself, and a long pause between attempts.
TEST_F(PackageFetcherTest, CancelEndsTheFetchPromptly) {
    const CancelRow rows[] = {
        {"during a stalled transfer", [](TestHttpServer& s, const std::string& b) { s.Stall("/p.upd", b, 1000); }},
        {"during the pause before a retry",
         [](TestHttpServer& s, const std::string&) { s.Serve("/p.upd", 404, "gone"); }},
    };
    const std::string bytes = PackageBytes(100'000);
    for (const CancelRow& row : rows) {
        SCOPED_TRACE(row.name);
        TestHttpServer rowServer;
        row.serve(rowServer, bytes);
        CancelToken rowCancel;
        FetchLimits limits = ShortLimits();
        limits.stallTime = std::chrono::hours(1);
        limits.firstPause = std::chrono::hours(1);
        PackageFetcher rowFetcher(log, rowCancel, limits);
        std::chrono::steady_clock::time_point cancelled;
        std::thread canceller([&] {
            rowServer.WaitForRequests("/p.upd", 1);
            cancelled = std::chrono::steady_clock::now();
            rowCancel.Cancel();
        });
        std::string failure;
        EXPECT_FALSE(rowFetcher.FetchPackage(SourceOf(bytes, {rowServer.Url("/p.upd")}), partial, nullptr, failure));
        const auto returned = std::chrono::steady_clock::now();
        canceller.join();
        EXPECT_EQ(failure, "cancelled");
        // Only the time from the cancel counts: the launcher's shutdown
        // waits on it, however long the set-up took.
        EXPECT_LT(returned - cancelled, 1s);
        EXPECT_EQ(rowServer.RequestCount("/p.upd"), 1);
    }
}

TEST(CancelToken, WakesASleeperAndStaysCancelled) {
    CancelToken token;
    EXPECT_TRUE(token.SleepFor(1ms));
    std::thread sleeper([&] { EXPECT_FALSE(token.SleepFor(std::chrono::hours(1))); });
    token.Cancel();
    sleeper.join();
    EXPECT_TRUE(token.IsCancelled());
    EXPECT_FALSE(token.SleepFor(std::chrono::hours(1)));
}

}  // namespace
