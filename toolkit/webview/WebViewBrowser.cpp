#include "toolkit/webview/WebViewBrowser.h"

#include <gtk/gtk.h>

#include <algorithm>

#include "platform/WinTypes.h"

namespace DuiLib {

namespace {

// A press inside the page never reaches wx or the window layer: WebKit takes
// it. The window still has to hear of it (the launcher folds its pop-ups on
// any press in its windows), so the native press is reported to the control's
// window as the activation a press elsewhere would bring. The page gets the
// press as before. UI thread (GTK's main loop).
gboolean OnPagePress(GtkWidget*, GdkEventButton*, gpointer data) {
    auto* browser = static_cast<CWebViewBrowser*>(data);
    browser->ReportPagePress();
    return FALSE;
}

}  // namespace

void CWebViewBrowser::ReportPagePress() {
    if (!host_.isWindow(window_)) return;
    host_.sendMessage(window_, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(window_),
                           MAKELPARAM(static_cast<int>(HTCLIENT), static_cast<int>(WM_LBUTTONDOWN)));
}

CWebViewBrowser::~CWebViewBrowser() {
    if (frame_) frame_->Unbind(wxEVT_SHOW, &CWebViewBrowser::OnWindowShown, this);
    if (view_) {
        if (auto* page = static_cast<GtkWidget*>(view_->GetNativeBackend()))
            g_signal_handlers_disconnect_by_data(page, this);
        view_->Unbind(wxEVT_WEBVIEW_LOADED, &CWebViewBrowser::OnLoaded, this);
        view_->Unbind(wxEVT_WEBVIEW_ERROR, &CWebViewBrowser::OnError, this);
        view_->Unbind(wxEVT_WEBVIEW_NEWWINDOW, &CWebViewBrowser::OnNewWindow, this);
        view_->Destroy();
    }
}

unsigned long CWebViewBrowser::Release() {
    const unsigned long left = --refs_;
    if (left == 0) delete this;
    return left;
}

platform::HRESULT CWebViewBrowser::Navigate(const wchar_t* url) {
    if (!url || !*url) return platform::E_FAIL;
    location_ = url;
    loaded_ = false;
    failed_ = false;
    if (view_) {
        Place();
        view_->LoadURL(wxString(location_));
    } else {
        EnsureView();
    }
    return platform::S_OK;
}

void CWebViewBrowser::SetBounds(HWND window, const RECT& rect, bool visible) {
    rect_ = rect;
    visible_ = visible;
    if (window != window_) BindWindow(window);
    EnsureView();
    Place();
}

bool CWebViewBrowser::IsPageShown() const { return view_ && view_->IsShown() && loaded_ && !failed_; }

void CWebViewBrowser::BindWindow(HWND window) {
    if (frame_) frame_->Unbind(wxEVT_SHOW, &CWebViewBrowser::OnWindowShown, this);
    if (view_) view_->Destroy();
    view_ = nullptr;
    window_ = window;
    frame_ = host_.nativeWindowOf(window);
    if (frame_) frame_->Bind(wxEVT_SHOW, &CWebViewBrowser::OnWindowShown, this);
}

void CWebViewBrowser::OnWindowShown(wxShowEvent& event) {
    event.Skip();
    if (event.IsShown()) EnsureView();
}

void CWebViewBrowser::EnsureView() {
    if (view_ || !frame_ || location_.empty() || !host_.isWindowVisible(window_)) return;
    wxWebView* view = wxWebView::New();
    // Hidden until its page is there; the window's own drawing shows meanwhile.
    view->Hide();
    if (!view->Create(frame_, wxID_ANY, wxString(location_), wxPoint(static_cast<int>(rect_.left), static_cast<int>(rect_.top)),
                      wxSize(std::max<int>(static_cast<int>(rect_.Width()), 1), std::max<int>(static_cast<int>(rect_.Height()), 1)))) {
        view->Destroy();
        return;
    }
    view->EnableContextMenu(false);
    view->Bind(wxEVT_WEBVIEW_LOADED, &CWebViewBrowser::OnLoaded, this);
    view->Bind(wxEVT_WEBVIEW_ERROR, &CWebViewBrowser::OnError, this);
    view->Bind(wxEVT_WEBVIEW_NEWWINDOW, &CWebViewBrowser::OnNewWindow, this);
    // The backend is the page's own widget (the handle is a scrolled window
    // around it, which never sees the press).
    if (auto* page = static_cast<GtkWidget*>(view->GetNativeBackend()))
        g_signal_connect(page, "button-press-event", G_CALLBACK(OnPagePress), this);
    view_ = view;
    Place();
}

void CWebViewBrowser::Place() {
    if (!view_) return;
    view_->SetSize(static_cast<int>(rect_.left), static_cast<int>(rect_.top), std::max<int>(static_cast<int>(rect_.Width()), 1),
                   std::max<int>(static_cast<int>(rect_.Height()), 1));
    const bool show = visible_ && loaded_ && !failed_ && rect_.Width() > 0 && rect_.Height() > 0;
    if (view_->IsShown() != show) view_->Show(show);
}

void CWebViewBrowser::OnLoaded(wxWebViewEvent& event) {
    event.Skip();
    // After a failure WebKit loads its own error page and reports that
    // too; it stays hidden.
    if (!failed_) loaded_ = true;
    Place();
}

void CWebViewBrowser::OnError(wxWebViewEvent& event) {
    event.Skip();
    // A load replaced by a newer one is not a failure of the page.
    if (event.GetInt() == wxWEBVIEW_NAV_ERR_USER_CANCELLED) return;
    failed_ = true;
    loaded_ = false;
    Place();
}

void CWebViewBrowser::OnNewWindow(wxWebViewEvent& event) {
    // A panel has no room for a second page: the player's browser shows it.
    const std::wstring url = event.GetURL().ToStdWstring();
    if (host_.openUrl && !url.empty()) host_.openUrl(url);
}

}  // namespace DuiLib

// The module's one export: a browser holding one reference, on the host's
// window layer. UI thread.
extern "C" __attribute__((visibility("default"))) DuiLib::IEmbeddedBrowser* CreateWebViewBrowser(
    const DuiLib::WebViewHost* host) {
    if (!host || host->version != DuiLib::kWebViewHostVersion) return nullptr;
    return new DuiLib::CWebViewBrowser(*host);
}
