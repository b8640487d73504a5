#include <gtest/gtest.h>

#include "DesktopSupport.h"
#include "TestSkinWindow.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "toolkit/ActiveXUI.h"
#include "toolkit/UIResources.h"

namespace {

using desktoptest::TestSkinWindow;
using testsupport::PixelAt;

constexpr char kPanelSkin[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="240,160">
  <VerticalLayout bkcolor="#FF800080">
    <ActiveX name="IE" float="true" pos="20,20,220,140" bkcolor="#FF800080" />
  </VerticalLayout>
</Window>)";

// A page on 127.0.0.1 for the length of a test.
struct PageServer : testsupport::TestHttpServer {
    PageServer() { Serve("/green.html", 200, "<html><body style='margin:0;background:#00ff00'></body></html>"); }
};

class DesktopWebViewTest : public testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteFileBytes(dir_ / "panel.xml", kPanelSkin);
        DuiLib::UIResources::SetResourcePath(dir_.Path().wstring());
        DuiLib::UIResources::SetResourceZip(L"");
        panel_ = new TestSkinWindow(L"panel.xml");
        ASSERT_NE(panel_->Open(nullptr, L"web-panel", 200, 200), nullptr);
        auto* host = static_cast<DuiLib::CActiveXUI*>(panel_->PaintManager().FindControl(L"IE"));
        ASSERT_NE(host, nullptr);
        void* out = nullptr;
        ASSERT_TRUE(host->GetControl(DuiLib::IID_IWebBrowser2, &out));
        browser_ = static_cast<DuiLib::IWebBrowser2*>(out);
    }
    void TearDown() override {
        if (browser_) browser_->Release();
        platform::ResetWindowLayer();
        DuiLib::UIResources::SetResourcePath(L"");
    }

    testsupport::TempDir dir_;
    TestSkinWindow* panel_ = nullptr;
    DuiLib::IWebBrowser2* browser_ = nullptr;
};

TEST_F(DesktopWebViewTest, ShowsThePageOfALocalServerInTheControlsRectangle) {
    PageServer server;
    // Every browser the control hands out is an embedded one; only a real
    // web view, from the module, ever shows a page.
    auto* view = static_cast<DuiLib::IEmbeddedBrowser*>(browser_);
    EXPECT_EQ(browser_->Navigate(server.WideUrl("/green.html").c_str()), platform::S_OK);
    wxImage screen;
    EXPECT_TRUE(testsupport::PumpUntilScreen(
        [](const wxImage& image) { return PixelAt(image, 200 + 120, 200 + 80) == 0x00FF00; }, screen, 30000))
        << "page colour inside the control";
    EXPECT_EQ(PixelAt(screen, 200 + 10, 200 + 10), 0x800080) << "the skin around the control";
    EXPECT_EQ(PixelAt(screen, 200 + 21, 200 + 21), 0x00FF00) << "the view covers the control exactly";
    EXPECT_EQ(PixelAt(screen, 200 + 19, 200 + 21), 0x800080);
    EXPECT_TRUE(view->IsPageShown()) << "the desktop hosts a real web view";
}

// Regression: a press inside a page reached neither wx nor the window, so the
// launcher's pop-ups stayed open over a panel the player had clicked.
TEST_F(DesktopWebViewTest, APressInsideThePageReachesTheWindow) {
    PageServer server;
    ASSERT_EQ(browser_->Navigate(server.WideUrl("/green.html").c_str()), platform::S_OK);
    wxImage screen;
    ASSERT_TRUE(testsupport::PumpUntilScreen(
        [](const wxImage& image) { return PixelAt(image, 200 + 120, 200 + 80) == 0x00FF00; }, screen, 30000));
    const int before = panel_->mouseActivations;
    testsupport::Capture("xdotool mousemove 320 280 click 1");
    EXPECT_TRUE(testsupport::PumpUntil([&] { return panel_->mouseActivations > before; }, 10000))
        << "the panel heard of the press in its page";
}

TEST_F(DesktopWebViewTest, PageThatFailsToLoadLeavesTheSkinBackground) {
    auto* view = static_cast<DuiLib::IEmbeddedBrowser*>(browser_);
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(testsupport::ClosedLoopbackPort()) + L"/missing.html";
    EXPECT_EQ(browser_->Navigate(url.c_str()), platform::S_OK) << "loading is asynchronous";
    EXPECT_TRUE(testsupport::PumpUntil([&] { return view->HasFailed(); }, 30000));
    testsupport::PumpUntil([] { return false; }, 300);
    wxImage screen;
    ASSERT_TRUE(testsupport::CaptureScreen(screen));
    EXPECT_EQ(PixelAt(screen, 200 + 120, 200 + 80), 0x800080) << "no error page over the skin";
    EXPECT_FALSE(view->IsPageShown());
    EXPECT_EQ(testsupport::Capture("xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l"), "1")
        << "no dialog besides the panel";
}

}  // namespace
