#pragma once

// The left panel beside the main window: "news.xml" ("_720", "_600" for the
// smaller screens) showing leftUrl, or left600Url on the smallest screens.

#include "launcher/LauncherFrameWnd.h"
#include "launcher/windows/WebPanelWnd.h"

class UINewsWnd : public WebPanelWnd {
public:
    explicit UINewsWnd(LauncherFrameWnd& main)
        : WebPanelWnd(main, SkinFileFor(L"news", main.screenClass),
                      main.screenClass == 2 ? main.config.left600Url : main.config.leftUrl) {}

    const wchar_t* GetWindowClassName() const override { return L"UINewsFrame"; }
};
