#pragma once

// The desktop browser of the "IE" control: a wxWebView (WebKitGTK) made as
// a child of the control's window and kept on the control's rectangle. It
// is built into the web view module and reaches the window layer only
// through the host's table (WebViewModule.h).
//
// The web view is made when its window is first shown, so a window that is
// never shown (the register page) costs no browser process. It stays
// hidden until a page has loaded: while loading, and after a failed load,
// the skin's own background shows, and no error page or dialog ever
// appears. UI thread only.

#include <string>

#include <wx/weakref.h>
#include <wx/webview.h>
#include <wx/window.h>

#include "toolkit/WebBrowser.h"
#include "toolkit/WebViewModule.h"

namespace DuiLib {

class CWebViewBrowser : public IEmbeddedBrowser {
public:
    explicit CWebViewBrowser(const WebViewHost& host) : host_(host) {}

    unsigned long AddRef() override { return ++refs_; }
    unsigned long Release() override;
    platform::HRESULT Navigate(const wchar_t* url) override;
    std::wstring GetLocationURL() const override { return location_; }
    void SetBounds(HWND window, const RECT& rect, bool visible) override;

    bool IsPageShown() const override;
    bool HasFailed() const override { return failed_; }

    // A press landed inside the page: tells the control's window with
    // WM_MOUSEACTIVATE, as a press on its own surface would be heard.
    void ReportPagePress();

private:
    ~CWebViewBrowser() override;
    void BindWindow(HWND window);
    void EnsureView();
    void Place();
    void OnWindowShown(wxShowEvent& event);
    void OnLoaded(wxWebViewEvent& event);
    void OnError(wxWebViewEvent& event);
    void OnNewWindow(wxWebViewEvent& event);

    WebViewHost host_;
    unsigned long refs_ = 1;
    HWND window_ = nullptr;
    wxWeakRef<wxWindow> frame_;
    wxWeakRef<wxWebView> view_;
    RECT rect_;
    bool visible_ = false;
    bool loaded_ = false;
    bool failed_ = false;
    std::wstring location_;
};

}  // namespace DuiLib
