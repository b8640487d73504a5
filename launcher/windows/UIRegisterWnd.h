#pragma once

// The account registration page ("Register.xml" on every screen size,
// registerUrl). Made hidden at start-up and left where it was made when the
// main window moves; "QuitBtn" closes it. Unlike the panels it neither
// shapes itself nor folds the server-list pop-up away.

#include "launcher/windows/WebPanelWnd.h"

class UIRegisterWnd : public WebPanelWnd {
public:
    explicit UIRegisterWnd(LauncherFrameWnd& main);

    const wchar_t* GetWindowClassName() const override { return L"UIRegisterFrame"; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

protected:
    void OnSkinReady() override;

private:
    DuiLib::CControlUI* quitBtn_ = nullptr;
};
