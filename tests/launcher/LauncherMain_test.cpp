#include "launcher/LauncherMain.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <wx/init.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/MyThread.h"
#include "launcher/WorkerGroup.h"
#include "platform/Backend.h"
#include "platform/Com.h"
#include "platform/InstallFolder.h"
#include "platform/Window.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// Each test runs the whole launcher, headless, on a fresh copy of the demo
// installation.
class LauncherMainTest : public testing::Test {
protected:
    void SetUp() override {
        fs::copy(LAUNCHER_DEMO_DIR, dir_.Path(), fs::copy_options::recursive);
        // What a demo run left behind is not part of the installation.
        for (const char* leftover : {"run.log", "qx-launches.log"}) fs::remove(dir_.Path() / leftover);
        platform::SetInstallFolder(dir_.Folder());
        WorkerGroup::Instance().ResetForTesting();
    }
    void TearDown() override {
        platform::SetInstallFolder(L"");
        platform::SetCoInitializeFailsForTesting(false);
        WorkerGroup::Instance().ResetForTesting();
    }
    int Run(std::function<void()> whileRunning, int workerStopTimeoutMs = 1000) {
        LaunchOptions options;
        options.backend = platform::BackendChoice::Headless;
        options.workerStopTimeoutMs = workerStopTimeoutMs;
        options.onRunning = [whileRunning] {
            whileRunning();
            platform::PostQuitMessage(0);
        };
        char name[] = "launcher";
        char* argv[] = {name, nullptr};
        return LauncherMain(1, argv, options);
    }
    std::string RunLog() { return testsupport::ReadFileBytes(dir_.Path() / "run.log"); }

    testsupport::TempDir dir_;
};

TEST_F(LauncherMainTest, StartsWithItsConfigurationAndShutsDownInOrder) {
    fs::remove(dir_.Path() / "resolution.ini");
    fs::remove(dir_.Path() / "version.ini");
    bool sawFrame = false;
    std::wstring bbs;
    EXPECT_EQ(Run([&] {
                  LauncherFrameWnd* frame = theLauncherFrame;
                  ASSERT_NE(frame, nullptr);
                  sawFrame = platform::IsWindowVisible(frame->GetHWND());
                  bbs = frame->config.bbsUrl;
                  EXPECT_TRUE(frame->windowReady);
                  EXPECT_TRUE(frame->serverListRequest);
                  EXPECT_NE(frame->enterGameBtn, nullptr);
              }),
              0);
    EXPECT_TRUE(sawFrame);
    EXPECT_FALSE(bbs.empty());
    EXPECT_EQ(theLauncherFrame.load(), nullptr);

    const std::string log = RunLog();
    const auto started = log.find("launcher started!\r\n");
    const auto init = log.find("launcher Init!\r\n");
    const auto finish = log.find("finish  launcher OnPrepare!\r\n");
    ASSERT_NE(started, std::string::npos) << log;
    ASSERT_NE(init, std::string::npos) << log;
    ASSERT_NE(finish, std::string::npos) << log;
    EXPECT_LT(started, init);
    EXPECT_LT(init, finish);
    // First run: both files are seeded from qx.ini.
    EXPECT_TRUE(fs::exists(dir_.Path() / "resolution.ini"));
    EXPECT_TRUE(fs::exists(dir_.Path() / "version.ini"));
    EXPECT_FALSE(fs::exists(dir_.Path() / "Do.ini.tmp"));
    EXPECT_FALSE(fs::exists(dir_.Path() / "web.ini.tmp"));
}

TEST_F(LauncherMainTest, FailedComInitialisationEndsAtOnceWithNothingMade) {
    platform::SetCoInitializeFailsForTesting(true);
    bool ran = false;
    EXPECT_EQ(Run([&] { ran = true; }), 0);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(fs::exists(dir_.Path() / "run.log"));
    EXPECT_EQ(theLauncherFrame.load(), nullptr);
}

std::atomic<int> gWorkerTouches{0};
std::atomic<bool> gWorkerRunning{false};

// A download in progress: keeps reading the main window between steps and
// ends at the first stop request.
void DownloadingWorker(LauncherFrameWnd* frame) {
    gWorkerRunning = true;
    while (WorkerGroup::Instance().SleepFor(std::chrono::milliseconds(5))) {
        if (frame->updateBusy.load() || frame->windowReady.load()) ++gWorkerTouches;
    }
    ++gWorkerTouches;  // one last touch after the stop: the frame must still be alive
}

TEST_F(LauncherMainTest, ClosingDuringADownloadStopsTheWorkerBeforeTheWindowIsFreed) {
    gWorkerTouches = 0;
    gWorkerRunning = false;
    const auto begin = std::chrono::steady_clock::now();
    Run([] {
        ASSERT_TRUE(StartWorkerThread(theLauncherFrame, &DownloadingWorker, L"c", L"r"));
        while (!gWorkerRunning) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(WorkerGroup::Instance().Running(), 0);
    EXPECT_GT(gWorkerTouches.load(), 1);
    // Generous: the bound is one second of waiting for workers.
    EXPECT_LT(took, std::chrono::seconds(10));
}

std::atomic<bool> gReleaseStubborn{false};
std::atomic<bool> gStubbornRunning{false};
std::atomic<bool> gStubbornEnded{false};

void StubbornWorker(LauncherFrameWnd* frame) {
    gStubbornRunning = true;
    // Ignores stop requests until the test lets it go, reading the frame all along.
    while (!gReleaseStubborn) {
        (void)frame->updateBusy.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    gStubbornEnded = true;
}

TEST_F(LauncherMainTest, AWorkerThatIgnoresTheStopNeverSeesTheWindowFreed) {
    gReleaseStubborn = false;
    gStubbornRunning = false;
    gStubbornEnded = false;
    Run(
        [] {
            ASSERT_TRUE(StartWorkerThread(theLauncherFrame, &StubbornWorker, L"c", L"r"));
            while (!gStubbornRunning) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        100);
    // The launcher's own workers (the server list, the update check) may be
    // still on their way out after 100 ms on a loaded machine: the count
    // holds at least the stubborn one, not exactly it.
    EXPECT_GE(WorkerGroup::Instance().Running(), 1);
    EXPECT_FALSE(gStubbornEnded);
    EXPECT_NE(RunLog().find("Warning: "), std::string::npos);
    gReleaseStubborn = true;
    ASSERT_TRUE(WorkerGroup::Instance().WaitForAll(std::chrono::seconds(5)));
    // The launcher left wx, libcurl and the backend to the process exit;
    // with every worker gone the test finishes that shutdown, so the rest of
    // this process (and the leak checker at its end) sees them freed.
    wxUninitialize();
    curl_global_cleanup();
    platform::StopWindowBackend();
}

}  // namespace
