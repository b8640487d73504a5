#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/LauncherMain.h"
#include "launcher/WorkerGroup.h"
#include "launcher/config/SetupStore.h"
#include "launcher/serverlist/SelectedServer.h"
#include "launcher/serverlist/UIServerListWnd.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "platform/InstallFolder.h"
#include "platform/Process.h"
#include "platform/Input.h"
#include "platform/Window.h"
#include "support/TempDir.h"
#include "toolkit/ListUI.h"
#include "toolkit/OptionUI.h"

namespace {

namespace fs = std::filesystem;

POINT Centre(const DuiLib::CControlUI* control) {
    const RECT r = control->GetPos();
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The whole launcher, headless, on a copy of the demo installation with its
// stand-in game client, which records how it was started.
class EnterGameTest : public testing::Test {
protected:
    void SetUp() override {
        fs::copy(LAUNCHER_DEMO_DIR, dir_.Path(), fs::copy_options::recursive);
        for (const char* leftover : {"run.log", "qx-launches.log"}) fs::remove(dir_.Path() / leftover);
        platform::SetInstallFolder(dir_.Folder());
        WorkerGroup::Instance().ResetForTesting();
        SetupStore::ResetForTesting();
        SelectedServer::ResetForTesting();
    }
    void TearDown() override {
        platform::SetInstallFolder(L"");
        WorkerGroup::Instance().ResetForTesting();
        SetupStore::ResetForTesting();
        SelectedServer::ResetForTesting();
    }
    int Run(std::function<void(LauncherFrameWnd&)> whileRunning) {
        LaunchOptions options;
        options.backend = platform::BackendChoice::Headless;
        options.onRunning = [whileRunning] {
            if (LauncherFrameWnd* frame = theLauncherFrame) whileRunning(*frame);
            platform::PostQuitMessage(0);
        };
        char name[] = "launcher";
        char* argv[] = {name, nullptr};
        return LauncherMain(1, argv, options);
    }
    // The stand-in client's record, once it has written it.
    std::string Launches() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::string log;
        while (std::chrono::steady_clock::now() < deadline) {
            log = fs::exists(dir_ / "qx-launches.log") ? testsupport::ReadFileBytes(dir_ / "qx-launches.log") : "";
            if (log.find("ServerSid=") != std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return log;
    }

    testsupport::TempDir dir_;
};

TEST_F(EnterGameTest, PickThenEnterGameStartsTheClientWithThatServer) {
    std::wstring preselected;
    int rows = 0;
    const int exitCode = Run([&](LauncherFrameWnd& frame) {
        UIUpdateWnd* pane = frame.updateWnd.get();
        UIServerListWnd* popup = frame.serverListWnd.get();
        ASSERT_TRUE(pane && popup && pane->ServerBtn() && popup->List() && frame.enterGameBtn);
        preselected = pane->ServerBtn()->GetText().GetData();
        platform::InjectClick(pane->GetHWND(), Centre(pane->ServerBtn()));
        ASSERT_TRUE(platform::IsWindowVisible(popup->GetHWND()));
        rows = popup->List()->GetCount();
        platform::InjectClick(popup->GetHWND(), Centre(popup->List()->GetItemAt(1)));
        EXPECT_FALSE(platform::IsWindowVisible(popup->GetHWND()));
        platform::InjectClick(frame.GetHWND(), Centre(frame.enterGameBtn));
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

TEST_F(EnterGameTest, NextRunPreselectsThePick) {
    Run([&](LauncherFrameWnd& frame) {
        UIUpdateWnd* pane = frame.updateWnd.get();
        ASSERT_TRUE(pane && pane->ServerBtn());
        platform::InjectClick(pane->GetHWND(), Centre(pane->PaintManager().FindControl(L"WServer")));
        platform::InjectClick(pane->GetHWND(), Centre(pane->ServerBtn()));
        UIServerListWnd* popup = frame.serverListWnd.get();
        platform::InjectClick(popup->GetHWND(), Centre(popup->List()->GetItemAt(2)));
    });
    SetupStore::ResetForTesting();
    std::wstring shown;
    Run([&](LauncherFrameWnd& frame) { shown = frame.updateWnd->ServerBtn()->GetText().GetData(); });
    EXPECT_EQ(shown, L"昆仑墟");
    EXPECT_FALSE(fs::exists(dir_ / "qx-launches.log")) << "no client without Enter Game";
}

TEST_F(EnterGameTest, TinyLocalListIsNotShown) {
    testsupport::WriteFileBytes(dir_ / "ServerList.xml", "<a/");
    bool empty = false;
    std::wstring shown;
    Run([&](LauncherFrameWnd& frame) {
        empty = frame.updateWnd->Areas().empty();
        shown = frame.updateWnd->ServerBtn()->GetText().GetData();
        EXPECT_TRUE(frame.serverListFile.IsEmpty());
    });
    EXPECT_TRUE(empty);
    EXPECT_EQ(shown, L"选择服务器");
}

}  // namespace
