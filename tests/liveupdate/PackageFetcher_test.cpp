// The fetcher against a loopback server: what a small fetch accepts, and
// how a package survives drops, lying servers, stalls and cancel.

#include "liveupdate/PackageFetcher.h"

#include <gtest/gtest.h>

#include "liveupdate/CancelToken.h"
#include "liveupdate/UpdateLog.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {

using namespace std::chrono_literals;
using testsupport::TestHttpServer;

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
};

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

}  // namespace
