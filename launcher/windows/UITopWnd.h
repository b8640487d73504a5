#pragma once

// The top panel beside the main window: "top.xml" ("_720", "_600" for the
// smaller screens) showing topUrl, or top600Url on the smallest screens.

#include "launcher/LauncherFrameWnd.h"
#include "launcher/windows/WebPanelWnd.h"

class UITopWnd : public WebPanelWnd {
public:
    explicit UITopWnd(LauncherFrameWnd& main)
        : WebPanelWnd(main, SkinFileFor(L"top", main.screenClass),
                      main.screenClass == 2 ? main.config.top600Url : main.config.topUrl) {}

    const wchar_t* GetWindowClassName() const override { return L"UITopFrame"; }
};
