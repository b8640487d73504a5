#pragma once

// The host of an embedded web browser. GetControl with IID_IWebBrowser2
// hands out the browser (made on first request by the installed factory).
// Without a factory the desktop backend gets a web view (from the web view
// module, WebViewModule.h)
// and the headless one a browser that records the addresses it was asked
// to load and draws nothing.

#include "toolkit/ControlUI.h"
#include "toolkit/WebBrowser.h"

namespace DuiLib {

class CActiveXUI : public CControlUI {
public:
    // Makes a browser for `host` holding one reference, or null.
    using BrowserFactory = IEmbeddedBrowser* (*)(CActiveXUI& host);

    CActiveXUI() = default;
    ~CActiveXUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    // On success `*out` holds one new reference; false (and `*out` null) for
    // another interface id or when no browser can be made.
    bool GetControl(const IID& iid, void** out);

    // Process-wide; null restores the headless browser. Affects controls
    // that have not made their browser yet. UI thread.
    static void SetBrowserFactory(BrowserFactory factory);

    const CStdString& GetClsid() const { return clsid_; }

    void SetPos(RECT rect) override;
    void SetVisible(bool visible = true) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

private:
    void UpdateBounds();

    IEmbeddedBrowser* browser_ = nullptr;  // one reference held
    CStdString clsid_;
};

}  // namespace DuiLib
