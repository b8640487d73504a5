#include "toolkit/WindowWnd.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/WindowBackend.h"
#include "toolkit/ControlUI.h"

namespace DuiLib {
namespace {

// Windows inside ShowModal, and the results given to Close for them. Keyed
// by handle (never reused), so a result survives the object's own deletion.
std::set<HWND>& ModalWindows() {
    static std::set<HWND> windows;
    return windows;
}

std::map<HWND, int>& ModalResults() {
    static std::map<HWND, int> results;
    return results;
}

}  // namespace

CWindowWnd::~CWindowWnd() {
    if (!hwnd_) return;
    // The window outlives this object: cut it loose so no message reaches a
    // half-destroyed object, then destroy it.
    if (auto* state = platform::FindWindowState(hwnd_)) {
        state->proc = nullptr;
        platform::DestroyWindow(hwnd_);
    }
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy) {
    DUI_ASSERT_UI_THREAD();
    if (hwnd_ && platform::IsWindow(hwnd_)) return nullptr;
    const wchar_t* className = GetWindowClassName();
    return platform::CreateWindowExW(exStyle, className ? className : L"", name ? name : L"", style, x, y, cx, cy,
                                     parent, this);
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rect) {
    return Create(parent, name, style, exStyle, static_cast<int>(rect.left), static_cast<int>(rect.top),
                  static_cast<int>(rect.Width()), static_cast<int>(rect.Height()));
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    if (!platform::IsWindow(hwnd_)) return;
    platform::ShowWindow(hwnd_, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

int CWindowWnd::ShowModal() {
    DUI_ASSERT_UI_THREAD();
    const HWND self = hwnd_;
    if (!platform::IsWindow(self)) return 0;
    const HWND owner = platform::GetParent(self);
    ModalWindows().insert(self);
    // A press still held in another window (a click handler opening this
    // one) would keep the pointer captured by a window about to be disabled.
    if (platform::GetCapture() && platform::GetCapture() != self) platform::ReleaseCapture();
    ShowWindow(true, true);
    const bool ownerWasDisabled = owner && platform::EnableWindow(owner, false);
    // The object may free itself while the loop runs: only locals from here.
    const bool ended = platform::RunModalLoop([self]() { return !platform::IsWindow(self); });
    if (owner && !ownerWasDisabled) platform::EnableWindow(owner, true);
    ModalWindows().erase(self);
    auto found = ModalResults().find(self);
    int result = 0;
    if (found != ModalResults().end()) {
        result = found->second;
        ModalResults().erase(found);
    }
    return ended ? result : -1;
}

void CWindowWnd::Close(int result) {
    if (!platform::IsWindow(hwnd_)) return;
    if (ModalWindows().count(hwnd_)) ModalResults()[hwnd_] = result;
    platform::PostMessageW(hwnd_, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

void CWindowWnd::CenterWindow() {
    if (!platform::IsWindow(hwnd_)) return;
    RECT window;
    platform::GetWindowRect(hwnd_, &window);
    const RECT screen = platform::GetScreenRect();
    RECT area = screen;
    const HWND owner = platform::GetParent(hwnd_);
    if (owner && platform::IsWindowVisible(owner) && !platform::IsIconic(owner)) platform::GetWindowRect(owner, &area);
    long x = area.left + (area.Width() - window.Width()) / 2;
    long y = area.top + (area.Height() - window.Height()) / 2;
    x = std::max(screen.left, std::min(x, screen.right - window.Width()));
    y = std::max(screen.top, std::min(y, screen.bottom - window.Height()));
    platform::SetWindowPos(hwnd_, nullptr, static_cast<int>(x), static_cast<int>(y), 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    if (!platform::IsWindow(hwnd_)) return;
    RECT client;
    platform::GetClientRect(hwnd_, &client);
    if (cx < 0) cx = static_cast<int>(client.Width());
    if (cy < 0) cy = static_cast<int>(client.Height());
    platform::SetWindowPos(hwnd_, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessageW(UINT msg, WPARAM wParam, LPARAM lParam) {
    return platform::SendMessageW(hwnd_, msg, wParam, lParam);
}

bool CWindowWnd::PostMessageW(UINT msg, WPARAM wParam, LPARAM lParam) {
    return platform::IsWindow(hwnd_) && platform::PostMessageW(hwnd_, msg, wParam, lParam);
}

LRESULT CWindowWnd::DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            platform::DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE: platform::SendMessageW(hwnd, WM_CLOSE, 0, 0); break;
                case SC_MINIMIZE: platform::ShowWindow(hwnd, SW_MINIMIZE); break;
                case SC_MAXIMIZE: platform::ShowWindow(hwnd, SW_SHOWMAXIMIZED); break;
                case SC_RESTORE: platform::ShowWindow(hwnd, SW_RESTORE); break;
                default: break;
            }
            return 0;
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_NCACTIVATE:
            return 1;
        case WM_MOUSEACTIVATE:
            return 1;  // MA_ACTIVATE
        default:
            return 0;
    }
}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(hwnd_, msg, wParam, lParam);
}

LRESULT CWindowWnd::WindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd_) hwnd_ = hwnd;
    if (msg != WM_NCDESTROY) return HandleMessage(msg, wParam, lParam);
    const LRESULT result = HandleMessage(msg, wParam, lParam);
    hwnd_ = nullptr;
    OnFinalMessage(hwnd);  // may delete this
    return result;
}

}  // namespace DuiLib
