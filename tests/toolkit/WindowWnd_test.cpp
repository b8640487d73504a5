#include "toolkit/WindowWnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "SkinWindowFixture.h"

namespace toolkittest {
namespace {

using DuiLib::TNotifyUI;

const char* const kSmallSkin = R"(<Window size="200,100" caption="0,0,0,20">
  <VerticalLayout name="root"><Label name="status" text="ready"/><Button name="QuitBtn" height="30"/></VerticalLayout>
</Window>)";

class WindowWndTest : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteSkin("small.xml", kSmallSkin);
        UseArchive();
    }
};

size_t Count(const std::vector<std::wstring>& log, const std::wstring& entry) {
    return static_cast<size_t>(std::count(log.begin(), log.end(), entry));
}

TEST_F(WindowWndTest, SkinGivesTheInitialSizeAndCaption) {
    auto wnd = Open(L"small.xml");
    RECT rect;
    platform::GetWindowRect(wnd->GetHWND(), &rect);
    EXPECT_EQ(rect, (RECT{100, 100, 300, 200}));
    EXPECT_EQ(wnd->pm.GetInitSize(), (SIZE{200, 100}));
    EXPECT_EQ(wnd->pm.GetCaptionRect(), (RECT{0, 0, 0, 20}));
    EXPECT_EQ(wnd->pm.GetPaintWindow(), wnd->GetHWND());
    EXPECT_EQ(wnd->pm.GetRoot()->GetPos(), (RECT{0, 0, 200, 100}));
    // The root follows the client area.
    wnd->ResizeClient(-1, 150);
    platform::GetWindowRect(wnd->GetHWND(), &rect);
    EXPECT_EQ(rect, (RECT{100, 100, 300, 250}));
    EXPECT_EQ(wnd->pm.GetRoot()->GetPos(), (RECT{0, 0, 200, 150}));
}

TEST_F(WindowWndTest, WindowInitArrivesOnceFromTheLoopAfterTheFirstShow) {
    auto wnd = std::make_unique<SkinWindow>(L"small.xml");
    ASSERT_NE(wnd->Create(nullptr, L"", kPopupStyle & ~WS_VISIBLE, 0), nullptr);
    platform::PumpPendingMessages();
    EXPECT_TRUE(wnd->log.empty()) << "not shown yet";
    wnd->ShowWindow(true);
    EXPECT_TRUE(wnd->log.empty()) << "delivered by the loop, not inside ShowWindow";
    platform::PumpPendingMessages();
    EXPECT_EQ(wnd->log, std::vector<std::wstring>{L"windowinit:root"});
    wnd->ShowWindow(false);
    wnd->ShowWindow(true);
    platform::PumpPendingMessages();
    EXPECT_EQ(Count(wnd->log, L"windowinit:root"), 1u);

    // A window destroyed before the loop runs never reports it.
    auto other = std::make_unique<SkinWindow>(L"small.xml");
    ASSERT_NE(other->Create(nullptr, L"", kPopupStyle, 0), nullptr);
    platform::DestroyWindow(other->GetHWND());
    platform::PumpPendingMessages();
    EXPECT_TRUE(other->log.empty());
}

TEST_F(WindowWndTest, WindowWithoutItsSkinStillOpensAndReportsInit) {
    auto wnd = Open(L"absent.xml");
    EXPECT_FALSE(wnd->built);
    EXPECT_TRUE(platform::IsWindow(wnd->GetHWND()));
    EXPECT_EQ(wnd->log, std::vector<std::wstring>{L"windowinit:-"});
    EXPECT_EQ(wnd->pm.FindControl(L"QuitBtn"), nullptr);
    EXPECT_EQ(wnd->pm.FindControl(POINT{1, 1}), nullptr);
    platform::InjectClick(wnd->GetHWND(), POINT{1, 1});
    EXPECT_EQ(wnd->log.size(), 1u);
}

TEST_F(WindowWndTest, DefaultHandlingOfCloseDestroysAndFinalMessageMayFreeTheObject) {
    auto* wnd = new SkinWindow(L"small.xml");
    wnd->deleteOnFinal = true;
    int finals = 0;
    wnd->onFinal = [&] { ++finals; };
    const HWND hwnd = wnd->Create(nullptr, L"", kPopupStyle, 0);
    ASSERT_NE(hwnd, nullptr);
    wnd->Close();
    EXPECT_TRUE(platform::IsWindow(hwnd)) << "Close only posts";
    platform::PumpPendingMessages();
    EXPECT_FALSE(platform::IsWindow(hwnd));
    EXPECT_EQ(finals, 1);

    // The system menu's close goes the same way.
    auto other = Open(L"small.xml");
    other->SendMessageW(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(platform::IsWindow(other->GetHWND()));
    EXPECT_EQ(other->GetHWND(), nullptr);
}

TEST_F(WindowWndTest, DeletingTheObjectFirstDestroysTheWindowQuietly) {
    auto wnd = Open(L"small.xml");
    const HWND hwnd = wnd->GetHWND();
    int finals = 0;
    wnd->onFinal = [&] { ++finals; };
    wnd.reset();
    EXPECT_FALSE(platform::IsWindow(hwnd));
    EXPECT_EQ(finals, 0) << "no call back into a destroyed object";
}

TEST_F(WindowWndTest, CenterWindowUsesTheOwnerOrTheScreen) {
    auto owner = Open(L"small.xml");
    owner->ResizeClient(600, 400);  // at (100, 100)
    auto child = Open(L"small.xml", owner->GetHWND());
    child->CenterWindow();
    RECT rect;
    platform::GetWindowRect(child->GetHWND(), &rect);
    EXPECT_EQ(rect, (RECT{300, 250, 500, 350}));

    auto lone = Open(L"small.xml");
    lone->CenterWindow();
    platform::GetWindowRect(lone->GetHWND(), &rect);
    const RECT screen = platform::GetScreenRect();
    EXPECT_EQ(rect.left, (screen.Width() - 200) / 2);
    EXPECT_EQ(rect.top, (screen.Height() - 100) / 2);
}

// The settings dialog's road: the main window opens a backdrop modally; the
// backdrop, on "windowinit", opens the dialog modally; OK closes both.
TEST_F(WindowWndTest, NestedModalLoopsEndInnermostFirst) {
    auto main = Open(L"small.xml");
    std::vector<std::wstring> order;

    auto* backdrop = new SkinWindow(L"small.xml");
    backdrop->deleteOnFinal = true;
    backdrop->onFinal = [&] { order.push_back(L"backdrop final"); };
    backdrop->onNotify = [&, backdrop](TNotifyUI& msg) {
        if (msg.sType != L"windowinit") return;
        EXPECT_FALSE(platform::IsWindowEnabled(main->GetHWND()));
        auto* dialog = new SkinWindow(L"small.xml");
        dialog->deleteOnFinal = true;
        dialog->onFinal = [&] { order.push_back(L"dialog final"); };
        dialog->onNotify = [&, dialog, backdrop](TNotifyUI& m) {
            if (m.sType != L"windowinit") return;
            EXPECT_FALSE(platform::IsWindowEnabled(main->GetHWND()));
            EXPECT_FALSE(platform::IsWindowEnabled(backdrop->GetHWND()));
            dialog->Close(7);
            backdrop->Close(3);
        };
        ASSERT_NE(dialog->Create(backdrop->GetHWND(), L"", kPopupStyle, 0), nullptr);
        dialog->CenterWindow();
        const int result = dialog->ShowModal();
        order.push_back(L"dialog returned " + std::to_wstring(result));
        EXPECT_TRUE(platform::IsWindowEnabled(backdrop->GetHWND()));
        EXPECT_FALSE(platform::IsWindowEnabled(main->GetHWND()));
    };
    ASSERT_NE(backdrop->Create(main->GetHWND(), L"", kPopupStyle, 0, 290, 300, 0, 0), nullptr);
    const int result = backdrop->ShowModal();
    order.push_back(L"backdrop returned " + std::to_wstring(result));
    EXPECT_TRUE(platform::IsWindowEnabled(main->GetHWND()));
    EXPECT_EQ(order, (std::vector<std::wstring>{L"dialog final", L"dialog returned 7", L"backdrop final",
                                                L"backdrop returned 3"}));
}

TEST_F(WindowWndTest, QuitEndsModalLoopAndGivesTheOwnerBack) {
    auto main = Open(L"small.xml");
    auto dialog = std::make_unique<SkinWindow>(L"small.xml");
    dialog->onNotify = [](TNotifyUI& msg) {
        if (msg.sType == L"windowinit") platform::PostQuitMessage(0);
    };
    ASSERT_NE(dialog->Create(main->GetHWND(), L"", kPopupStyle, 0), nullptr);
    EXPECT_EQ(dialog->ShowModal(), -1);
    EXPECT_TRUE(platform::IsWindow(dialog->GetHWND()));
    EXPECT_TRUE(platform::IsWindowEnabled(main->GetHWND()));
    EXPECT_TRUE(platform::QuitRequested());
}

TEST_F(WindowWndTest, ModalWindowClosedWithoutCloseReturnsZero) {
    auto main = Open(L"small.xml");
    platform::EnableWindow(main->GetHWND(), false);  // already disabled by someone else
    auto* dialog = new SkinWindow(L"small.xml");
    dialog->deleteOnFinal = true;
    ASSERT_NE(dialog->Create(main->GetHWND(), L"", kPopupStyle, 0), nullptr);
    const HWND hwnd = dialog->GetHWND();
    platform::PostUiTask([hwnd] { platform::DestroyWindow(hwnd); });
    EXPECT_EQ(dialog->ShowModal(), 0);
    EXPECT_FALSE(platform::IsWindowEnabled(main->GetHWND())) << "the owner's earlier state is kept";
}

TEST_F(WindowWndTest, ModalWindowOpenedDuringAPressStillGetsInput) {
    auto main = Open(L"small.xml");
    platform::SetCapture(main->GetHWND());  // the press that opened the dialog is still held
    auto dialog = std::make_unique<SkinWindow>(L"small.xml");
    SkinWindow* d = dialog.get();
    dialog->onNotify = [d](TNotifyUI& msg) {
        if (msg.sType == L"windowinit") {
            platform::InjectClick(d->GetHWND(), d->Centre(L"QuitBtn"));
            if (d->log.size() == 1) d->Close(99);  // the click was lost: end the test anyway
        } else if (msg.sType == L"click") {
            d->Close(1);
        }
    };
    ASSERT_NE(dialog->Create(main->GetHWND(), L"", kPopupStyle, 0), nullptr);
    EXPECT_EQ(dialog->ShowModal(), 1);
    EXPECT_EQ(d->log, (std::vector<std::wstring>{L"windowinit:root", L"click:QuitBtn"}));
}

TEST_F(WindowWndTest, ControlRefPostsReachOnlyLivingControls) {
    auto wnd = Open(L"small.xml");
    DuiLib::CControlRef status(wnd->pm.FindControl(L"status"));
    DuiLib::CControlRef quit(wnd->pm.FindControl(L"QuitBtn"));
    ASSERT_NE(status.Get(), nullptr);
    std::atomic<int> ran{0};
    std::thread worker([&, status, quit] {
        status.Post([&](DuiLib::CControlUI& c) {
            c.SetText(L"50%");
            ++ran;
        });
        quit.Post([&](DuiLib::CControlUI&) { ++ran; });
    });
    worker.join();
    // The button goes away before the loop runs the tasks.
    auto* root = dynamic_cast<DuiLib::CContainerUI*>(wnd->pm.GetRoot());
    ASSERT_TRUE(root->Remove(quit.Get()));
    EXPECT_EQ(quit.Get(), nullptr);
    platform::PumpPendingMessages();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(status.Get()->GetText(), L"50%");
}

}  // namespace
}  // namespace toolkittest
