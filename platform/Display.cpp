#include "platform/Display.h"

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

// The display of a machine without one: starts in the mode LAUNCHER_SCREEN
// names (1280x800x32 when unset or unreadable) and accepts every valid mode.
class VirtualDisplay : public DisplaySource {
public:
    VirtualDisplay() {
        const char* env = std::getenv("LAUNCHER_SCREEN");
        if (env != nullptr) ParseDisplayMode(env, &mode_);
    }
    DisplayMode Current() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return mode_;
    }
    bool Change(const DisplayMode& mode) override {
        if (mode.width == 0 || mode.height == 0 || mode.bitsPerPixel == 0) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        mode_ = mode;
        return true;
    }

private:
    std::mutex mutex_;
    DisplayMode mode_{1280, 800, 32};
};

std::atomic<DisplaySource*> installedSource{nullptr};

DisplaySource& ActiveSource() {
    if (DisplaySource* source = installedSource.load()) return *source;
    static VirtualDisplay virtualDisplay;
    return virtualDisplay;
}

bool ParseNumber(std::string_view& text, std::uint32_t* value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    if (error != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

}  // namespace

bool ParseDisplayMode(std::string_view text, DisplayMode* mode) {
    DisplayMode parsed;
    std::uint32_t* fields[] = {&parsed.width, &parsed.height, &parsed.bitsPerPixel};
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0) {
            if (text.empty() || (text.front() != 'x' && text.front() != 'X')) return false;
            text.remove_prefix(1);
        }
        if (!ParseNumber(text, fields[i])) return false;
    }
    if (!text.empty()) return false;
    const auto validSize = [](std::uint32_t v) { return v >= 1 && v <= 16384; };
    const std::uint32_t bpp = parsed.bitsPerPixel;
    if (!validSize(parsed.width) || !validSize(parsed.height) ||
        !(bpp == 8 || bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32)) {
        return false;
    }
    *mode = parsed;
    return true;
}

bool EnumDisplaySettingsW(int modeNum, DisplayMode* mode) {
    if (modeNum != ENUM_CURRENT_SETTINGS || mode == nullptr) return false;
    *mode = ActiveSource().Current();
    return true;
}

long ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t /*flags*/) {
    // No mode means "back to the stored mode" in the classic API; there is no
    // stored mode here, so it is refused rather than guessed.
    if (mode == nullptr) return DISP_CHANGE_FAILED;
    return ActiveSource().Change(*mode) ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
}

void SetDisplaySource(DisplaySource* source) { installedSource.store(source); }

}  // namespace platform
