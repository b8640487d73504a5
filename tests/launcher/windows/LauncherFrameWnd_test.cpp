#include "launcher/LauncherFrameWnd.h"

#include <gtest/gtest.h>

#include "launcher/serverlist/UIServerListWnd.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/windows/UINews2Wnd.h"
#include "launcher/windows/UINewsWnd.h"
#include "launcher/windows/UIRegisterWnd.h"
#include "launcher/windows/UITopWnd.h"
#include "launcher/windows/LauncherRun.h"

namespace {

using namespace windowtest;

struct ScreenCase {
    std::uint32_t width, height;
    int screenClass;
    SIZE mainSize;   // the client size launcherSkin*.xml of that class gives
    SIZE newsSize;   // ... and news*.xml
};

class ScreenSizeTest : public LauncherRun, public testing::WithParamInterface<ScreenCase> {};

TEST_P(ScreenSizeTest, SkinsUrlsAndPlacesFollowTheScreenClass) {
    const ScreenCase c = GetParam();
    display.mode = platform::DisplayMode{c.width, c.height, 32};
    Run([&](LauncherFrameWnd& frame) {
        EXPECT_EQ(frame.screenClass, c.screenClass);
        EXPECT_EQ(ClientSize(frame.GetHWND()), c.mainSize);
        ASSERT_TRUE(frame.newsWnd && frame.news2Wnd && frame.topWnd && frame.registerWnd);
        EXPECT_EQ(ClientSize(frame.newsWnd.Hwnd()), c.newsSize);

        const LauncherConfig& cfg = frame.config;
        ASSERT_NE(cfg.leftUrl, cfg.left600Url);
        const bool small = c.screenClass == 2;
        EXPECT_EQ(BrowserUrl(*frame.newsWnd.get()), small ? cfg.left600Url : cfg.leftUrl);
        EXPECT_EQ(BrowserUrl(*frame.news2Wnd.get()), small ? cfg.right600Url : cfg.rightUrl);
        EXPECT_EQ(BrowserUrl(*frame.topWnd.get()), small ? cfg.top600Url : cfg.topUrl);
        EXPECT_EQ(BrowserUrl(*frame.registerWnd.get()), cfg.registerUrl);

        const RECT main = WindowRect(frame.GetHWND());
        const PanelOffsets offsets = PanelOffsetsFor(c.screenClass);
        struct Placed {
            HWND hwnd;
            POINT offset;
            const wchar_t* className;
            bool visible;
        };
        for (const Placed& p : {Placed{frame.newsWnd.Hwnd(), offsets.news, L"UINewsFrame", true},
                                Placed{frame.news2Wnd.Hwnd(), offsets.news2, L"UINews2Frame", true},
                                Placed{frame.topWnd.Hwnd(), offsets.top, L"UITopFrame", true},
                                Placed{frame.updateWnd.Hwnd(), offsets.update, L"UIUpdateFrame", true},
                                Placed{frame.registerWnd.Hwnd(), offsets.popup, L"UIRegisterFrame", false}}) {
            SCOPED_TRACE(platform::ToUtf8(p.className));
            const RECT r = WindowRect(p.hwnd);
            EXPECT_EQ(r.left, main.left + p.offset.x);
            EXPECT_EQ(r.top, main.top + p.offset.y);
            EXPECT_EQ(platform::GetClassNameW(p.hwnd), p.className);
            EXPECT_EQ(static_cast<bool>(platform::IsWindowVisible(p.hwnd)), p.visible);
            EXPECT_EQ(platform::GetParent(p.hwnd), frame.GetHWND());
        }
    });
}

INSTANTIATE_TEST_SUITE_P(
    Displays, ScreenSizeTest,
    // One display per class; where the class thresholds lie is the screen
    // layout's test.
    testing::Values(ScreenCase{800, 600, 2, {760, 560}, {240, 200}}, ScreenCase{1280, 720, 1, {940, 640}, {296, 230}},
                    ScreenCase{1024, 768, 0, {1000, 690}, {290, 240}}),
    [](const testing::TestParamInfo<ScreenCase>& info) {
        return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
    });

using LauncherFrameTest = LauncherRun;

TEST_F(LauncherFrameTest, MovingTheMainWindowMovesEveryPopupButTheRegisterWindow) {
    Run([&](LauncherFrameWnd& frame) {
        ASSERT_TRUE(frame.updateWnd && frame.serverListWnd);
        // The server-list pop-up open, as the player would have it.
        ASSERT_TRUE(ClickControl(*frame.updateWnd.get(), L"ServerBtn"));
        ASSERT_TRUE(platform::IsWindowVisible(frame.serverListWnd.Hwnd()));
        const HWND popups[] = {frame.newsWnd.Hwnd(), frame.news2Wnd.Hwnd(), frame.topWnd.Hwnd(),
                               frame.updateWnd.Hwnd(), frame.serverListWnd.Hwnd()};
        std::vector<RECT> before;
        for (HWND h : popups) before.push_back(WindowRect(h));
        const RECT registerBefore = WindowRect(frame.registerWnd.Hwnd());
        const RECT mainBefore = WindowRect(frame.GetHWND());

        // Dragged by the logo picture of the caption, as the player would.
        DuiLib::CControlUI* logo = frame.PaintManager().FindControl(L"Logo");
        ASSERT_NE(logo, nullptr);
        const POINT from = CentreOf(logo);
        platform::InjectDrag(frame.GetHWND(), from, POINT{from.x + 37, from.y - 23});
        const RECT mainAfter = WindowRect(frame.GetHWND());
        ASSERT_EQ(mainAfter.left - mainBefore.left, 37);
        ASSERT_EQ(mainAfter.top - mainBefore.top, -23);

        for (size_t i = 0; i < before.size(); ++i) {
            const RECT after = WindowRect(popups[i]);
            EXPECT_EQ(after.left - before[i].left, 37) << i;
            EXPECT_EQ(after.top - before[i].top, -23) << i;
            EXPECT_EQ(after.Width(), before[i].Width()) << i;
        }
        EXPECT_EQ(WindowRect(frame.registerWnd.Hwnd()), registerBefore);

        // Dragging by a button does not move the window.
        platform::InjectDrag(frame.GetHWND(), CentreOf(frame.webBtn), POINT{CentreOf(frame.webBtn).x + 50, 5});
        EXPECT_EQ(WindowRect(frame.GetHWND()), mainAfter);
    });
}

TEST_F(LauncherFrameTest, AnyClickOrMouseActivationFoldsTheServerListPopupAway) {
    Run([&](LauncherFrameWnd& frame) {
        ASSERT_TRUE(frame.updateWnd && frame.serverListWnd);
        const HWND popup = frame.serverListWnd.Hwnd();
        const auto open = [&] {
            if (!platform::IsWindowVisible(popup)) ClickControl(*frame.updateWnd.get(), L"ServerBtn");
            return static_cast<bool>(platform::IsWindowVisible(popup));
        };
        struct Row {
            const char* what;
            std::function<void()> act;
            bool folds;
        };
        const Row rows[] = {
            {"a main-window button", [&] { ClickControl(frame, L"WebBtn"); }, true},
            {"mouse activation of the main window",
             [&] { platform::SendMessageW(frame.GetHWND(), WM_MOUSEACTIVATE, 0, 0); }, true},
            {"mouse activation of a panel", [&] { platform::SendMessageW(frame.topWnd.Hwnd(), WM_MOUSEACTIVATE, 0, 0); },
             true},
            {"mouse activation of the register window",
             [&] { platform::SendMessageW(frame.registerWnd.Hwnd(), WM_MOUSEACTIVATE, 0, 0); }, false},
            {"the minimise button", [&] { ClickControl(frame, L"MinBtn"); }, true},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.what);
            ASSERT_TRUE(open());
            row.act();
            EXPECT_EQ(!platform::IsWindowVisible(popup), row.folds);
        }
    });
}

TEST_F(LauncherFrameTest, ButtonsOpenTheirPagesInTheDesktopBrowser) {
    Run([&](LauncherFrameWnd& frame) {
        const LauncherConfig& cfg = frame.config;
        const std::pair<const wchar_t*, std::wstring> rows[] = {
            {L"WebBtn", cfg.websiteUrl},   {L"RegisterBtn", cfg.registerUrl},
            {L"RechargeBtn", cfg.rechargeUrl}, {L"ForumBtn", cfg.bbsUrl},
            {L"CustServiceBtn", std::wstring(LAUNCHER_MAIN_SITE) + L"/kefu.php"}};
        for (const auto& [button, url] : rows) {
            opened.clear();
            ASSERT_TRUE(ClickControl(frame, button));
            ASSERT_EQ(opened.size(), 1u) << platform::ToUtf8(button);
            EXPECT_EQ(opened[0], url);
            EXPECT_FALSE(url.empty());
        }
        ASSERT_TRUE(ClickControl(frame, L"MinBtn"));
        EXPECT_TRUE(platform::IsIconic(frame.GetHWND()));
    });
}

// The close button and Alt+F4 end the loop; the shutdown, not they, frees the windows.
class QuitTest : public LauncherRun, public testing::WithParamInterface<bool> {};

TEST_P(QuitTest, EndsTheLoopWithoutDestroyingTheWindow) {
    bool stillThere = false;
    Run(
        [&](LauncherFrameWnd& frame) {
            if (GetParam()) {
                platform::DispatchKeyInput(frame.GetHWND(), 0x73 /* F4 */, true);
            } else {
                ASSERT_TRUE(ClickControl(frame, L"CloseBtn"));
            }
            stillThere = platform::IsWindow(frame.GetHWND()) && frame.newsWnd;
        },
        false);
    EXPECT_TRUE(stillThere);
    EXPECT_EQ(theLauncherFrame.load(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ways, QuitTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "AltF4" : "CloseButton"; });

TEST_F(LauncherFrameTest, QuitBtnClosesTheRegisterWindowAndTheHandleGoesWithIt) {
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

// Skins whose caption strip holds one control of each kind side by side.
constexpr const char* kCaptionRow =
    R"(<Control name="Pic" float="true" pos="0,0,40,30" />
    <Button name="Btn" float="true" pos="40,0,80,30" />
    <Option name="Opt" float="true" pos="80,0,120,30" />
    <Text name="Txt" float="true" pos="120,0,160,30" />
    <Label name="Lbl" float="true" pos="160,0,200,30" />)";

std::string CaptionSkin(const char* size, const char* extra = "") {
    return std::string(R"(<Window size=")") + size + R"(" caption="0,0,0,30"><VerticalLayout>)" + kCaptionRow +
           extra + "</VerticalLayout></Window>";
}

TEST_F(LauncherFrameTest, CaptionHitTestExcludesButtonsOptionsAndTextsOnlyInTheMainWindow) {
    display.mode = platform::DisplayMode{1024, 768, 32};
    OverrideSkins({{"launcherSkin.xml", CaptionSkin("1000,690", R"(<Button name="GameSetBtn" float="true" pos="10,100,60,130" />)")},
                   {"news.xml", CaptionSkin("290,240")}});
    Run([&](LauncherFrameWnd& frame) {
        struct Row {
            long x;  // client x of the probe, y = 10 (in the caption) unless noted
            long y;
            LRESULT main;
            LRESULT panel;
        };
        const Row rows[] = {{20, 10, HTCAPTION, HTCAPTION},   // picture
                            {60, 10, HTCLIENT, HTCLIENT},     // button
                            {100, 10, HTCLIENT, HTCAPTION},   // option
                            {140, 10, HTCLIENT, HTCAPTION},   // text
                            {180, 10, HTCAPTION, HTCAPTION},  // label
                            {20, 40, HTCLIENT, HTCLIENT},     // below the caption
                            {250, 10, HTCAPTION, HTCAPTION}};  // the layout's background
        for (int pass = 0; pass < 2; ++pass) {
            for (const Row& row : rows) {
                for (HWND hwnd : {frame.GetHWND(), frame.newsWnd.Hwnd()}) {
                    const RECT r = WindowRect(hwnd);
                    const LRESULT hit = platform::SendMessageW(hwnd, WM_NCHITTEST, 0,
                                                               ScreenPoint(r.left + row.x, r.top + row.y));
                    EXPECT_EQ(hit, hwnd == frame.GetHWND() ? row.main : row.panel)
                        << "pass " << pass << " x " << row.x << " y " << row.y;
                }
            }
            // Anywhere on the screen, negative coordinates included.
            platform::MoveWindow(frame.GetHWND(), -300, -5, 1000, 690, true);
            platform::MoveWindow(frame.newsWnd.Hwnd(), -250, -8, 290, 240, true);
        }
    });
}

struct SysCommandRow {
    const char* what;
    WPARAM command;
    bool zoomed;  // afterwards
    bool iconic;
};

TEST_F(LauncherFrameTest, SystemCommands) {
    display.mode = platform::DisplayMode{1024, 768, 16};
    OverrideSkins({{"launcherSkin.xml",
                    R"(<Window size="1000,690" caption="0,0,0,30"><VerticalLayout>
                       <Button name="maxbtn" float="true" pos="900,0,930,30" />
                       <Button name="restorebtn" float="true" visible="false" pos="930,0,960,30" />
                       </VerticalLayout></Window>)"}});
    Run([&](LauncherFrameWnd& frame) {
        const HWND hwnd = frame.GetHWND();
        DuiLib::CControlUI* maxBtn = frame.PaintManager().FindControl(L"maxbtn");
        DuiLib::CControlUI* restoreBtn = frame.PaintManager().FindControl(L"restorebtn");
        ASSERT_TRUE(maxBtn && restoreBtn);
        const SysCommandRow rows[] = {
            {"double-click maximise does nothing", 0xF032, false, false},
            {"maximise", SC_MAXIMIZE, true, false},
            {"restore", SC_RESTORE, false, false},
            {"minimise", SC_MINIMIZE, false, true},
            {"restore from minimised", SC_RESTORE, false, false},
        };
        for (const SysCommandRow& row : rows) {
            SCOPED_TRACE(row.what);
            const int requestsBefore = display.changeRequests;
            display.mode.bitsPerPixel = 16;
            EXPECT_EQ(platform::SendMessageW(hwnd, WM_SYSCOMMAND, row.command, 0), 0);
            EXPECT_EQ(static_cast<bool>(platform::IsZoomed(hwnd)), row.zoomed);
            EXPECT_EQ(static_cast<bool>(platform::IsIconic(hwnd)), row.iconic);
            EXPECT_EQ(maxBtn->IsVisible(), !row.zoomed);
            EXPECT_EQ(restoreBtn->IsVisible(), row.zoomed);
            // Only a restore asks for true colour (before the restore itself).
            EXPECT_EQ(display.changeRequests > requestsBefore, row.command == SC_RESTORE);
        }
        display.mode.bitsPerPixel = 16;
        EXPECT_EQ(platform::SendMessageW(hwnd, WM_NCPAINT, 1, 0), 0);
        EXPECT_EQ(display.mode.bitsPerPixel, 32u);
        EXPECT_EQ(platform::SendMessageW(hwnd, WM_NCCALCSIZE, 0, 0), 0);
        EXPECT_EQ(platform::SendMessageW(hwnd, WM_NCACTIVATE, 0, 0), 1);
        EXPECT_EQ(platform::SendMessageW(hwnd, WM_NCACTIVATE, 1, 0), 0);
        // Mouse activation keeps the default answer (activate), here and in a panel.
        EXPECT_EQ(platform::SendMessageW(hwnd, WM_MOUSEACTIVATE, 0, 0), 1);
        EXPECT_EQ(platform::SendMessageW(frame.newsWnd.Hwnd(), WM_MOUSEACTIVATE, 0, 0), 1);
    });
}

}  // namespace
