#pragma once

// A web panel floating beside the main window: a skinned pop-up whose
// embedded browser ("IE") loads one page of the game's web site when the
// window is created. The page is the one configured at start-up for the
// screen's size class; it is never reloaded. A click into the panel, or
// activating it with the mouse, folds the server-list pop-up away.
//
// Made with new by the main window, which keeps a ChildWindow handle; frees
// itself with its window. UI thread only.

#include <string>

#include "launcher/ui/SkinnedWindow.h"

class LauncherFrameWnd;

class WebPanelWnd : public SkinnedWindow {
public:
    UINT GetClassStyle() const override { return kPopupClassStyle; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // The address given to the browser at creation.
    const std::wstring& Url() const { return url_; }

protected:
    // `skinFile`: the layout of this panel for the screen class.
    WebPanelWnd(LauncherFrameWnd& main, std::wstring skinFile, std::wstring url);

    std::wstring SkinFile() const override { return skinFile_; }
    // Starts the browser on the panel's page.
    void OnSkinReady() override;

    LauncherFrameWnd& main_;

private:
    std::wstring skinFile_;
    std::wstring url_;
};

// Asks the skin's "IE" control to load `url`. False when the skin has no
// such control or it yields no browser; the page's own loading result is the
// browser's business.
bool NavigateEmbeddedBrowser(DuiLib::CPaintManagerUI& paintManager, const std::wstring& url);
