#pragma once

// The three layouts of the launcher, chosen once at start from the primary
// display's size: the screen-size class picks each window's skin file, the
// panels' web addresses and where the pop-ups float over the main window.

#include <string>

#include "platform/WinTypes.h"

// 0: at least 1024 x 768; 1: wider than 800 and at least 720 high; 2: the rest.
int ScreenSizeClassFor(long width, long height);

// The class of the primary display's current mode (class 0 when it cannot be read).
int ProbeScreenSizeClass();

// "" for class 0, "_720" for class 1, "_600" for class 2.
const wchar_t* SkinSuffix(int screenClass);

// `base` + suffix + ".xml", e.g. SkinFileFor(L"launcherSkin", 1) is "launcherSkin_720.xml".
std::wstring SkinFileFor(const wchar_t* base, int screenClass);

// Where each pop-up sits relative to the main window's top-left corner.
struct PanelOffsets {
    POINT news;
    POINT news2;
    POINT top;
    POINT update;
    POINT popup;  // the register window and the server list pop-up
};

PanelOffsets PanelOffsetsFor(int screenClass);

// Keeps the primary display at 32 bits per pixel. A refused change is asked
// again a few times with a short pause, then given up until the display's
// mode changes, so a display that never accepts true colour costs the
// launcher at most one short delay. Always true. UI thread.
bool ForceTrueColorDisplay();

// Forgets an earlier give-up (tests).
void ResetTrueColorRetryForTesting();
