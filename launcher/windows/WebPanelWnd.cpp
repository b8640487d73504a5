#include "launcher/windows/WebPanelWnd.h"

#include "launcher/LauncherFrameWnd.h"
#include "toolkit/ActiveXUI.h"
#include "toolkit/WebBrowser.h"

WebPanelWnd::WebPanelWnd(LauncherFrameWnd& main, std::wstring skinFile, std::wstring url)
    : SkinnedWindow({L"ButtonUI"}, true), main_(main), skinFile_(std::move(skinFile)), url_(std::move(url)) {}

void WebPanelWnd::OnSkinReady() { NavigateEmbeddedBrowser(paintManager_, url_); }

LRESULT WebPanelWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_MOUSEACTIVATE: {
            const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
            main_.FoldServerListPopup();
            return result;
        }
        default:
            return SkinnedWindow::HandleMessage(msg, wParam, lParam);
    }
}

void WebPanelWnd::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType == L"click") main_.FoldServerListPopup();
}

bool NavigateEmbeddedBrowser(DuiLib::CPaintManagerUI& paintManager, const std::wstring& url) {
    auto* host = dynamic_cast<DuiLib::CActiveXUI*>(paintManager.FindControl(L"IE"));
    if (!host) return false;
    DuiLib::IWebBrowser2* browser = nullptr;
    if (!host->GetControl(DuiLib::IID_IWebBrowser2, reinterpret_cast<void**>(&browser)) || !browser) return false;
    browser->Navigate(url.c_str());
    browser->Release();
    return true;
}
