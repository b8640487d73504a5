#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "DemoProcess.h"
#include "DesktopSupport.h"
#include "support/TextPattern.h"
#include "launcher/ui/ScreenLayout.h"
#include "support/TempDir.h"

// The player's road through the demo launcher on the test's X display: open
// the server list from the update pane, pick a server, press Enter Game. The
// demo's stand-in client records how it was started and which server it found
// in qx.ini. All input is real pointer input at the controls' screen places,
// worked out from the window geometry and the skins' positions.

namespace {

using testsupport::ScreenBox;
using testsupport::WaitFor;

// Clicks the centre of control `name` of the window at `origin`.
void ClickControl(const ScreenBox& origin, const std::string& skinFile, const std::string& name) {
    ScreenBox c;
    ASSERT_TRUE(testsupport::SkinBox(skinFile, name, c)) << name << " in " << skinFile;
    testsupport::ClickAt(origin.x + c.x + c.w / 2, origin.y + c.y + c.h / 2);
}

class ServerChoiceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(demo_.Ready()) << "build the demo_install target first"; }

    testsupport::DemoProcess demo_;
};

TEST_F(ServerChoiceTest, PickAServerAndEnterTheGame) {
    int screenW = 0, screenH = 0;
    std::istringstream(testsupport::Capture("xdotool getdisplaygeometry")) >> screenW >> screenH;
    ASSERT_GT(screenW, 0);
    const int screenClass = ScreenSizeClassFor(screenW, screenH);
    const std::wstring wide = SkinSuffix(screenClass);
    const std::string suffix(wide.begin(), wide.end());
    const std::string mainSkin = "launcherSkin" + suffix + ".xml";
    const std::string paneSkin = "server" + suffix + ".xml";
    const PanelOffsets offsets = PanelOffsetsFor(screenClass);
    demo_.Start();

    // The main window centred on the screen; the update pane at its offset.
    ScreenBox main, pane, popupSize;
    ASSERT_TRUE(testsupport::SkinBox(mainSkin, "", main));
    ASSERT_TRUE(testsupport::SkinBox(paneSkin, "", pane));
    ASSERT_TRUE(testsupport::SkinBox("serverList.xml", "", popupSize));
    main.x = (screenW - main.w) / 2;
    main.y = (screenH - main.h) / 2;
    pane.x = main.x + static_cast<int>(offsets.update.x);
    pane.y = main.y + static_cast<int>(offsets.update.y);
    ASSERT_TRUE(WaitFor([&] { return demo_.Shows(main) && demo_.Shows(pane); })) << "windows: " << demo_.Describe();

    // The server button opens the list of area 0 (three servers) upward:
    // 3 x 27 + 4 pixels high, its bottom edge 46 pixels below the pane's top.
    ClickControl(pane, paneSkin, "ServerBtn");
    ScreenBox popup;
    ASSERT_TRUE(WaitFor([&] {
        for (const ScreenBox& b : demo_.VisibleWindows()) {
            if (b.w == popupSize.w && b.h == 3 * 27 + 4) popup = b;
        }
        return popup.w > 0;
    })) << "no pop-up of three rows (it was hidden right after it was created and is shown now); windows: "
       << demo_.Describe();
    EXPECT_EQ(popup.x, main.x + static_cast<int>(offsets.popup.x));
    EXPECT_EQ(popup.y + popup.h, pane.y + 46);

    // The second row (inset 2, rows of 27): 白虎堂.
    testsupport::ClickAt(popup.x + popup.w / 2, popup.y + 2 + 27 + 13);
    ASSERT_TRUE(WaitFor([&] { return !demo_.Shows(popup); })) << "the pop-up folds away after a pick";

    ClickControl(main, mainSkin, "EnterGameBtn");
    EXPECT_EQ(demo_.ExitStatus(20), 0);

    std::string launches;
    ASSERT_TRUE(WaitFor([&] {
        launches = testsupport::ReadFileBytes(demo_.Folder() / "qx-launches.log");
        return launches.find("ServerSid=") != std::string::npos;
    })) << "the stand-in client did not run";
    EXPECT_NE(launches.find("qx.exe started with: ws\n"), std::string::npos) << launches;
    EXPECT_NE(launches.find("ServerAddr=198.51.100.12\n"), std::string::npos) << launches;
    EXPECT_NE(launches.find("ServerSid=102\n"), std::string::npos) << launches;
    const std::string ini = testsupport::ReadFileBytes(demo_.Folder() / "qx.ini");
    EXPECT_NE(ini.find("ServerAddr=198.51.100.12"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ServerPort=7001"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ChargeUrl=198.51.100.200"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ServerSid=102"), std::string::npos) << ini;
}

}  // namespace
