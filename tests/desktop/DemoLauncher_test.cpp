#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "DemoProcess.h"
#include "DesktopSupport.h"
#include "support/TextPattern.h"
#include "launcher/ui/ScreenLayout.h"
#include "support/TempDir.h"

// The demo launcher, started as the player would from its folder, on the
// test's X display: where its windows appear, what they show, and its close
// button pressed with a real pointer click. What the buttons and dialogs do
// is the headless launcher suite's.

namespace {

namespace fs = std::filesystem;

using testsupport::ScreenBox;
using testsupport::WaitFor;

const fs::path kSkin = fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default";

// Clicks the centre of control `name` of the window at `origin`.
bool ClickControl(const ScreenBox& origin, const std::string& skinFile, const std::string& name) {
    ScreenBox c;
    if (!testsupport::SkinBox(skinFile, name, c)) return false;
    testsupport::ClickAt(origin.x + c.x + c.w / 2, origin.y + c.y + c.h / 2);
    return true;
}

// The image (and nine-patch corner, 0 when none) that attribute `attribute`
// of the first element matching `element` gives, e.g. "images/bg.png".
bool SkinImage(const std::string& skinFile, const std::string& element, const std::string& attribute, std::string& file,
               int& corner) {
    const std::string xml = testsupport::ReadFileBytes(kSkin / skinFile);
    std::vector<std::string> m;
    if (!testsupport::TextPattern(element).Search(xml, m)) return false;
    const std::string tag = m[0];
    if (!testsupport::TextPattern(" " + attribute + "=\"file='([^']+)'( corner='([0-9]+),)?").Search(tag, m)) return false;
    file = m[1];
    corner = m[3].empty() ? 0 : std::stoi(m[3]);
    return true;
}

bool Near(const int a[3], const int b[3], int slack) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > slack) return false;
    }
    return true;
}

std::string Rgb(const int c[3]) {
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

// A spot of the screen and the colour the skin puts there.
struct Spot {
    std::string what;
    int x = 0, y = 0;
    int rgb[3] = {0, 0, 0};
};

// Takes screenshots until every spot shows its colour (drawing follows the
// windows' appearance) or a few seconds pass; then reports each spot.
void ExpectOnScreen(const fs::path& shot, const std::vector<Spot>& spots) {
    int pixel[3];
    WaitFor([&] {
        testsupport::Capture("import -window root '" + shot.string() + "' 2>/dev/null");
        for (const Spot& spot : spots) {
            if (!testsupport::ImagePixel(shot, spot.x, spot.y, pixel) || !Near(pixel, spot.rgb, 8)) return false;
        }
        return true;
    }, 10);
    for (const Spot& spot : spots) {
        ASSERT_TRUE(testsupport::ImagePixel(shot, spot.x, spot.y, pixel)) << spot.what;
        EXPECT_TRUE(Near(pixel, spot.rgb, 8)) << spot.what << " at " << spot.x << "," << spot.y << " is "
                                             << Rgb(pixel) << ", the skin gives " << Rgb(spot.rgb);
    }
}

const ScreenBox* FindAt(const std::vector<ScreenBox>& windows, int x, int y, int w, int h) {
    for (const ScreenBox& g : windows) {
        if (g.x == x && g.y == y && g.w == w && g.h == h) return &g;
    }
    return nullptr;
}

class DemoLauncherTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(demo_.Ready()) << "build the demo_install target first"; }

    testsupport::DemoProcess demo_;
};

TEST_F(DemoLauncherTest, MainWindowCentredPanelsAtTheirOffsetsDrawnByTheSkin) {
    int screenW = 0, screenH = 0;
    std::istringstream(testsupport::Capture("xdotool getdisplaygeometry")) >> screenW >> screenH;
    ASSERT_GT(screenW, 0);
    const int screenClass = ScreenSizeClassFor(screenW, screenH);
    const std::wstring wideSuffix = SkinSuffix(screenClass);
    const std::string suffix(wideSuffix.begin(), wideSuffix.end());
    demo_.Start();

    ScreenBox mainSize;
    ASSERT_TRUE(testsupport::SkinBox("launcherSkin" + suffix + ".xml", "", mainSize));
    const int mainW = mainSize.w, mainH = mainSize.h;
    const PanelOffsets offsets = PanelOffsetsFor(screenClass);
    struct Panel {
        std::string skin;
        POINT offset;
    };
    const Panel panels[] = {{"news" + suffix + ".xml", offsets.news},
                            {"news2" + suffix + ".xml", offsets.news2},
                            {"top" + suffix + ".xml", offsets.top}};

    // Centred on the screen, the skin's size; the panels at their offsets.
    const int mainX = (screenW - mainW) / 2, mainY = (screenH - mainH) / 2;
    std::vector<ScreenBox> windows;
    const bool placed = WaitFor([&] {
        windows = demo_.VisibleWindows();
        if (!FindAt(windows, mainX, mainY, mainW, mainH)) return false;
        for (const Panel& p : panels) {
            ScreenBox size;
            if (!testsupport::SkinBox(p.skin, "", size) ||
                !FindAt(windows, mainX + p.offset.x, mainY + p.offset.y, size.w, size.h))
                return false;
        }
        return true;
    });
    ASSERT_TRUE(placed) << "main expected at " << mainX << "," << mainY << " " << mainW << "x" << mainH
                        << "; windows: " << demo_.Describe();
    const ScreenBox main = *FindAt(windows, mainX, mainY, mainW, mainH);

    // The screenshot: the skin's background image beside the panels (drawn
    // at its own size) and the enter button's image in its unscaled corner.
    const std::string mainSkin = "launcherSkin" + suffix + ".xml";
    const fs::path shot = demo_.Folder() / "screen.png";
    std::string image;
    int corner = 0;
    std::vector<Spot> spots(3);
    ASSERT_TRUE(SkinImage(mainSkin, "<VerticalLayout[^>]*name=\"MainRoot\"[^>]*>", "bkimage", image, corner));
    const std::string background = image;
    spots[0].what = "main background";
    spots[0].x = main.x + 12, spots[0].y = main.y + mainH / 2;
    ASSERT_TRUE(testsupport::ImagePixel(kSkin / image, 12, mainH / 2, spots[0].rgb)) << image;
    ASSERT_TRUE(SkinImage(mainSkin, "<Button[^>]*name=\"EnterGameBtn\"[^>]*>", "normalimage", image, corner) && corner > 0);
    ScreenBox button;
    ASSERT_TRUE(testsupport::SkinBox(mainSkin, "EnterGameBtn", button));
    const int l = button.x, t = button.y;
    int ix, iy;
    ASSERT_TRUE(testsupport::OpaqueCornerPixel(kSkin / image, corner, false, ix, iy, spots[1].rgb)) << image;
    spots[1].what = "enter button";
    spots[1].x = main.x + l + ix, spots[1].y = main.y + t + iy;
    // Regression: a fall-back colour behind the button filled its rounded
    // image's transparent corners, so the button looked square. Its outermost
    // corner pixel shows the window's background.
    spots[2].what = "enter button's rounded corner";
    spots[2].x = main.x + l + 1, spots[2].y = main.y + t + 1;
    ASSERT_TRUE(testsupport::ImagePixel(kSkin / background, l + 1, t + 1, spots[2].rgb)) << background;
    ExpectOnScreen(shot, spots);

    // The close button ends the launcher.
    ASSERT_TRUE(ClickControl(main, "launcherSkin" + suffix + ".xml", "CloseBtn"));
    EXPECT_GE(demo_.ExitStatus(20), 0) << "ended by the close button";
    const std::string log = testsupport::ReadFileBytes(demo_.Folder() / "run.log");
    EXPECT_NE(log.find("window backend: desktop"), std::string::npos) << log;
}

}  // namespace
