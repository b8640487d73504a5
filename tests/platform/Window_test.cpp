#include "platform/Window.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "platform/Display.h"
#include "platform/Input.h"

namespace platform {
namespace {

struct Message {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Records every message; individual answers can be scripted per message.
class RecordingProc : public WindowProc {
public:
    // Windows must not outlive their proc: destroy what is left, quietly.
    ~RecordingProc() override {
        onMessage = nullptr;
        for (HWND hwnd : created) DestroyWindow(hwnd);
    }
    LRESULT WindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_NCCREATE) created.push_back(hwnd);
        log.push_back({hwnd, msg, wParam, lParam});
        if (onMessage) {
            LRESULT result = 0;
            if (onMessage(hwnd, msg, wParam, lParam, result)) return result;
        }
        if (msg == WM_NCHITTEST) return hitTest;
        return 0;
    }
    std::vector<UINT> Kinds() const {
        std::vector<UINT> kinds;
        for (auto& m : log) kinds.push_back(m.msg);
        return kinds;
    }
    std::vector<Message> Only(UINT msg) const {
        std::vector<Message> out;
        for (auto& m : log) {
            if (m.msg == msg) out.push_back(m);
        }
        return out;
    }
    std::vector<Message> log;
    std::vector<HWND> created;
    LRESULT hitTest = HTCLIENT;
    std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)> onMessage;
};

class WindowLayerTest : public testing::Test {
protected:
    void SetUp() override {
        InitUiThread();
        ResetWindowLayer();
    }
    void TearDown() override { ResetWindowLayer(); }
};

TEST_F(WindowLayerTest, CreationSendsMessagesInDesktopOrder) {
    RecordingProc proc;
    HWND hwnd = CreateWindowExW(0, L"UITestFrame", L"title", WS_POPUP | WS_VISIBLE, 10, 20, 300,
                                200, nullptr, &proc);
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(proc.Kinds(),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
    EXPECT_EQ(proc.Only(WM_SIZE)[0].lParam, MAKELPARAM(300, 200));
    EXPECT_EQ(proc.Only(WM_MOVE)[0].lParam, MAKELPARAM(10, 20));
    RECT r;
    ASSERT_TRUE(GetWindowRect(hwnd, &r));
    EXPECT_EQ(r, (RECT{10, 20, 310, 220}));
    ASSERT_TRUE(GetClientRect(hwnd, &r));
    EXPECT_EQ(r, (RECT{0, 0, 300, 200}));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(GetClassNameW(hwnd), L"UITestFrame");
}

TEST_F(WindowLayerTest, CreateRefusedByItsProcLeavesNoWindow) {
    RecordingProc proc;
    proc.onMessage = [](HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) {
        if (msg != WM_CREATE) return false;
        result = -1;
        return true;
    };
    EXPECT_EQ(CreateWindowExW(0, L"X", L"", WS_VISIBLE, 0, 0, 10, 10, nullptr, &proc), nullptr);
    EXPECT_EQ(proc.Kinds().back(), WM_NCDESTROY);
}

TEST_F(WindowLayerTest, DestroyTakesOwnedWindowsFirstAndKillsHandleBeforeFinalMessage) {
    RecordingProc ownerProc, popupProc;
    std::vector<std::pair<HWND, UINT>> order;
    HWND owner = CreateWindowExW(0, L"O", L"", 0, 0, 0, 100, 100, nullptr, &ownerProc);
    HWND popup = CreateWindowExW(0, L"P", L"", 0, 0, 0, 10, 10, owner, &popupProc);
    bool aliveDuringFinal = true;
    auto track = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_DESTROY || msg == WM_NCDESTROY) order.emplace_back(hwnd, msg);
        if (msg == WM_NCDESTROY) aliveDuringFinal = IsWindow(hwnd);
        return false;
    };
    ownerProc.onMessage = track;
    popupProc.onMessage = track;
    ASSERT_EQ(GetParent(popup), owner);
    EXPECT_TRUE(DestroyWindow(owner));
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{popup, WM_DESTROY},
                                                          {popup, WM_NCDESTROY},
                                                          {owner, WM_DESTROY},
                                                          {owner, WM_NCDESTROY}}));
    EXPECT_FALSE(aliveDuringFinal);
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(DestroyWindow(owner));
    // Handles are never reused, so a stale one never reaches a new window.
    RecordingProc fresh;
    HWND again = CreateWindowExW(0, L"O", L"", 0, 0, 0, 1, 1, nullptr, &fresh);
    EXPECT_NE(again, owner);
    EXPECT_NE(again, popup);
}

TEST_F(WindowLayerTest, GeometryMessagesOnlyForWhatChanged) {
    RecordingProc proc;
    HWND hwnd = CreateWindowExW(0, L"W", L"", 0, 0, 0, 100, 50, nullptr, &proc);
    struct Step {
        std::function<void()> act;
        std::vector<UINT> expected;
    };
    const std::vector<Step> steps = {
        {[&] { MoveWindow(hwnd, 5, 6, 100, 50, false); }, {WM_MOVE}},
        {[&] { MoveWindow(hwnd, 5, 6, 120, 50, false); }, {WM_SIZE}},
        {[&] { MoveWindow(hwnd, 5, 6, 120, 50, false); }, {}},
        {[&] { SetWindowPos(hwnd, nullptr, 40, 41, -1, -1, SWP_NOSIZE | SWP_NOZORDER); }, {WM_MOVE}},
        {[&] { SetWindowPos(hwnd, nullptr, 0, 0, 10, 10, SWP_NOMOVE); }, {WM_SIZE}},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        proc.log.clear();
        steps[i].act();
        EXPECT_EQ(proc.Kinds(), steps[i].expected) << "step " << i;
    }
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r, (RECT{40, 41, 50, 51}));
    POINT p{45, 50};
    ScreenToClient(hwnd, &p);
    EXPECT_EQ(p, (POINT{5, 9}));
}

TEST_F(WindowLayerTest, MinimiseAndRestoreKeepTheRestoreRectangle) {
    RecordingProc proc;
    HWND hwnd = CreateWindowExW(0, L"W", L"", WS_VISIBLE, 30, 40, 200, 100, nullptr, &proc);
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_EQ(proc.log.back().msg, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(proc.log.back().wParam, SIZE_MINIMIZED);
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsIconic(hwnd));
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r, (RECT{30, 40, 230, 140}));
    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(IsZoomed(hwnd));
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r, GetScreenRect());
    ShowWindow(hwnd, SW_RESTORE);
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r, (RECT{30, 40, 230, 140}));
}

TEST_F(WindowLayerTest, PostedMessagesAndTasksRunInPostingOrderUntilQuit) {
    RecordingProc proc;
    HWND hwnd = CreateWindowExW(0, L"W", L"", 0, 0, 0, 1, 1, nullptr, &proc);
    proc.log.clear();
    std::vector<int> order;
    proc.onMessage = [&](HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
        if (msg == WM_USER) order.push_back(static_cast<int>(wParam));
        return false;
    };
    PostMessageW(hwnd, WM_USER, 1, 0);
    PostUiTask([&] { order.push_back(2); });
    PostMessageW(hwnd, WM_USER, 3, 0);
    PostQuitMessage(7);
    PostUiTask([&] { order.push_back(99); });  // after the quit: never runs in this loop
    EXPECT_EQ(RunMessageLoop(), 7);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(QuitRequested());
}

TEST_F(WindowLayerTest, APostedQuitEndsTheLoopWithoutReachingTheWindow) {
    RecordingProc proc;
    HWND hwnd = CreateWindowExW(0, L"W", L"", 0, 0, 0, 1, 1, nullptr, &proc);
    bool quitSeen = false;
    proc.onMessage = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_QUIT) quitSeen = true;
        return false;
    };
    EXPECT_TRUE(PostMessageW(hwnd, WM_QUIT, 4, 0));
    EXPECT_EQ(RunMessageLoop(), 4);
    EXPECT_FALSE(quitSeen);
}

TEST_F(WindowLayerTest, MessageForADestroyedWindowIsDropped) {
    RecordingProc proc;
    HWND hwnd = CreateWindowExW(0, L"W", L"", 0, 0, 0, 1, 1, nullptr, &proc);
    PostMessageW(hwnd, WM_USER, 0, 0);
    DestroyWindow(hwnd);
    proc.log.clear();
    EXPECT_EQ(PumpPendingMessages(), 1);
    EXPECT_TRUE(proc.log.empty());
}

TEST_F(WindowLayerTest, NestedModalLoopsEndInnermostFirstAndQuitUnwindsAll) {
    std::vector<std::string> events;
    bool innerDone = false;
    bool outerDone = false;
    PostUiTask([&] {
        events.push_back("outer running");
        PostUiTask([&] { innerDone = true; });
        EXPECT_TRUE(RunModalLoop([&] { return innerDone; }));
        events.push_back("inner returned");
        outerDone = true;
    });
    EXPECT_TRUE(RunModalLoop([&] { return outerDone; }));
    EXPECT_EQ(events, (std::vector<std::string>{"outer running", "inner returned"}));

    // A quit posted inside a nested loop ends it and every loop around it.
    bool innerEndedByQuit = false;
    PostUiTask([&] {
        PostQuitMessage(3);
        innerEndedByQuit = !RunModalLoop([] { return false; });
    });
    EXPECT_EQ(RunMessageLoop(), 3);
    EXPECT_TRUE(innerEndedByQuit);
}

TEST_F(WindowLayerTest, TasksFromWorkerThreadsRunOnTheUiThreadInEachThreadsOrder) {
    constexpr int kThreads = 4;
    constexpr int kTasks = 500;
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<int> offUiThread{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([t, &seen, &offUiThread] {
            for (int i = 0; i < kTasks; ++i) {
                PostUiTask([t, i, &seen, &offUiThread] {
                    if (!IsUiThread()) ++offUiThread;
                    seen[t].push_back(i);
                });
            }
        });
    }
    std::thread quitter([&workers] {
        for (auto& w : workers) w.join();
        PostQuitMessage(0);
    });
    EXPECT_EQ(RunMessageLoop(), 0);
    quitter.join();
    EXPECT_EQ(offUiThread.load(), 0);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kTasks));
        for (int i = 0; i < kTasks; ++i) ASSERT_EQ(seen[t][i], i);
    }
}

TEST_F(WindowLayerTest, CaptionPressDragsTheWindowOtherPressesReachTheClient) {
    RecordingProc proc;
    HWND hwnd = CreateWindowExW(0, L"W", L"", WS_VISIBLE, 100, 100, 200, 100, nullptr, &proc);
    // Only the top strip is a caption, as a window's own hit test would say.
    proc.onMessage = [hwnd](HWND, UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
        if (msg != WM_NCHITTEST) return false;
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hwnd, &p);
        result = p.y < 20 ? HTCAPTION : HTCLIENT;
        return true;
    };
    proc.log.clear();
    InjectDrag(hwnd, POINT{50, 10}, POINT{80, 40});
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r, (RECT{130, 130, 330, 230}));
    EXPECT_FALSE(proc.Only(WM_MOVE).empty());
    EXPECT_TRUE(proc.Only(WM_LBUTTONDOWN).empty());
    EXPECT_FALSE(IsDraggingWindow());

    proc.log.clear();
    InjectDrag(hwnd, POINT{50, 60}, POINT{90, 90});
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r, (RECT{130, 130, 330, 230}));
    auto downs = proc.Only(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].lParam, MAKELPARAM(50, 60));
    EXPECT_EQ(proc.Only(WM_LBUTTONUP)[0].lParam, MAKELPARAM(90, 90));
    EXPECT_TRUE(proc.Only(WM_MOVE).empty());
}

TEST_F(WindowLayerTest, CaptureRoutesPointerInputAndDisabledWindowsGetNone) {
    RecordingProc a, b;
    HWND ha = CreateWindowExW(0, L"A", L"", WS_VISIBLE, 0, 0, 100, 100, nullptr, &a);
    HWND hb = CreateWindowExW(0, L"B", L"", WS_VISIBLE, 200, 0, 100, 100, nullptr, &b);
    SetCapture(ha);
    b.log.clear();
    a.log.clear();
    DispatchMouseInput(hb, MouseAction::Move, POINT{210, 10});
    EXPECT_TRUE(b.Only(WM_MOUSEMOVE).empty());
    ASSERT_EQ(a.Only(WM_MOUSEMOVE).size(), 1u);
    EXPECT_EQ(a.Only(WM_MOUSEMOVE)[0].lParam, MAKELPARAM(210, 10));  // client of A
    ReleaseCapture();
    EXPECT_EQ(a.log.back().msg, static_cast<UINT>(WM_CAPTURECHANGED));

    EnableWindow(hb, false);
    b.log.clear();
    InjectClick(hb, POINT{5, 5});
    EXPECT_TRUE(b.log.empty());
}

TEST_F(WindowLayerTest, AltF4BecomesSystemClose) {
    RecordingProc proc;
    HWND hwnd = CreateWindowExW(0, L"W", L"", WS_VISIBLE, 0, 0, 10, 10, nullptr, &proc);
    proc.log.clear();
    DispatchKeyInput(hwnd, VK_F4, true);
    DispatchKeyInput(hwnd, VK_RETURN, false);
    ASSERT_EQ(proc.log.size(), 2u);
    EXPECT_EQ(proc.log[0].msg, WM_SYSCOMMAND);
    EXPECT_EQ(proc.log[0].wParam, SC_CLOSE);
    EXPECT_EQ(proc.log[1].msg, WM_KEYDOWN);
    EXPECT_EQ(proc.log[1].wParam, VK_RETURN);
}

}  // namespace
}  // namespace platform

// Regression: a worker posting before the UI thread had made the window
// backend could make a second one, so the UI thread waited on a backend
// nobody woke and a quit posted from the signal thread was lost. In a fresh
// child, where no backend exists yet, many threads post at once while the
// UI thread waits; the loop must see the quit.
TEST(WindowBackendRaceTest, PostsRacingTheFirstWaitAreNeverLost) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(20);
            platform::InitUiThread();
            std::vector<std::thread> posters;
            for (int i = 0; i < 8; ++i) posters.emplace_back([] { platform::PostUiTask([] {}); });
            posters.emplace_back([] { platform::PostQuitMessage(0); });
            const int code = platform::RunMessageLoop();
            for (auto& poster : posters) poster.join();
            std::_Exit(code == 0 ? 42 : 3);
        },
        testing::ExitedWithCode(42), "");
}
