#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "DesktopSupport.h"
#include "platform/Window.h"

namespace {

class NullProc : public platform::WindowProc {
public:
    LRESULT WindowProcedure(HWND, UINT msg, WPARAM, LPARAM) override {
        if (msg == WM_MOVE) ++moves;
        return msg == WM_NCHITTEST ? HTCLIENT : 0;
    }
    int moves = 0;
};

using testsupport::XGeometry;

TEST(DesktopWindowTest, WindowAppearsAtItsScreenPositionWithItsSize) {
    NullProc proc;
    HWND hwnd = platform::CreateWindowExW(0, L"UISmokeFrame", L"smoke-window", WS_POPUP | WS_VISIBLE,
                                          123, 77, 240, 130, nullptr, &proc);
    ASSERT_NE(hwnd, nullptr);
    int x = -1, y = -1, w = -1, h = -1;
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        return XGeometry("smoke-window", x, y, w, h) && x == 123 && y == 77;
    })) << "at " << x << "," << y;
    EXPECT_EQ(w, 240);
    EXPECT_EQ(h, 130);

    platform::MoveWindow(hwnd, 300, 200, 240, 130, true);
    EXPECT_TRUE(testsupport::PumpUntil([&] {
        return XGeometry("smoke-window", x, y, w, h) && x == 300 && y == 200;
    })) << "at " << x << "," << y;
    platform::DestroyWindow(hwnd);
    EXPECT_TRUE(testsupport::PumpUntil([] {
        return testsupport::Capture("xdotool search --name '^smoke-window$' 2>/dev/null").empty();
    }));
}

}  // namespace

namespace {

// Regression: a pop-up hidden right after it was created (as the launcher
// does with its server list) and moved while hidden must appear, at the
// layer's position, when it is shown again.
TEST(DesktopWindowTest, PopupHiddenAtCreationAppearsWhereItWasMovedWhenShown) {
    NullProc ownerProc, popupProc;
    HWND owner = platform::CreateWindowExW(0, L"UIOwnerFrame", L"owner-window", WS_POPUP | WS_VISIBLE,
                                           50, 50, 400, 300, nullptr, &ownerProc);
    HWND popup = platform::CreateWindowExW(0, L"UIPopupFrame", L"hidden-popup", WS_POPUP | WS_VISIBLE,
                                           60, 60, 120, 80, owner, &popupProc);
    platform::ShowWindow(popup, SW_HIDE);
    testsupport::PumpUntil([] { return false; }, 300);  // let GTK deliver the late map events
    platform::SetWindowPos(popup, nullptr, 200, 150, -1, -1, SWP_NOSIZE | SWP_NOZORDER);
    platform::ShowWindow(popup, SW_SHOW);
    int x = -1, y = -1, w = -1, h = -1;
    EXPECT_TRUE(testsupport::PumpUntil([&] {
        return testsupport::XGeometry("hidden-popup", x, y, w, h) && x == 200 && y == 150;
    })) << "at " << x << "," << y;
    platform::DestroyWindow(owner);
}

}  // namespace

namespace {

class OrderProc : public platform::WindowProc {
public:
    LRESULT WindowProcedure(HWND, UINT msg, WPARAM, LPARAM) override {
        if (msg == WM_PAINT || msg == WM_FIRSTSHOWN) seen.push_back(msg);
        return msg == WM_NCHITTEST ? HTCLIENT : 0;
    }
    std::vector<UINT> seen;
};

// A window's start-up work waits for its first frame, so the player sees
// the main window before its pop-ups are made; one shown and hidden again
// before it was ever drawn is still told, once.
TEST(DesktopWindowTest, FirstShownComesOnceAfterTheFirstPaintOrWithoutOne) {
    OrderProc drawn, hidden;
    HWND a = platform::CreateWindowExW(0, L"UIOrderFrame", L"drawn-window", WS_POPUP | WS_VISIBLE, 40, 40, 200,
                                       100, nullptr, &drawn);
    HWND b = platform::CreateWindowExW(0, L"UIOrderFrame", L"hidden-window", WS_POPUP | WS_VISIBLE, 40, 200, 200,
                                       100, nullptr, &hidden);
    platform::ShowWindow(b, SW_HIDE);
    auto shown = [](const OrderProc& p) { return std::count(p.seen.begin(), p.seen.end(), WM_FIRSTSHOWN); };
    ASSERT_TRUE(testsupport::PumpUntil([&] { return shown(drawn) == 1 && shown(hidden) == 1; }));
    EXPECT_EQ(drawn.seen.front(), WM_PAINT);
    platform::InvalidateRect(a, nullptr, false);
    platform::ShowWindow(b, SW_SHOW);
    testsupport::PumpUntil([] { return false; }, 500);
    EXPECT_EQ(shown(drawn), 1);
    EXPECT_EQ(shown(hidden), 1);
    platform::DestroyWindow(a);
    platform::DestroyWindow(b);
}

}  // namespace

namespace {

// Regression: the loop ran posted tasks for as long as any were queued, so a
// worker posting faster than its tasks ran kept GTK from ever running; a
// window created then was never mapped or painted (a slow wait condition in
// a desktop test did the same).
TEST(DesktopWindowTest, AQueueThatNeverRunsDryStillLetsWindowsPaint) {
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        while (!stop) {
            platform::PostUiTask([] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); });
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    // The flood's own tasks keep the loop turning; PumpUntil's final drain
    // would never end while it runs.
    auto runFor = [](std::chrono::milliseconds limit, const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        return platform::RunModalLoop([&] { return done() || std::chrono::steady_clock::now() >= deadline; }) && done();
    };
    runFor(std::chrono::milliseconds(50), [] { return false; });  // the queue fills first
    OrderProc proc;
    HWND hwnd = platform::CreateWindowExW(0, L"UIOrderFrame", L"flooded-window", WS_POPUP | WS_VISIBLE, 60, 60,
                                          160, 90, nullptr, &proc);
    const bool painted = runFor(std::chrono::seconds(3), [&] {
        return std::count(proc.seen.begin(), proc.seen.end(), WM_PAINT) > 0;
    });
    stop = true;
    flood.join();
    platform::PumpPendingMessages();
    EXPECT_TRUE(painted);
    platform::DestroyWindow(hwnd);
}

}  // namespace
