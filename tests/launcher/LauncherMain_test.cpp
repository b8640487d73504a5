#include "launcher/LauncherMain.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <wx/init.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "launcher/MyThread.h"
#include "launcher/windows/LauncherRun.h"
#include "launcher/windows/UINewsWnd.h"
#include "platform/Backend.h"
#include "platform/Com.h"

namespace {

using namespace windowtest;

class LauncherMainTest : public LauncherRun {
protected:
    void TearDown() override {
        platform::SetCoInitializeFailsForTesting(false);
        LauncherRun::TearDown();
    }
    std::string RunLog() { return testsupport::ReadFileBytes(dir_.Path() / "run.log"); }
};

TEST_F(LauncherMainTest, StartsWithItsConfigurationAndShutsDownInOrder) {
    fs::remove(dir_.Path() / "resolution.ini");
    fs::remove(dir_.Path() / "version.ini");
    bool sawFrame = false;
    EXPECT_EQ(Run([&](LauncherFrameWnd& frame) {
                  sawFrame = platform::IsWindowVisible(frame.GetHWND());
                  EXPECT_FALSE(frame.config.bbsUrl.empty());
                  EXPECT_TRUE(frame.windowReady);
                  EXPECT_TRUE(frame.serverListRequest);
              }),
              0);
    EXPECT_TRUE(sawFrame);
    EXPECT_EQ(theLauncherFrame.load(), nullptr);

    const std::string log = RunLog();
    const auto started = log.find("launcher started!\r\n");
    const auto init = log.find("launcher Init!\r\n");
    const auto finish = log.find("finish  launcher OnPrepare!\r\n");
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
    EXPECT_EQ(Run([&](LauncherFrameWnd&) { ran = true; }), 0);
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
    Run([](LauncherFrameWnd& frame) {
        ASSERT_TRUE(StartWorkerThread(&frame, &DownloadingWorker, L"c", L"r"));
        while (!gWorkerRunning) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    EXPECT_EQ(WorkerGroup::Instance().Running(), 0);
    EXPECT_GT(gWorkerTouches.load(), 1);
    // Generous: the bound is one second of waiting for workers.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
}

std::atomic<bool> gReleaseStubborn{false};
std::atomic<bool> gStubbornRunning{false};
std::atomic<bool> gStubbornEnded{false};
std::atomic<long> gStubbornReads{0};

// Ignores stop requests until the test lets it go, reading the main window
// and a panel it reached through it before the shutdown.
void StubbornWorker(LauncherFrameWnd* frame) {
    UINewsWnd* panel = frame->newsWnd.get();
    gStubbornRunning = true;
    while (!gReleaseStubborn) {
        if (!frame->updateBusy.load() && panel->Url().size() > 0) ++gStubbornReads;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    gStubbornEnded = true;
}

TEST_F(LauncherMainTest, AWorkerThatIgnoresTheStopNeverSeesTheWindowOrItsPanelsFreed) {
    gReleaseStubborn = false;
    gStubbornRunning = false;
    gStubbornEnded = false;
    gStubbornReads = 0;
    workerStopTimeoutMs = 100;
    Run([](LauncherFrameWnd& frame) {
        ASSERT_TRUE(StartWorkerThread(&frame, &StubbornWorker, L"c", L"r"));
        while (!gStubbornRunning) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    // The launcher's own workers (the server list, the update check) may be
    // still on their way out after 100 ms on a loaded machine: the count
    // holds at least the stubborn one, not exactly it.
    EXPECT_GE(WorkerGroup::Instance().Running(), 1);
    EXPECT_FALSE(gStubbornEnded);
    EXPECT_NE(RunLog().find("Warning: "), std::string::npos);
    const long readsAtShutdown = gStubbornReads;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GT(gStubbornReads.load(), readsAtShutdown);
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
