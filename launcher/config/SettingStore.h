#pragma once

// The player's game display and sound settings in "resolution.ini":
// FullScreen, Resolution ("1024*768", "800*600", ...) and Voice.
// Process-wide singleton, no lock: UI thread only.

#include <string>

class SettingStore {
public:
    // The singleton, created on first use (windowed, no resolution, sound on).
    static SettingStore& Instance();
    // Test hook: puts the singleton back to its first-use state.
    static void ResetForTesting();

    // Reads [Setting] from `path` and remembers it. An unreadable file shows
    // the "missing Resolution.ini" box (no owner) and gives false. Flags are
    // integers, non-zero meaning on; absent or non-numeric keys leave the
    // field as it was.
    bool Load(const std::wstring& path);

    // Writes FullScreen, Resolution and Voice ("1"/"0" for the flags),
    // keeping the rest of the file. False when the file cannot be read (it
    // is not created) or not written.
    bool Save();

    bool fullScreen = false;
    std::wstring resolution;
    bool voice = true;
    std::wstring path;
};
