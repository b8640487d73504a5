#include "launcher/ui/SkinnedWindow.h"

#include <algorithm>

#include "toolkit/ControlUI.h"
#include "toolkit/DialogBuilder.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

SkinnedWindow::SkinnedWindow(std::initializer_list<const wchar_t*> captionExcluded, bool filtered)
    : captionExcluded_(captionExcluded.begin(), captionExcluded.end()), filtered_(filtered) {}

SkinnedWindow::~SkinnedWindow() {
    if (ownerSlot_ && *ownerSlot_ == this) *ownerSlot_ = nullptr;
    if (filtered_) paintManager_.RemovePreMessageFilter(this);
    paintManager_.RemoveNotifier(this);
}

void SkinnedWindow::LeaveAllocatedAfterWindow() {
    freeOnFinalMessage_ = false;
#if defined(__SANITIZE_ADDRESS__)
    __lsan_ignore_object(this);
#endif
}

void SkinnedWindow::OnFinalMessage(HWND) {
    if (freeOnFinalMessage_) delete this;
}

HWND SkinnedWindow::CreatePopup(HWND parent, POINT position, SIZE size) {
    return Create(parent, L"", kPopupStyle, 0, static_cast<int>(position.x),
                  static_cast<int>(position.y), static_cast<int>(size.cx), static_cast<int>(size.cy));
}

LRESULT SkinnedWindow::MessageHandler(UINT, WPARAM, LPARAM, bool&) { return 0; }

LRESULT SkinnedWindow::OnCreate() {
    long style = platform::GetWindowLongW(hwnd_, GWL_STYLE);
    style &= ~static_cast<long>(WS_CAPTION);
    style |= static_cast<long>(WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    platform::SetWindowLongW(hwnd_, GWL_STYLE, style);

    paintManager_.Init(hwnd_);
    if (filtered_) paintManager_.AddPreMessageFilter(this);
    DuiLib::CDialogBuilder builder;
    const std::wstring skin = SkinFile();
    // A missing or broken skin leaves an empty window, never a failed one.
    DuiLib::CControlUI* root = builder.Create(skin.c_str(), nullptr, nullptr, &paintManager_);
    paintManager_.AttachDialog(root);
    paintManager_.AddNotifier(this);
    OnSkinReady();
    return 0;
}

LRESULT SkinnedWindow::OnNcHitTest(LPARAM lParam) {
    DuiLib::CControlUI* control = paintManager_.FindCaptionControl(lParam);
    if (!control) return HTCLIENT;
    const std::wstring cls = control->GetClass();
    const bool excluded = std::find(captionExcluded_.begin(), captionExcluded_.end(), cls) !=
                          captionExcluded_.end();
    return excluded ? HTCLIENT : HTCAPTION;
}

void SkinnedWindow::ApplyRoundRegion() {
    const SIZE corner = paintManager_.GetRoundCorner();
    if (platform::IsIconic(hwnd_) || (corner.cx == 0 && corner.cy == 0)) return;
    RECT window;
    platform::GetWindowRect(hwnd_, &window);
    const RECT bounds{0, 0, window.Width() + 1, window.Height() + 1};
    platform::SetWindowRgn(hwnd_, platform::WindowRegion{bounds, corner}, true);
}

LRESULT SkinnedWindow::HandleNonClient(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (msg) {
        case WM_NCACTIVATE:
            if (platform::IsIconic(hwnd_)) {
                handled = false;
                return 0;
            }
            return wParam == 0 ? 1 : 0;
        case WM_NCCALCSIZE:
        case WM_NCPAINT:
            return 0;
        case WM_NCHITTEST:
            return OnNcHitTest(lParam);
        case WM_SIZE:
            ApplyRoundRegion();
            handled = false;
            return 0;
        default:
            handled = false;
            return 0;
    }
}

LRESULT SkinnedWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return OnCreate();
    bool handled = false;
    const LRESULT result = HandleNonClient(msg, wParam, lParam, handled);
    if (handled) return result;
    return DefaultPath(msg, wParam, lParam);
}

LRESULT SkinnedWindow::HandleUnshapedMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            return OnCreate();
        case WM_NCHITTEST:
            return OnNcHitTest(lParam);
        default:
            return DefaultPath(msg, wParam, lParam);
    }
}

LRESULT SkinnedWindow::DefaultPath(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (paintManager_.MessageHandler(msg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

LRESULT SkinnedWindow::DefaultSysCommand(UINT msg, WPARAM wParam, LPARAM lParam) {
    const bool wasZoomed = platform::IsZoomed(hwnd_);
    const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
    if (platform::IsWindow(hwnd_) && wasZoomed != static_cast<bool>(platform::IsZoomed(hwnd_))) {
        const bool zoomed = platform::IsZoomed(hwnd_);
        if (auto* maxBtn = Find(L"maxbtn")) maxBtn->SetVisible(!zoomed);
        if (auto* restoreBtn = Find(L"restorebtn")) restoreBtn->SetVisible(zoomed);
    }
    return result;
}

DuiLib::CControlUI* SkinnedWindow::Find(const wchar_t* name) const {
    return paintManager_.FindControl(name);
}
