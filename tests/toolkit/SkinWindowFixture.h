#pragma once

// Test support for toolkit tests: skins written into a temporary folder and
// packed into "bt.dat", and a window class built the way the launcher's
// windows are (skin loaded on WM_CREATE, notifications recorded).

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Input.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "support/TempDir.h"
#include "toolkit/SkinPacker.h"
#include "toolkit/UIlib.h"

// Readable rectangles, sizes and points in test failures.
inline void PrintTo(const RECT& r, std::ostream* os) { *os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}"; }
inline void PrintTo(const SIZE& s, std::ostream* os) { *os << "{" << s.cx << "," << s.cy << "}"; }
inline void PrintTo(const POINT& p, std::ostream* os) { *os << "(" << p.x << "," << p.y << ")"; }

namespace DuiLib {
// Lets test failures print toolkit strings readably.
inline void PrintTo(const CStdString& text, std::ostream* os) { *os << '"' << platform::ToUtf8(text.Str()) << '"'; }
}  // namespace DuiLib

namespace toolkittest {

inline constexpr DWORD kPopupStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

class SkinWindow : public DuiLib::CWindowWnd, public DuiLib::INotifyUI, public DuiLib::IMessageFilterUI {
public:
    explicit SkinWindow(std::wstring skin) : skin_(std::move(skin)) {}
    ~SkinWindow() override { pm.RemovePreMessageFilter(this); }

    const wchar_t* GetWindowClassName() const override { return L"UITestFrame"; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_CREATE) {
            pm.Init(hwnd_);
            pm.AddPreMessageFilter(this);
            DuiLib::CDialogBuilder builder;
            DuiLib::CControlUI* root = builder.Create(skin_.c_str(), nullptr, nullptr, &pm, nullptr);
            built = root != nullptr;
            if (root) pm.AttachDialog(root);
            pm.AddNotifier(this);
            return 0;
        }
        if (msg == WM_NCHITTEST) return CaptionHitTest(lParam);
        LRESULT result = 0;
        if (pm.MessageHandler(msg, wParam, lParam, result)) return result;
        return CWindowWnd::HandleMessage(msg, wParam, lParam);
    }

    // The caption hit test of the launcher's pop-ups: drag anywhere in the
    // caption except over a button.
    LRESULT CaptionHitTest(LPARAM lParam) {
        DuiLib::CControlUI* control = pm.FindCaptionControl(lParam);
        return control && std::wstring(control->GetClass()) != L"ButtonUI" ? HTCAPTION : HTCLIENT;
    }

    void Notify(DuiLib::TNotifyUI& msg) override {
        log.push_back(msg.sType.Str() + L":" + (msg.pSender ? msg.pSender->GetName().Str() : L"-"));
        if (onNotify) onNotify(msg);
    }

    LRESULT MessageHandler(UINT msg, WPARAM, LPARAM, bool& handled) override {
        filtered.push_back(msg);
        if (blockMessage != 0 && msg == blockMessage) handled = true;
        return 0;
    }

    void OnFinalMessage(HWND hwnd) override {
        if (onFinal) onFinal();
        if (deleteOnFinal) delete this;
    }

    template <class T>
    T* Find(const wchar_t* name) {
        return dynamic_cast<T*>(pm.FindControl(name));
    }
    // Client point at the centre of a named control.
    POINT Centre(const wchar_t* name) {
        DuiLib::CControlUI* c = pm.FindControl(name);
        EXPECT_NE(c, nullptr) << platform::ToUtf8(name);
        if (!c) return POINT{-1, -1};
        const RECT r = c->GetPos();
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    DuiLib::CPaintManagerUI pm;
    std::vector<std::wstring> log;
    std::vector<UINT> filtered;
    UINT blockMessage = 0;
    std::function<void(DuiLib::TNotifyUI&)> onNotify;
    std::function<void()> onFinal;
    bool deleteOnFinal = false;
    bool built = false;

private:
    std::wstring skin_;
};

// Each test gets its own skin folder and archive; the window layer and the
// resource settings are reset around it.
class SkinTest : public testing::Test {
protected:
    void SetUp() override {
        platform::ResetWindowLayer();
        platform::InitUiThread();
        ResetResources();
    }
    void TearDown() override {
        platform::ResetWindowLayer();
        ResetResources();
    }
    static void ResetResources() {
        DuiLib::UIResources::SetResourceZip(L"");
        DuiLib::UIResources::SetResourcePath(L"");
        DuiLib::UIResources::ClearCache();
    }

    void WriteSkin(const std::string& name, const std::string& xml) {
        testsupport::WriteFileBytes(dir / "skin" / name, xml);
    }
    // Packs the skin folder into bt.dat and makes it the archive in use.
    void UseArchive() {
        auto result = DuiLib::SkinPacker::Pack(dir / "skin", dir / "bt.dat");
        ASSERT_EQ(result.status, DuiLib::SkinPackResult::Status::Ok) << result.message;
        DuiLib::CPaintManagerUI::SetResourcePath(dir.Folder().c_str());
        DuiLib::CPaintManagerUI::SetResourceZip(L"bt.dat");
    }
    // Loose files from the skin folder, no archive.
    void UseFolder() {
        DuiLib::CPaintManagerUI::SetResourcePath((dir.Folder() + L"skin/").c_str());
        DuiLib::CPaintManagerUI::SetResourceZip(L"");
    }

    // Creates a skinned window at (100, 100) and lets its start-up messages run.
    std::unique_ptr<SkinWindow> Open(const std::wstring& skin, HWND owner = nullptr, DWORD style = kPopupStyle) {
        auto wnd = std::make_unique<SkinWindow>(skin);
        EXPECT_NE(wnd->Create(owner, L"", style, 0, 100, 100, 0, 0), nullptr);
        platform::PumpPendingMessages();
        return wnd;
    }

    testsupport::TempDir dir;
};

}  // namespace toolkittest
