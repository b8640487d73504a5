#include "launcher/ui/ScreenLayout.h"

#include <gtest/gtest.h>

#include "platform/Display.h"

namespace {

TEST(ScreenLayoutTest, ClassesFollowTheThresholdsInTheirOrder) {
    const struct {
        long width, height;
        int expected;
        const wchar_t* skin;
    } cases[] = {
        {800, 600, 2, L"launcherSkin_600.xml"},   {800, 720, 2, L"launcherSkin_600.xml"},
        {801, 720, 1, L"launcherSkin_720.xml"},   {1000, 740, 1, L"launcherSkin_720.xml"},
        {1024, 720, 1, L"launcherSkin_720.xml"},  {1280, 720, 1, L"launcherSkin_720.xml"},
        {1024, 767, 1, L"launcherSkin_720.xml"},  {1024, 768, 0, L"launcherSkin.xml"},
        {1023, 1080, 1, L"launcherSkin_720.xml"}, {1920, 1080, 0, L"launcherSkin.xml"},
        {1920, 719, 2, L"launcherSkin_600.xml"},  {640, 480, 2, L"launcherSkin_600.xml"},
    };
    for (const auto& c : cases) {
        const int cls = ScreenSizeClassFor(c.width, c.height);
        EXPECT_EQ(cls, c.expected) << c.width << "x" << c.height;
        EXPECT_EQ(SkinFileFor(L"launcherSkin", cls), c.skin) << c.width << "x" << c.height;
    }
}

TEST(ScreenLayoutTest, TrueColorIsForcedAndARefusingDisplayDoesNotHang) {
    platform::FakeDisplay display;
    platform::SetDisplaySource(&display);
    ResetTrueColorRetryForTesting();

    display.mode = {1280, 800, 32};
    EXPECT_TRUE(ForceTrueColorDisplay());
    EXPECT_EQ(display.changeRequests, 0);

    display.mode = {1280, 800, 16};
    EXPECT_TRUE(ForceTrueColorDisplay());
    EXPECT_EQ(display.mode, (platform::DisplayMode{1280, 800, 32}));
    EXPECT_EQ(display.changeRequests, 1);

    display.mode = {1024, 768, 16};
    display.refuseChanges = true;
    display.changeRequests = 0;
    EXPECT_TRUE(ForceTrueColorDisplay());
    const int firstRound = display.changeRequests;
    EXPECT_GT(firstRound, 1);
    EXPECT_LE(firstRound, 5);
    // Every later paint would ask again; the refused mode is not retried.
    for (int i = 0; i < 100; ++i) ForceTrueColorDisplay();
    EXPECT_EQ(display.changeRequests, firstRound);
    // A different mode is a new chance.
    display.mode = {800, 600, 16};
    display.refuseChanges = false;
    ForceTrueColorDisplay();
    EXPECT_EQ(display.mode.bitsPerPixel, 32u);

    ResetTrueColorRetryForTesting();
    platform::SetDisplaySource(nullptr);
}

}  // namespace
