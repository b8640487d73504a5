#include "launcher/windows/UIRegisterWnd.h"

#include "launcher/LauncherFrameWnd.h"

UIRegisterWnd::UIRegisterWnd(LauncherFrameWnd& main) : WebPanelWnd(main, L"Register.xml", main.config.registerUrl) {}

void UIRegisterWnd::OnSkinReady() {
    quitBtn_ = Find(L"QuitBtn");
    WebPanelWnd::OnSkinReady();
}

LRESULT UIRegisterWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return HandleUnshapedMessage(msg, wParam, lParam);
}

void UIRegisterWnd::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType == L"click" && msg.pSender && msg.pSender->GetName() == L"QuitBtn") Close();
}
