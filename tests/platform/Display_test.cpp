#include "platform/Display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using platform::DisplayMode;

TEST(Display, ParsesScreenModeSettings) {
    struct Case {
        const char* text;
        std::optional<DisplayMode> expected;
    };
    const Case cases[] = {
        {"800x600x16", DisplayMode{800, 600, 16}},
        {"1024X768X32", DisplayMode{1024, 768, 32}},
        {"1280x720x24", DisplayMode{1280, 720, 24}},
        {"800x600", std::nullopt},
        {"800x600x12", std::nullopt},
        {"0x600x32", std::nullopt},
        {"800x600x32x1", std::nullopt},
        {" 800x600x32", std::nullopt},
        {"800 x600x32", std::nullopt},
        {"-800x600x32", std::nullopt},
        {"99999x600x32", std::nullopt},
        {"99999999999x600x32", std::nullopt},
        {"", std::nullopt},
        {"garbage", std::nullopt},
    };
    for (const Case& c : cases) {
        DisplayMode mode{1, 2, 3};
        const bool ok = platform::ParseDisplayMode(c.text, &mode);
        EXPECT_EQ(ok, c.expected.has_value()) << c.text;
        EXPECT_EQ(mode, c.expected.value_or(DisplayMode{1, 2, 3})) << c.text;
    }
}

TEST(Display, HeadlessVirtualDisplayAcceptsChanges) {
    platform::SetDisplaySource(nullptr);
    DisplayMode initial;
    ASSERT_TRUE(platform::EnumDisplaySettingsW(platform::ENUM_CURRENT_SETTINGS, &initial));
    const char* env = std::getenv("LAUNCHER_SCREEN");
    DisplayMode configured{1280, 800, 32};
    if (env != nullptr) platform::ParseDisplayMode(env, &configured);
    EXPECT_EQ(initial, configured);

    const DisplayMode small{800, 600, 16};
    EXPECT_EQ(platform::ChangeDisplaySettingsW(&small, 0), platform::DISP_CHANGE_SUCCESSFUL);
    DisplayMode now;
    ASSERT_TRUE(platform::EnumDisplaySettingsW(platform::ENUM_CURRENT_SETTINGS, &now));
    EXPECT_EQ(now, small);
    const DisplayMode invalid{0, 600, 32};
    EXPECT_EQ(platform::ChangeDisplaySettingsW(&invalid, 0), platform::DISP_CHANGE_FAILED);
    EXPECT_EQ(platform::ChangeDisplaySettingsW(&initial, 0), platform::DISP_CHANGE_SUCCESSFUL);
}
