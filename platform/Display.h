#pragma once

// The primary display's current mode and mode changes.

#include <cstdint>
#include <functional>
#include <string_view>

namespace platform {

struct DisplayMode {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    bool operator==(const DisplayMode&) const = default;
};

inline constexpr int ENUM_CURRENT_SETTINGS = -1;
inline constexpr long DISP_CHANGE_SUCCESSFUL = 0;
inline constexpr long DISP_CHANGE_FAILED = -1;

// Reads the current mode of the primary display. Only ENUM_CURRENT_SETTINGS
// is supported; false for any other mode number. UI thread.
bool EnumDisplaySettingsW(int modeNum, DisplayMode* mode);

// Asks for `mode` on the primary display; DISP_CHANGE_SUCCESSFUL or
// DISP_CHANGE_FAILED when the display refuses. UI thread.
long ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags);

// Where display modes come from. The headless source is a virtual display,
// 1280x800x32 unless LAUNCHER_SCREEN (e.g. "800x600x16") says otherwise; the
// desktop backend installs a source that reads the real display.
class DisplaySource {
public:
    virtual ~DisplaySource() = default;
    virtual DisplayMode Current() = 0;
    virtual bool Change(const DisplayMode& mode) = 0;
};

// Reads a mode written "WIDTHxHEIGHTxBITS" (e.g. "800x600x16"); sizes 1 to
// 16384, depth 8, 15, 16, 24 or 32. False, leaving `mode` alone, otherwise.
bool ParseDisplayMode(std::string_view text, DisplayMode* mode);

// Installs `source` (not owned; must outlive its use); nullptr restores the
// headless virtual display.
void SetDisplaySource(DisplaySource* source);

// A scriptable display for tests: any mode, refusal on demand, counts requests.
class FakeDisplay : public DisplaySource {
public:
    DisplayMode mode{1280, 800, 32};
    bool refuseChanges = false;
    int changeRequests = 0;
    DisplayMode Current() override { return mode; }
    bool Change(const DisplayMode& m) override {
        ++changeRequests;
        if (refuseChanges) return false;
        mode = m;
        return true;
    }
};

}  // namespace platform
