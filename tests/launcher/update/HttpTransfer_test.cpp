#include "launcher/update/HttpTransfer.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::TestHttpServer;
using testsupport::WriteFileBytes;

constexpr char kOldList[] = "<ServerList>old</ServerList>";

class HttpTransferTest : public testing::Test {
protected:
    void SetUp() override {
        WorkerGroup::Instance().ResetForTesting();
        WriteFileBytes(dir_ / "ServerList.xml", kOldList);
    }
    void TearDown() override {
        SetStallLimitsForTesting(1024, 15);
        WorkerGroup::Instance().ResetForTesting();
    }
    bool Fetch(const std::string& path1, const std::string& path2) {
        return DownLoadServerListFile(dir_.Folder(), path1.empty() ? L"" : server_.WideUrl(path1),
                                      path2.empty() ? L"" : server_.WideUrl(path2));
    }
    void ExpectOldListKept() {
        EXPECT_EQ(ReadFileBytes(dir_ / "ServerList.xml"), kOldList);
        EXPECT_FALSE(fs::exists(dir_ / "ServerListTemp.xml"));
    }

    testsupport::TempDir dir_;
    TestHttpServer server_;
};

// The answer is the shortest list accepted: four bytes (three are refused below).
TEST_F(HttpTransferTest, FirstAddressFailingFallsBackToTheSecondInTheSamePass) {
    server_.Serve("/one", 404, "no such list");
    server_.Serve("/two", 200, "<a/>");
    EXPECT_TRUE(Fetch("/one", "/two"));
    EXPECT_EQ(server_.RequestCount("/one"), 1);
    EXPECT_EQ(server_.RequestCount("/two"), 1);
    EXPECT_EQ(ReadFileBytes(dir_ / "ServerList.xml"), "<a/>");
    EXPECT_FALSE(fs::exists(dir_ / "ServerListTemp.xml"));
}

TEST_F(HttpTransferTest, FailuresKeepTheOldListAndCountTheirAttempts) {
    struct Case {
        const char* name;
        std::function<void(TestHttpServer&)> setUp;
        const char* second;
        int firstRequests;
        int secondRequests;
    };
    const Case cases[] = {
        {"404, no second address", [](TestHttpServer& s) { s.Serve("/one", 404, "missing"); }, "", 10, 0},
        {"404 on both", [](TestHttpServer& s) {
             s.Serve("/one", 404, "missing");
             s.Serve("/two", 500, "broken");
         }, "/two", 10, 10},
        {"a redirect is not followed", [](TestHttpServer& s) {
             s.Redirect("/one", 301, "/target");
             s.Serve("/target", 200, "<ServerList>moved</ServerList>");
         }, "", 10, 0},
        {"3-byte body", [](TestHttpServer& s) { s.Serve("/one", 200, "abc"); }, "", 1, 0},
        {"truncated body", [](TestHttpServer& s) { s.Truncate("/one", std::string(2000, 'x'), 100); }, "", 10, 0},
        {"oversized body", [](TestHttpServer& s) { s.Serve("/one", 200, std::string(kServerListMaxBytes + 1, 'x')); },
         "", 10, 0},
    };
    for (const Case& c : cases) {
        testsupport::TempDir dir;
        WriteFileBytes(dir / "ServerList.xml", kOldList);
        TestHttpServer server;
        c.setUp(server);
        const std::wstring second = *c.second ? server.WideUrl(c.second) : L"";
        EXPECT_FALSE(DownLoadServerListFile(dir.Folder(), server.WideUrl("/one"), second)) << c.name;
        EXPECT_EQ(server.RequestCount("/one"), c.firstRequests) << c.name;
        if (*c.second) {
            EXPECT_EQ(server.RequestCount(c.second), c.secondRequests) << c.name;
        }
        EXPECT_EQ(server.RequestCount("/target"), 0) << c.name;
        EXPECT_EQ(ReadFileBytes(dir / "ServerList.xml"), kOldList) << c.name;
        EXPECT_FALSE(fs::exists(dir / "ServerListTemp.xml")) << c.name;
    }
}

TEST_F(HttpTransferTest, ARefusedPortFailsAndKeepsTheList) {
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(testsupport::ClosedLoopbackPort()) + L"/list.xml";
    EXPECT_FALSE(DownLoadServerListFile(dir_.Folder(), url, L""));
    ExpectOldListKept();
}

TEST_F(HttpTransferTest, AStalledServerIsAbandoned) {
    SetStallLimitsForTesting(1024, 1);
    server_.Stall("/one", std::string(5000, 'x'), 10);
    CURL* handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
    auto result = std::async(std::launch::async, [&] {
        return DownloadToFile(handle, server_.WideUrl("/one"), (dir_ / "out").wstring(), 1, nullptr);
    });
    // Without the stall limit the transfer would wait for the server forever.
    ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_FALSE(result.get());
    curl_easy_cleanup(handle);
}

TEST_F(HttpTransferTest, AShutdownRequestEndsAStalledTransfer) {
    server_.Stall("/one", std::string(5000, 'x'), 10);
    auto result = std::async(std::launch::async, [&] { return Fetch("/one", ""); });
    ASSERT_TRUE(server_.WaitForRequests("/one", 1));
    const auto asked = std::chrono::steady_clock::now();
    WorkerGroup::Instance().RequestStop();
    // The stall limit (15 s) is far off; only the shutdown check ends it.
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(10));
    EXPECT_FALSE(result.get());
    EXPECT_EQ(server_.RequestCount("/one"), 1);  // no further passes after the stop
    ExpectOldListKept();
}

TEST_F(HttpTransferTest, DownloadToFileWritesTheBodyAndAcceptsOnly200) {
    server_.Serve("/ok", 200, "body bytes");
    server_.Serve("/gone", 404, "nope");
    CURL* handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
    const fs::path out = dir_ / "out.bin";
    EXPECT_TRUE(DownloadToFile(handle, server_.WideUrl("/ok"), out.wstring(), 1, nullptr));
    EXPECT_EQ(ReadFileBytes(out), "body bytes");
    EXPECT_FALSE(DownloadToFile(handle, server_.WideUrl("/gone"), out.wstring(), 1, nullptr));
    // A file that cannot be created fails before any request.
    EXPECT_FALSE(DownloadToFile(handle, server_.WideUrl("/ok"), (dir_ / "no" / "such" / "x").wstring(), 1, nullptr));
    EXPECT_EQ(server_.RequestCount("/ok"), 1);
    curl_easy_cleanup(handle);
}

TEST(HttpHeaderCallback, StoresContentLengthAndConsumesEveryLine) {
    struct Case {
        std::string line;
        long expected;
    };
    const Case cases[] = {{"Content-Length: 1234\r\n", 1234}, {"Content-Type: text/xml\r\n", -1},
                          {"content-length: 5\r\n", -1}, {"Content-Length: x\r\n", -1}};
    for (const Case& c : cases) {
        long value = -1;
        std::string buffer = c.line;
        EXPECT_EQ(HeaderCallback(buffer.data(), 1, buffer.size(), &value), buffer.size()) << c.line;
        EXPECT_EQ(value, c.expected) << c.line;
    }
}

TEST(ProbeFileSize, SizesFilesAndReportsWhatIsNoFile) {
    testsupport::TempDir dir;
    WriteFileBytes(dir / "four", "1234");
    fs::create_directory(dir / "folder");
    EXPECT_EQ(ProbeFileSizeOf((dir / "four").wstring()), 4u);
    // Without a run log nothing is written, the answer is the same.
    EXPECT_EQ(ProbeFileSizeOf((dir / "folder").wstring()), 1u);

    auto log = RunLog::Open((dir / "run.log").wstring());
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(ProbeFileSizeOf((dir / "folder").wstring()), 1u);
    EXPECT_EQ(ProbeFileSizeOf((dir / "missing").wstring()), 1u);
    log.reset();
    const std::string text = ReadFileBytes(dir / "run.log");
    const std::string folderLine = "pathList.xml " + (dir / "folder").string() + " error in update server";
    const std::string missingLine = "pathList.xml " + (dir / "missing").string() + " error in update server";
    EXPECT_NE(text.find(folderLine), std::string::npos) << text;
    EXPECT_NE(text.find(missingLine), std::string::npos) << text;
    EXPECT_NE(text.find("HttpTransfer.cpp("), std::string::npos) << text;
}

}  // namespace
