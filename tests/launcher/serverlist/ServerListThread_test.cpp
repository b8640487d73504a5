#include "launcher/serverlist/ServerListThread.h"

#include <gtest/gtest.h>

#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/windows/LauncherRun.h"
#include "support/TestHttpServer.h"

// The launcher, headless, fetching its server list from a local server at
// start-up.

namespace {

using namespace windowtest;
using testsupport::TestHttpServer;

constexpr char kFreshList[] = R"(<?xml version="1.0" encoding="utf-8"?>
<tarno>
    <area pid="7" name="新区">
        <server sid="701" name="新服一" address="192.0.2.1" chargeIp="192.0.2.9" port="7001" state="1"/>
        <server sid="702" name="新服二" address="192.0.2.2" chargeIp="192.0.2.9" port="7001" state="1"/>
    </area>
</tarno>
)";

constexpr char kFailure[] = "DownLoadServerListFile faiure!";
constexpr char kSuccess[] = "DownLoadServerListFile success!";
constexpr char kConnectError[] = "Connect to the server list of errors!";

class ServerListThreadTest : public LauncherRun {
protected:
    void SetUp() override {
        LauncherRun::SetUp();
        ResetServerListDoneForTesting();
    }
    // Points the installation's two addresses at the test server (a plain
    // Do.ini is read as it is).
    void PointAt(const std::string& path1, const std::string& path2 = "") {
        testsupport::WriteFileBytes(dir_ / "Do.ini", "[Addr]\r\nServerListUrl1=" + server.Url(path1) +
                                                         "\r\nServerListUrl2=" +
                                                         (path2.empty() ? "" : server.Url(path2)) + "\r\n");
    }
    std::string Log() { return testsupport::ReadFileBytes(dir_ / "run.log"); }
    std::string LocalList() { return testsupport::ReadFileBytes(dir_ / "ServerList.xml"); }
    // Runs the launcher until the server-list thread has finished and
    // returns the pane's area count then.
    size_t RunUntilListThreadEnds(bool* buttonEnabled = nullptr) {
        size_t areas = 0;
        Run([&](LauncherFrameWnd& frame) {
            // The update thread finds no update library in the demo
            // installation and ends; the button waits for it too.
            ASSERT_TRUE(PumpLongUntil([&] { return ServerListDone() && !frame.updateThreadRunning; }));
            platform::PumpPendingMessages();
            areas = frame.updateWnd ? frame.updateWnd->Areas().size() : 0;
            if (buttonEnabled) *buttonEnabled = frame.enterGameBtn && frame.enterGameBtn->IsEnabled();
            EXPECT_FALSE(frame.serverListRequest);
        });
        return areas;
    }

    TestHttpServer server;
};

TEST_F(ServerListThreadTest, AFreshListReplacesTheLocalOneAndIsShown) {
    server.Serve("/list.xml", 200, kFreshList);
    PointAt("/list.xml");
    bool enabled = false;
    EXPECT_EQ(RunUntilListThreadEnds(&enabled), 1u);
    EXPECT_EQ(LocalList(), kFreshList);
    EXPECT_FALSE(fs::exists(dir_ / "ServerListTemp.xml"));
    const std::string log = Log();
    EXPECT_NE(log.find(kSuccess), std::string::npos) << log;
    EXPECT_EQ(log.find(kConnectError), std::string::npos) << log;
    // With the update thread gone, the finished list thread gives the button back.
    EXPECT_TRUE(enabled);
}

struct OutcomeCase {
    const char* name;
    const char* localList;  // null: none on disk; "demo": the demo's own
    bool serverUp;
    const char* answer;
    size_t areas;
    const char* firstLine;
    bool connectError;
};

class ServerListOutcomeTest : public ServerListThreadTest, public testing::WithParamInterface<OutcomeCase> {};

TEST_P(ServerListOutcomeTest, FailuresAndUnreadableAnswersKeepTheStartUpList) {
    const OutcomeCase& c = GetParam();
    if (!c.localList) {
        fs::remove(dir_ / "ServerList.xml");
    } else if (std::string(c.localList) != "demo") {
        testsupport::WriteFileBytes(dir_ / "ServerList.xml", c.localList);
    }
    const std::string before = fs::exists(dir_ / "ServerList.xml") ? LocalList() : "";
    if (c.serverUp) {
        server.Serve("/list.xml", 200, c.answer);
        PointAt("/list.xml");
    } else {
        server.Serve("/list.xml", 404, "");
        PointAt("/missing.xml", "/list.xml");
    }
    const size_t areas = RunUntilListThreadEnds();
    const std::string log = Log();
    EXPECT_EQ(areas, c.areas) << log;
    const auto first = log.find(c.firstLine);
    ASSERT_NE(first, std::string::npos) << log;
    const auto error = log.find(kConnectError);
    if (c.connectError) {
        ASSERT_NE(error, std::string::npos) << log;
        EXPECT_LT(first, error);
    } else {
        EXPECT_EQ(error, std::string::npos) << log;
    }
    if (c.serverUp) {
        EXPECT_EQ(LocalList(), c.answer);  // what was fetched is kept, as fetched
    } else {
        EXPECT_EQ(server.RequestCount("/missing.xml"), 10);
        EXPECT_EQ(server.RequestCount("/list.xml"), 10);
        if (c.localList) {
            EXPECT_EQ(LocalList(), before);
        } else {
            EXPECT_FALSE(fs::exists(dir_ / "ServerList.xml"));
        }
    }
    EXPECT_FALSE(fs::exists(dir_ / "ServerListTemp.xml"));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ServerListOutcomeTest,
    testing::Values(OutcomeCase{"NoLocalListNoServer", nullptr, false, nullptr, 0, kFailure, true},
                    OutcomeCase{"LocalListNoServer", "demo", false, nullptr, 3, kFailure, false},
                    OutcomeCase{"ThreeByteLocalListNotLoaded", "abc", false, nullptr, 0, kFailure, true},
                    OutcomeCase{"UnreadableDownload", "demo", true, "this is no document", 3, kSuccess, true}),
    [](const testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

TEST_F(ServerListThreadTest, EnterGameIsDisabledWhileTheListIsFetched) {
    server.Stall("/list.xml", std::string(4000, 'x'), 10);
    PointAt("/list.xml");
    Run([&](LauncherFrameWnd& frame) {
        // The worker hands its work to this thread: keep its messages flowing.
        ASSERT_TRUE(PumpLongUntil([&] { return server.RequestCount("/list.xml") >= 1; }));
        ASSERT_NE(frame.enterGameBtn, nullptr);
        ASSERT_TRUE(PumpLongUntil([&] { return !frame.enterGameBtn->IsEnabled(); }));
        EXPECT_FALSE(ServerListDone());
    });
    // The shutdown ended the stalled transfer; the old list stays.
    EXPECT_EQ(LocalList(), testsupport::ReadFileBytes(fs::path(LAUNCHER_DEMO_DIR) / "ServerList.xml"));
    EXPECT_FALSE(fs::exists(dir_ / "ServerListTemp.xml"));
}

TEST_F(ServerListThreadTest, AnUpdateThreadStillRunningKeepsEnterGameDisabled) {
    // The list arrives slowly, so the stand-in update thread is marked as
    // running long before the list thread ends.
    server.Slow("/list.xml", kFreshList, 40, std::chrono::milliseconds(200));
    PointAt("/list.xml");
    startUpdateThread = false;
    bool enabled = true;
    Run([&](LauncherFrameWnd& frame) {
        // The worker hands its work to this thread: keep its messages flowing.
        ASSERT_TRUE(PumpLongUntil([&] { return server.RequestCount("/list.xml") >= 1; }));
        frame.updateThreadRunning = true;
        ASSERT_TRUE(PumpLongUntil([] { return ServerListDone(); }));
        platform::PumpPendingMessages();
        enabled = frame.enterGameBtn->IsEnabled();
        frame.updateThreadRunning = false;
    });
    EXPECT_FALSE(enabled);
    EXPECT_EQ(LocalList(), kFreshList);
}

}  // namespace
