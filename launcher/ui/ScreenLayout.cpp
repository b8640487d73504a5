#include "launcher/ui/ScreenLayout.h"

#include <chrono>
#include <optional>
#include <thread>

#include "platform/Display.h"

namespace {

constexpr int kTrueColorAttempts = 3;
constexpr auto kTrueColorPause = std::chrono::milliseconds(20);

// The mode whose change to 32 bits was refused every time; not asked again
// while the display stays in it.
std::optional<platform::DisplayMode> gRefusedMode;

}  // namespace

int ScreenSizeClassFor(long width, long height) {
    if (width >= 1024 && height >= 768) return 0;
    if (width >= 801 && height >= 720) return 1;
    return 2;
}

int ProbeScreenSizeClass() {
    platform::DisplayMode mode;
    if (!platform::EnumDisplaySettingsW(platform::ENUM_CURRENT_SETTINGS, &mode)) return 0;
    return ScreenSizeClassFor(mode.width, mode.height);
}

const wchar_t* SkinSuffix(int screenClass) {
    switch (screenClass) {
        case 1: return L"_720";
        case 2: return L"_600";
        default: return L"";
    }
}

std::wstring SkinFileFor(const wchar_t* base, int screenClass) {
    return std::wstring(base) + SkinSuffix(screenClass) + L".xml";
}

PanelOffsets PanelOffsetsFor(int screenClass) {
    switch (screenClass) {
        case 1:
            return PanelOffsets{{186, 286}, {492, 286}, {190, 186}, {105, 545}, {567, 480}};
        case 2:
            return PanelOffsets{{132, 236}, {383, 236}, {128, 148}, {70, 453}, {420, 480}};
        default:
            return PanelOffsets{{199, 323}, {499, 323}, {189, 197}, {106, 580}, {566, 280}};
    }
}

bool ForceTrueColorDisplay() {
    platform::DisplayMode mode;
    if (!platform::EnumDisplaySettingsW(platform::ENUM_CURRENT_SETTINGS, &mode)) return true;
    if (mode.bitsPerPixel == 32) return true;
    if (gRefusedMode && *gRefusedMode == mode) return true;
    platform::DisplayMode wanted = mode;
    wanted.bitsPerPixel = 32;
    for (int attempt = 0; attempt < kTrueColorAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kTrueColorPause);
        if (platform::ChangeDisplaySettingsW(&wanted, 0) == platform::DISP_CHANGE_SUCCESSFUL) {
            gRefusedMode.reset();
            return true;
        }
    }
    gRefusedMode = mode;
    return true;
}

void ResetTrueColorRetryForTesting() { gRefusedMode.reset(); }
