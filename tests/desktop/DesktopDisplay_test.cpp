#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

#include "DesktopSupport.h"
#include "platform/Display.h"
#include "platform/Window.h"

namespace {

// The desktop backend reads the real primary display: the X server's size,
// and its 24-bit true colour reported as the 32-bit pixel format it is.
TEST(DesktopDisplayTest, CurrentModeIsTheRealScreen) {
    int width = 0, height = 0;
    std::istringstream(testsupport::Capture("xdotool getdisplaygeometry")) >> width >> height;
    ASSERT_GT(width, 0);
    platform::DisplayMode mode;
    ASSERT_TRUE(platform::EnumDisplaySettingsW(platform::ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.width, static_cast<std::uint32_t>(width));
    EXPECT_EQ(mode.height, static_cast<std::uint32_t>(height));
    EXPECT_EQ(mode.bitsPerPixel, 32u);
    const RECT screen = platform::GetScreenRect();
    EXPECT_EQ(screen.Width(), width);
    EXPECT_EQ(screen.Height(), height);
}

// A virtual X server offers no other modes: the request is refused at once
// and the screen stays as it was.
TEST(DesktopDisplayTest, ModeChangeTheDesktopDoesNotAllowIsRefusedQuickly) {
    platform::DisplayMode before;
    ASSERT_TRUE(platform::EnumDisplaySettingsW(platform::ENUM_CURRENT_SETTINGS, &before));
    platform::DisplayMode wanted = before;
    wanted.bitsPerPixel = 16;
    wanted.width = 640;
    wanted.height = 480;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::ChangeDisplaySettingsW(&wanted, 0), platform::DISP_CHANGE_FAILED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    platform::DisplayMode after;
    ASSERT_TRUE(platform::EnumDisplaySettingsW(platform::ENUM_CURRENT_SETTINGS, &after));
    EXPECT_EQ(after, before);
}

// GTK starts with GL switched off (it loaded the whole GL stack, some 45 MiB
// on a software renderer, although nothing here draws with GL); the switch
// is put back at once, so what the launcher starts later (the pages'
// processes, the game client) gets the player's environment.
TEST(DesktopDisplayTest, GtkStartLeavesThePlayersEnvironment) {
    EXPECT_EQ(std::getenv("GDK_GL"), nullptr);
}

}  // namespace
