#include <gtest/gtest.h>

#include "launcher/config/SetupStore.h"
#include "launcher/serverlist/SelectedServer.h"
#include "launcher/serverlist/UIServerListWnd.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/windows/LauncherRun.h"
#include "toolkit/ListUI.h"
#include "toolkit/OptionUI.h"

namespace {

using namespace windowtest;

// The whole launcher on the demo installation, whose stand-in game client
// really runs and records how it was started.
class EnterGameTest : public LauncherRun {
protected:
    void SetUp() override {
        LauncherRun::SetUp();
        platform::SetLaunchHookForTesting(nullptr);
        SetupStore::ResetForTesting();
        SelectedServer::ResetForTesting();
    }
    void TearDown() override {
        LauncherRun::TearDown();
        SetupStore::ResetForTesting();
        SelectedServer::ResetForTesting();
    }
    // The stand-in client's record, once it has written it.
    std::string Launches() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::string log;
        while (std::chrono::steady_clock::now() < deadline) {
            log = testsupport::ReadFileBytes(dir_ / "qx-launches.log");
            if (log.find("ServerSid=") != std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return log;
    }
};

TEST_F(EnterGameTest, PickThenEnterGameStartsTheClientWithThatServer) {
    std::wstring preselected;
    int rows = 0;
    const int exitCode = Run([&](LauncherFrameWnd& frame) {
        UIUpdateWnd* pane = frame.updateWnd.get();
        UIServerListWnd* popup = frame.serverListWnd.get();
        ASSERT_TRUE(pane && popup && pane->ServerBtn() && popup->List() && frame.enterGameBtn);
        preselected = pane->ServerBtn()->GetText().GetData();
        platform::InjectClick(pane->GetHWND(), CentreOf(pane->ServerBtn()));
        ASSERT_TRUE(platform::IsWindowVisible(popup->GetHWND()));
        rows = popup->List()->GetCount();
        platform::InjectClick(popup->GetHWND(), CentreOf(popup->List()->GetItemAt(1)));
        EXPECT_FALSE(platform::IsWindowVisible(popup->GetHWND()));
        platform::InjectClick(frame.GetHWND(), CentreOf(frame.enterGameBtn));
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(preselected, L"青龙殿") << "first start: the first server of area 0";
    EXPECT_EQ(rows, 3);

    const std::string log = Launches();
    EXPECT_NE(log.find("qx.exe started with: ws\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ServerAddr=198.51.100.12\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ServerPort=7001\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ChargeUrl=198.51.100.200\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ServerSid=102\n"), std::string::npos) << log;
}

}  // namespace
