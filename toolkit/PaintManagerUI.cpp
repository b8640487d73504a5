#include "toolkit/PaintManagerUI.h"

#include <algorithm>

#include "platform/PaintTarget.h"
#include "platform/TickCount.h"
#include "platform/Window.h"
#include "toolkit/ButtonUI.h"
#include "toolkit/RenderEngine.h"
#include "toolkit/UIResources.h"

namespace DuiLib {
namespace {

void* g_instance = nullptr;

POINT PointFrom(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

CPaintManagerUI::CPaintManagerUI() : alive_(std::make_shared<bool>(true)) {}

CPaintManagerUI::~CPaintManagerUI() {
    *alive_ = false;
    root_.reset();
}

void CPaintManagerUI::SetInstance(void* instance) {
    g_instance = instance;
    UIResources::SetInstancePath(std::wstring());
}

void* CPaintManagerUI::GetInstance() { return g_instance; }

CStdString CPaintManagerUI::GetInstancePath() { return CStdString(UIResources::GetInstancePath()); }

void CPaintManagerUI::SetResourcePath(const wchar_t* path) { UIResources::SetResourcePath(path ? path : L""); }

CStdString CPaintManagerUI::GetResourcePath() { return CStdString(UIResources::GetResourcePath()); }

void CPaintManagerUI::SetResourceZip(const wchar_t* zipName) { UIResources::SetResourceZip(zipName ? zipName : L""); }

CStdString CPaintManagerUI::GetResourceZip() { return CStdString(UIResources::GetResourceZip()); }

int CPaintManagerUI::MessageLoop() { return platform::RunMessageLoop(); }

void CPaintManagerUI::Init(HWND hwnd) {
    DUI_ASSERT_UI_THREAD();
    hwnd_ = hwnd;
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    DUI_ASSERT_UI_THREAD();
    if (!root || root == root_.get()) return false;
    hot_.Set(nullptr);
    pushed_.Set(nullptr);
    root_.reset(root);
    root_->SetManager(this, nullptr);
    NeedUpdate();
    return true;
}

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (!notifier || std::find(notifiers_.begin(), notifiers_.end(), notifier) != notifiers_.end()) return false;
    notifiers_.push_back(notifier);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) { return std::erase(notifiers_, notifier) > 0; }

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) {
    if (!filter || std::find(preFilters_.begin(), preFilters_.end(), filter) != preFilters_.end()) return false;
    preFilters_.push_back(filter);
    return true;
}

bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) { return std::erase(preFilters_, filter) > 0; }

CControlUI* CPaintManagerUI::FindControl(const wchar_t* name) const {
    return root_ ? root_->FindControlByName(name) : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const { return root_ ? root_->FindControlAt(pt) : nullptr; }

CControlUI* CPaintManagerUI::FindCaptionControl(LPARAM screenPoint) const {
    POINT pt{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    platform::ScreenToClient(hwnd_, &pt);
    RECT client;
    platform::GetClientRect(hwnd_, &client);
    const bool inCaption = pt.x >= client.left + caption_.left && pt.x < client.right - caption_.right &&
                           pt.y >= caption_.top && pt.y < caption_.bottom;
    return inCaption ? FindControl(pt) : nullptr;
}

void CPaintManagerUI::SetRoundCorner(int cx, int cy) { roundCorner_ = SIZE{std::max(cx, 0), std::max(cy, 0)}; }

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    initSize_ = SIZE{std::max(cx, 0), std::max(cy, 0)};
    if (platform::IsWindow(hwnd_)) {
        platform::SetWindowPos(hwnd_, nullptr, 0, 0, static_cast<int>(initSize_.cx), static_cast<int>(initSize_.cy),
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CPaintManagerUI::SetMinInfo(int cx, int cy) { minInfo_ = SIZE{std::max(cx, 0), std::max(cy, 0)}; }

void CPaintManagerUI::SetMaxInfo(int cx, int cy) { maxInfo_ = SIZE{std::max(cx, 0), std::max(cy, 0)}; }

void CPaintManagerUI::AddFont(const TFontInfo& font) {
    for (auto& f : fonts_) {
        if (f.id == font.id) {
            f = font;
            return;
        }
    }
    fonts_.push_back(font);
}

const TFontInfo* CPaintManagerUI::GetFont(int id) const {
    for (const auto& f : fonts_) {
        if (f.id == id) return &f;
    }
    return nullptr;
}

void CPaintManagerUI::AddDefaultAttributeList(const wchar_t* controlKind, const wchar_t* attributes) {
    if (!controlKind || !*controlKind) return;
    defaultAttributes_[controlKind] = attributes ? attributes : L"";
}

const wchar_t* CPaintManagerUI::GetDefaultAttributeList(const wchar_t* controlKind) const {
    if (!controlKind) return nullptr;
    auto it = defaultAttributes_.find(controlKind);
    return it == defaultAttributes_.end() ? nullptr : it->second.c_str();
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = sender;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg) {
    DUI_ASSERT_UI_THREAD();
    msg.dwTimestamp = platform::GetTickCount();
    msg.ptMouse = lastMouse_;
    auto alive = alive_;
    const auto snapshot = notifiers_;
    for (INotifyUI* notifier : snapshot) {
        // A handler may remove another notifier or destroy the whole window.
        if (!*alive) return;
        if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) continue;
        notifier->Notify(msg);
    }
}

void CPaintManagerUI::Invalidate(const RECT& rect) {
    if (platform::IsWindow(hwnd_)) platform::InvalidateRect(hwnd_, &rect, false);
}

void CPaintManagerUI::NeedUpdate() {
    if (!root_ || !platform::IsWindow(hwnd_)) return;
    RECT client;
    platform::GetClientRect(hwnd_, &client);
    root_->SetPos(client);
    platform::InvalidateRect(hwnd_, nullptr, false);
}

CButtonUI* CPaintManagerUI::DialogButton(bool ok) const {
    const wchar_t* const names[] = {ok ? L"OkBtn" : L"CancelBtn", ok ? L"ok" : L"cancel"};
    for (const wchar_t* name : names) {
        CControlUI* control = FindControl(name);
        auto* button = control ? static_cast<CButtonUI*>(control->GetInterface(L"Button")) : nullptr;
        if (button && button->IsInputAllowed()) return button;
    }
    return nullptr;
}

void CPaintManagerUI::Paint(wxDC& dc, const RECT& update) {
    if (!root_ || !root_->IsVisible()) return;
    CRenderEngine engine(dc, update);
    if (!engine.IsValid()) return;
    root_->DoPaint(&engine, update);
}

CControlUI* CPaintManagerUI::GetHotControl() const { return hot_.Get(); }

CControlUI* CPaintManagerUI::GetPushedControl() const { return pushed_.Get(); }

bool CPaintManagerUI::Deliver(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam) {
    auto alive = alive_;
    TEventUI event;
    event.Type = type;
    event.pSender = control;
    event.dwTimestamp = platform::GetTickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.wKeyState = wParam;
    event.lParam = lParam;
    control->Event(event);
    return *alive;
}

void CPaintManagerUI::SetHot(CControlUI* control, POINT pt) {
    CControlUI* old = hot_.Get();
    if (old == control) return;
    hot_.Set(control);
    if (old && !Deliver(old, UIEVENT_MOUSELEAVE, pt)) return;
    if (CControlUI* now = hot_.Get()) Deliver(now, UIEVENT_MOUSEENTER, pt);
}

void CPaintManagerUI::OnMouseMove(POINT pt, WPARAM keys) {
    lastMouse_ = pt;
    if (CControlUI* pushed = pushed_.Get()) {
        // While the button is held the pushed control follows the pointer.
        Deliver(pushed, UIEVENT_MOUSEMOVE, pt, keys);
        return;
    }
    CControlUI* under = FindControl(pt);
    if (under && !under->IsInputAllowed()) under = nullptr;
    auto alive = alive_;
    SetHot(under, pt);
    if (!*alive) return;
    if (CControlUI* hot = hot_.Get()) Deliver(hot, UIEVENT_MOUSEMOVE, pt, keys);
}

void CPaintManagerUI::OnButtonDown(POINT pt, WPARAM keys, int eventType) {
    lastMouse_ = pt;
    CControlUI* under = FindControl(pt);
    if (!under || !under->IsInputAllowed()) return;
    auto alive = alive_;
    SetHot(under, pt);
    if (!*alive) return;
    pushed_.Set(under);
    platform::SetCapture(hwnd_);
    Deliver(under, eventType, pt, keys);
}

void CPaintManagerUI::OnButtonUp(POINT pt, WPARAM keys) {
    lastMouse_ = pt;
    CControlUI* pushed = pushed_.Get();
    pushed_.Set(nullptr);
    if (platform::GetCapture() == hwnd_) platform::ReleaseCapture();
    // The release always reaches the pressed control so it can drop its
    // pressed look; one hidden or disabled meanwhile does not act on it.
    if (pushed) Deliver(pushed, UIEVENT_BUTTONUP, pt, keys);
}

void CPaintManagerUI::OnMouseWheel(POINT screenPt, WPARAM wParam) {
    POINT pt = screenPt;
    platform::ScreenToClient(hwnd_, &pt);
    CControlUI* under = FindControl(pt);
    if (under && under->IsInputAllowed()) Deliver(under, UIEVENT_SCROLLWHEEL, pt, wParam);
}

bool CPaintManagerUI::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DUI_ASSERT_UI_THREAD();
    if (!hwnd_) return false;
    auto alive = alive_;
    const auto filters = preFilters_;
    for (IMessageFilterUI* filter : filters) {
        if (std::find(preFilters_.begin(), preFilters_.end(), filter) == preFilters_.end()) continue;
        bool handled = false;
        const LRESULT answer = filter->MessageHandler(msg, wParam, lParam, handled);
        if (!*alive) return true;
        if (handled) {
            result = answer;
            return true;
        }
    }
    const bool handled = HandleOwnMessage(msg, wParam, lParam, result);
    if (!*alive) {
        // A handler destroyed the window and this manager with it: the
        // caller must not touch its window object any more.
        result = 0;
        return true;
    }
    return handled;
}

bool CPaintManagerUI::HandleOwnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_FIRSTSHOWN:
            // Once the window is on screen: the code that created and showed
            // it has finished, and where the backend draws, its first frame
            // is out before the window's start-up work (its pop-ups, say).
            if (!windowInitSent_) {
                windowInitSent_ = true;
                SendNotify(root_.get(), L"windowinit");
            }
            result = 0;
            return true;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) NeedUpdate();
            return false;
        case WM_PAINT: {
            // The desktop backend passes its drawing surface in wParam;
            // without one the tree is still walked (nothing is drawn).
            if (root_ && root_->IsVisible()) {
                if (auto* target = reinterpret_cast<platform::PaintTarget*>(wParam); target && target->dc) {
                    Paint(*target->dc, target->update);
                } else {
                    RECT client;
                    platform::GetClientRect(hwnd_, &client);
                    root_->DoPaint(nullptr, client);
                }
            }
            result = 0;
            return true;
        }
        case WM_MOUSEMOVE:
            OnMouseMove(PointFrom(lParam), wParam);
            return false;
        case WM_LBUTTONDOWN:
            OnButtonDown(PointFrom(lParam), wParam, UIEVENT_BUTTONDOWN);
            return false;
        case WM_LBUTTONDBLCLK:
            OnButtonDown(PointFrom(lParam), wParam, UIEVENT_DBLCLICK);
            return false;
        case WM_LBUTTONUP:
            OnButtonUp(PointFrom(lParam), wParam);
            return false;
        case WM_RBUTTONDOWN: {
            const POINT pt = PointFrom(lParam);
            lastMouse_ = pt;
            CControlUI* under = FindControl(pt);
            if (under && under->IsInputAllowed()) Deliver(under, UIEVENT_RBUTTONDOWN, pt, wParam);
            return false;
        }
        case WM_MOUSEWHEEL:
            OnMouseWheel(PointFrom(lParam), wParam);
            return false;
        case WM_KEYDOWN:
            // Enter and Escape act as the window's OK and Cancel buttons.
            if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
                if (auto* button = DialogButton(wParam == VK_RETURN)) {
                    button->Activate();
                    result = 0;
                    return true;
                }
            }
            return false;
        case WM_MOUSELEAVE:
            if (!pushed_.Get()) SetHot(nullptr, lastMouse_);
            return false;
        case WM_CAPTURECHANGED:
            // Lost the capture mid-press (another window took it): no click.
            if (CControlUI* pushed = pushed_.Get()) {
                pushed_.Set(nullptr);
                Deliver(pushed, UIEVENT_BUTTONUP, POINT{-1000000, -1000000}, 0);
            }
            return false;
        case WM_DESTROY:
            hot_.Set(nullptr);
            pushed_.Set(nullptr);
            return false;
        default:
            return false;
    }
}

}  // namespace DuiLib
