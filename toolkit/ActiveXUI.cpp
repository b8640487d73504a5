#include "toolkit/ActiveXUI.h"

#include <cwchar>
#include <string>

#include "platform/Backend.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/WebViewModule.h"

namespace DuiLib {
namespace {

// The headless browser: remembers the address and nothing else.
class HeadlessBrowser : public IEmbeddedBrowser {
public:
    unsigned long AddRef() override { return ++refs_; }
    unsigned long Release() override {
        const unsigned long left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    platform::HRESULT Navigate(const wchar_t* url) override {
        if (!url || !*url) return platform::E_FAIL;
        location_ = url;
        return platform::S_OK;
    }
    std::wstring GetLocationURL() const override { return location_; }
    void SetBounds(HWND, const RECT&, bool) override {}

private:
    unsigned long refs_ = 1;
    std::wstring location_;
};

// On a desktop the control hosts a real web view; headless, with web views
// switched off or without the web view module, the recorder, and the panel
// shows the skin's background.
IEmbeddedBrowser* MakeDefaultBrowser(CActiveXUI&) {
    if (platform::WebViewsEnabled()) {
        if (IEmbeddedBrowser* view = CreateModuleWebView()) return view;
    }
    return new HeadlessBrowser();
}

CActiveXUI::BrowserFactory g_factory = nullptr;

}  // namespace

CActiveXUI::~CActiveXUI() {
    if (browser_) browser_->Release();
}

const wchar_t* CActiveXUI::GetClass() const { return L"ActiveXUI"; }

void* CActiveXUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"ActiveX") == 0) return this;
    return CControlUI::GetInterface(name);
}

void CActiveXUI::SetBrowserFactory(BrowserFactory factory) { g_factory = factory; }

bool CActiveXUI::GetControl(const IID& iid, void** out) {
    DUI_ASSERT_UI_THREAD();
    if (!out) return false;
    *out = nullptr;
    if (!(iid == IID_IWebBrowser2)) return false;
    if (!browser_) {
        browser_ = (g_factory ? g_factory : MakeDefaultBrowser)(*this);
        if (!browser_) return false;
        UpdateBounds();
    }
    browser_->AddRef();
    *out = static_cast<IWebBrowser2*>(browser_);
    return true;
}

void CActiveXUI::UpdateBounds() {
    if (!browser_) return;
    const HWND window = manager_ ? manager_->GetPaintWindow() : nullptr;
    browser_->SetBounds(window, GetPos(), IsVisible());
}

void CActiveXUI::SetPos(RECT rect) {
    CControlUI::SetPos(rect);
    UpdateBounds();
}

void CActiveXUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    UpdateBounds();
}

void CActiveXUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    UpdateBounds();
}

void CActiveXUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    if (std::wcscmp(name, L"clsid") == 0) {
        clsid_ = value;
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
