#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "launcher/MyThread.h"
#include "launcher/windows/LauncherRun.h"
#include "launcher/windows/UINewsWnd.h"
#include "launcher/windows/UIRegisterWnd.h"

// The launcher's pop-ups end once, whoever ends them: the player, the
// shutdown, or neither while a worker may still use them.

namespace {

using namespace windowtest;

using ChildWindowShutdownTest = LauncherRun;

TEST_F(ChildWindowShutdownTest, QuitBtnClosesTheRegisterWindowAndTheHandleGoesWithIt) {
    Run([&](LauncherFrameWnd& frame) {
        ASSERT_TRUE(frame.registerWnd);
        const HWND hwnd = frame.registerWnd.Hwnd();
        frame.registerWnd->ShowWindow(true, true);
        ASSERT_TRUE(ClickControl(*frame.registerWnd.get(), L"QuitBtn"));
        ASSERT_TRUE(PumpUntil([&] { return !platform::IsWindow(hwnd); }));
        EXPECT_FALSE(frame.registerWnd);
        // Other windows do not close on their clicks.
        ClickControl(*frame.newsWnd.get(), L"HeaderText");
        platform::PumpPendingMessages();
        EXPECT_TRUE(frame.newsWnd);
    });
    // Shutdown then finds no register window to free (sanitizer builds
    // catch a second free).
}

TEST_F(ChildWindowShutdownTest, PanelsClosedByThePlayerAreFreedOnceAndShutdownFreesTheRest) {
    Run([&](LauncherFrameWnd& frame) {
        const HWND news = frame.newsWnd.Hwnd();
        platform::SendMessageW(news, WM_CLOSE, 0, 0);
        EXPECT_FALSE(platform::IsWindow(news));
        EXPECT_FALSE(frame.newsWnd);
        EXPECT_TRUE(frame.news2Wnd && frame.topWnd);
    });
}

std::atomic<bool> gReleaseWorker{false};
std::atomic<UINewsWnd*> gPanelSeen{nullptr};
std::atomic<long> gPanelReads{0};
std::atomic<bool> gWorkerIn{false};

// A worker that ignores the stop request and keeps reading a panel it
// reached through the main window before the shutdown.
void PanelReader(LauncherFrameWnd* frame) {
    UINewsWnd* panel = nullptr;
    gWorkerIn = true;
    while (!panel && !gReleaseWorker) panel = gPanelSeen.load();
    while (!gReleaseWorker) {
        if (panel->Url().size() > 0) ++gPanelReads;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST_F(ChildWindowShutdownTest, ChildWindowsStayReadableForAWorkerThatOutlivesTheShutdown) {
    gReleaseWorker = false;
    gPanelSeen = nullptr;
    gPanelReads = 0;
    gWorkerIn = false;
    workerStopTimeoutMs = 50;
    Run([&](LauncherFrameWnd& frame) {
        ASSERT_TRUE(StartWorkerThread(&frame, &PanelReader, L"c", L"r"));
        gPanelSeen = frame.newsWnd.get();
        while (!gWorkerIn) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    // Shutdown gave up on the worker; its panel's window is gone, the object is not.
    EXPECT_EQ(WorkerGroup::Instance().Running(), 1);
    const long readsAtShutdown = gPanelReads;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GT(gPanelReads.load(), readsAtShutdown);
    gReleaseWorker = true;
    EXPECT_TRUE(WorkerGroup::Instance().WaitForAll(std::chrono::seconds(5)));
}

}  // namespace
