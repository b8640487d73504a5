#include <gtest/gtest.h>

#include <wx/image.h>

#include <string>

#include "DesktopSupport.h"
#include "TestSkinWindow.h"
#include "platform/Window.h"
#include "support/TempDir.h"
#include "toolkit/ImageCache.h"
#include "toolkit/UIResources.h"

namespace {

using desktoptest::TestSkinWindow;
using testsupport::PixelAt;
using testsupport::PumpUntil;

constexpr char kMainSkin[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="300,200" caption="0,0,0,40" roundcorner="6,6">
  <Font id="0" name="WenQuanYi Micro Hei" size="16" />
  <VerticalLayout bkcolor="#FF102030">
    <Control name="grip" float="true" pos="0,0,300,40" bkcolor="#FF2060A0" />
    <Button name="btn" float="true" pos="200,5,290,35" bkcolor="#FFC03020" text="OK" textcolor="#FFFFFFFF" align="center" />
    <Label name="label" float="true" pos="20,60,280,100" text="服务器 Tarno" textcolor="#FFFFFFFF" />
    <Control name="pic" float="true" pos="20,120,120,180" bkimage="file='frame.png' corner='4,4,4,4'" />
    <Progress name="bar" float="true" pos="140,140,280,160" bkcolor="#FF000000" forecolor="#FF00C000" value="50" />
  </VerticalLayout>
</Window>)";

constexpr char kDialogSkin[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="160,60"><HorizontalLayout bkcolor="#FF303030">
  <Button name="OkBtn" text="OK" /><Button name="CancelBtn" text="Cancel" />
</HorizontalLayout></Window>)";

constexpr char kPopupSkin[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="80,50"><Control bkcolor="#FF00A0A0" /></Window>)";

// A 12x12 picture: a 4-pixel red frame around blue, for the nine-patch.
void WriteFramePicture(const std::filesystem::path& file) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxInitAllImageHandlers();
    wxImage image(12, 12);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool edge = x < 4 || y < 4 || x >= 8 || y >= 8;
            image.SetRGB(x, y, edge ? 255 : 0, 0, edge ? 0 : 255);
        }
    }
    ASSERT_TRUE(image.SaveFile(wxString(file.string()), wxBITMAP_TYPE_PNG));
}

class DesktopSkinTest : public testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteFileBytes(dir_ / "main.xml", kMainSkin);
        testsupport::WriteFileBytes(dir_ / "popup.xml", kPopupSkin);
        testsupport::WriteFileBytes(dir_ / "dialog.xml", kDialogSkin);
        WriteFramePicture(dir_ / "frame.png");
        if (HasFatalFailure()) return;
        DuiLib::UIResources::SetResourcePath(dir_.Path().wstring());
        DuiLib::UIResources::SetResourceZip(L"");
        DuiLib::CImageCache::Instance().Clear();
        main_ = new TestSkinWindow(L"main.xml");
        ASSERT_NE(main_->Open(nullptr, L"skin-main", 100, 120), nullptr);
        popup_ = new TestSkinWindow(L"popup.xml");
        ASSERT_NE(popup_->Open(main_->GetHWND(), L"skin-popup", 100 + 310, 120 + 20), nullptr);
        main_->Follow(popup_->GetHWND(), POINT{310, 20});
        mainHwnd_ = main_->GetHWND();
    }
    void TearDown() override {
        platform::ResetWindowLayer();
        DuiLib::CImageCache::Instance().Clear();
        DuiLib::UIResources::SetResourcePath(L"");
    }

    // Waits until the screen shows `color` at screen point (x, y).
    bool ScreenShows(int x, int y, long color, wxImage& screen) {
        const bool shown = testsupport::PumpUntilScreen(
            [&](const wxImage& image) { return PixelAt(image, x, y) == color; }, screen);
        if (!shown && screen.IsOk()) screen.SaveFile("/tmp/desktop-skin-failure.png", wxBITMAP_TYPE_PNG);
        return shown;
    }

    void Xdo(const std::string& args) { testsupport::Capture("xdotool " + args); }

    testsupport::TempDir dir_;
    TestSkinWindow* main_ = nullptr;  // frees itself with its window
    TestSkinWindow* popup_ = nullptr;
    HWND mainHwnd_ = nullptr;
};


TEST_F(DesktopSkinTest, ScreenShowsColoursImagesTextAndProgressWhereTheSkinPutsThem) {
    wxImage screen;
    ASSERT_TRUE(ScreenShows(100 + 150, 120 + 20, 0x2060A0, screen)) << "caption picture";
    EXPECT_EQ(PixelAt(screen, 100 + 203, 120 + 8), 0xC03020) << "button";
    EXPECT_EQ(PixelAt(screen, 100 + 10, 120 + 190), 0x102030) << "window background";
    // Rounded corners: the very corner pixel is not the window's.
    EXPECT_NE(PixelAt(screen, 100, 120), 0x2060A0);
    // Text pixels inside the label's box, none outside the text run.
    EXPECT_GT(testsupport::PixelsUnlike(screen, 120, 180, 380, 220, 0x102030), 40) << "label text";
    EXPECT_EQ(testsupport::PixelsUnlike(screen, 290, 180, 380, 220, 0x102030), 0) << "only the text is drawn";
    // Nine-patch: corners and stretched edges red, stretched middle blue.
    EXPECT_EQ(PixelAt(screen, 100 + 21, 120 + 121), 0xFF0000);
    EXPECT_EQ(PixelAt(screen, 100 + 70, 120 + 121), 0xFF0000);
    EXPECT_EQ(PixelAt(screen, 100 + 118, 120 + 178), 0xFF0000);
    EXPECT_EQ(PixelAt(screen, 100 + 70, 120 + 150), 0x0000FF);
    // Progress at 50 of 100: the left half filled.
    EXPECT_EQ(PixelAt(screen, 100 + 150, 120 + 150), 0x00C000);
    EXPECT_EQ(PixelAt(screen, 100 + 270, 120 + 150), 0x000000);
    EXPECT_EQ(PixelAt(screen, 100 + 330, 120 + 40), 0x00A0A0) << "pop-up";
}

TEST_F(DesktopSkinTest, ChangedControlIsRepaintedOnScreen) {
    wxImage screen;
    ASSERT_TRUE(ScreenShows(100 + 150, 120 + 20, 0x2060A0, screen));
    main_->PaintManager().FindControl(L"grip")->SetBkColor(0xFF30B040);
    EXPECT_TRUE(ScreenShows(100 + 150, 120 + 20, 0x30B040, screen));
}

TEST_F(DesktopSkinTest, PointerClickReachesTheButtonUnderIt) {
    wxImage screen;
    ASSERT_TRUE(ScreenShows(100 + 203, 120 + 8, 0xC03020, screen));
    Xdo("mousemove 345 140 click 1");
    EXPECT_TRUE(PumpUntil([&] { return !main_->clicks.empty(); }));
    EXPECT_EQ(main_->clicks, std::vector<std::wstring>{L"btn"});
    // The label gives no click: the button's second click, which reaches
    // the window after the label's, is the only one that follows.
    Xdo("mousemove 150 200 click 1 mousemove 345 140 click 1");
    EXPECT_TRUE(PumpUntil([&] { return main_->clicks.size() >= 2; }));
    EXPECT_EQ(main_->clicks, (std::vector<std::wstring>{L"btn", L"btn"}));
}

TEST_F(DesktopSkinTest, DraggingTheCaptionPictureMovesTheWindowAndItsPopupFollows) {
    wxImage screen;
    ASSERT_TRUE(ScreenShows(100 + 150, 120 + 20, 0x2060A0, screen));
    Xdo("mousemove 200 140 mousedown 1");
    for (int step = 1; step <= 6; ++step) {
        Xdo("mousemove " + std::to_string(200 + 10 * step) + " " + std::to_string(140 + 5 * step));
        PumpUntil([] { return false; }, 30);
    }
    Xdo("mouseup 1");
    RECT rc;
    EXPECT_TRUE(PumpUntil([&] { return platform::GetWindowRect(mainHwnd_, &rc) && rc.left == 160 && rc.top == 150; }))
        << rc.left << "," << rc.top;
    RECT popup;
    platform::GetWindowRect(popup_->GetHWND(), &popup);
    EXPECT_EQ(popup.left, 160 + 310);
    EXPECT_EQ(popup.top, 150 + 20);
    int x = -1, y = -1, w = -1, h = -1;
    EXPECT_TRUE(PumpUntil([&] { return testsupport::XGeometry("skin-popup", x, y, w, h) && x == 470 && y == 170; }))
        << "pop-up on screen at " << x << "," << y;
    EXPECT_TRUE(main_->clicks.empty());
}

TEST_F(DesktopSkinTest, DraggingByAButtonDoesNotMoveTheWindow) {
    wxImage screen;
    ASSERT_TRUE(ScreenShows(100 + 203, 120 + 8, 0xC03020, screen));
    Xdo("mousemove 345 140 mousedown 1");
    for (int step = 1; step <= 4; ++step) {
        Xdo("mousemove " + std::to_string(345 + 15 * step) + " " + std::to_string(140 + 10 * step));
        PumpUntil([] { return false; }, 30);
    }
    // A click on the button back where it was marks the end of the drag's
    // events: the window heard them all once the click arrives.
    Xdo("mouseup 1 mousemove 345 140 click 1");
    EXPECT_TRUE(PumpUntil([&] { return !main_->clicks.empty(); }));
    RECT rc;
    platform::GetWindowRect(mainHwnd_, &rc);
    EXPECT_EQ(rc.left, 100);
    EXPECT_EQ(rc.top, 120);
    EXPECT_EQ(main_->clicks, std::vector<std::wstring>{L"btn"}) << "released away from the button: no click of its own";
}

TEST_F(DesktopSkinTest, EnterAndEscapeFromTheKeyboardClickOkAndCancel) {
    auto* dialog = new TestSkinWindow(L"dialog.xml");
    ASSERT_NE(dialog->Open(mainHwnd_, L"skin-dialog", 500, 400), nullptr);
    std::string id;
    ASSERT_TRUE(PumpUntil([&] { return !(id = testsupport::XWindowId("skin-dialog")).empty(); }));
    Xdo("windowfocus --sync " + id + " key Return");
    ASSERT_TRUE(PumpUntil([&] { return dialog->clicks.size() == 1; }));
    Xdo("key Escape");
    EXPECT_TRUE(PumpUntil([&] { return dialog->clicks.size() == 2; }));
    EXPECT_EQ(dialog->clicks, (std::vector<std::wstring>{L"OkBtn", L"CancelBtn"}));
    EXPECT_TRUE(main_->clicks.empty()) << "keys go to the focused window only";
}

}  // namespace
