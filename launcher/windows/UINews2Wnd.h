#pragma once

// The right panel beside the main window: "news2.xml" ("_720", "_600" for the
// smaller screens) showing rightUrl, or right600Url on the smallest screens.

#include "launcher/LauncherFrameWnd.h"
#include "launcher/windows/WebPanelWnd.h"

class UINews2Wnd : public WebPanelWnd {
public:
    explicit UINews2Wnd(LauncherFrameWnd& main)
        : WebPanelWnd(main, SkinFileFor(L"news2", main.screenClass),
                      main.screenClass == 2 ? main.config.right600Url : main.config.rightUrl) {}

    const wchar_t* GetWindowClassName() const override { return L"UINews2Frame"; }
};
