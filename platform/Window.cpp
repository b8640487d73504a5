#include "platform/Window.h"

// The window table: creating and destroying windows, their state, geometry
// and capture. UI thread only; the queue lives in MessageQueue.cpp.

#include <vector>

#include "platform/Display.h"
#include "platform/Input.h"
#include "platform/WindowLayer.h"

namespace platform {

using layer::Call;
using layer::CheckUiThread;
using layer::Key;
using layer::L;

namespace {

// Moves and resizes a live window and sends WM_MOVE / WM_SIZE for what changed.
void ApplyGeometry(HWND hwnd, RECT rect) {
    auto* w = FindWindowState(hwnd);
    if (!w) return;
    const bool moved = rect.left != w->rect.left || rect.top != w->rect.top;
    const bool sized = rect.Width() != w->rect.Width() || rect.Height() != w->rect.Height();
    if (!moved && !sized) return;
    w->rect = rect;
    CurrentWindowBackend().GeometryChanged(*w);
    if (sized) {
        Call(*w, WM_SIZE, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
             MAKELPARAM(static_cast<int>(rect.Width()), static_cast<int>(rect.Height())));
    }
    // The proc may have destroyed the window while handling WM_SIZE.
    w = FindWindowState(hwnd);
    if (moved && w) {
        Call(*w, WM_MOVE, 0, MAKELPARAM(static_cast<int>(rect.left), static_cast<int>(rect.top)));
    }
}

}  // namespace

HWND CreateWindowExW(DWORD exStyle, const std::wstring& className, const std::wstring& title,
                     DWORD style, int x, int y, int width, int height, HWND parent,
                     WindowProc* proc) {
    CheckUiThread();
    auto& l = L();
    auto state = std::make_unique<WindowState>();
    HWND hwnd = reinterpret_cast<HWND>(l.nextHandle++);
    state->hwnd = hwnd;
    state->owner = IsWindow(parent) ? parent : nullptr;
    state->className = className;
    state->title = title;
    state->style = style & ~WS_VISIBLE;
    state->exStyle = exStyle;
    state->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    state->restoreRect = state->rect;
    state->proc = proc;
    WindowState& w = *state;
    l.windows.emplace(Key(hwnd), std::move(state));
    CurrentWindowBackend().Created(w);

    Call(w, WM_NCCREATE, 0, 0);
    if (!IsWindow(hwnd)) return nullptr;
    if (Call(w, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    auto* live = FindWindowState(hwnd);
    if (!live) return nullptr;
    Call(*live, WM_SIZE, SIZE_RESTORED,
         MAKELPARAM(static_cast<int>(live->rect.Width()), static_cast<int>(live->rect.Height())));
    if ((live = FindWindowState(hwnd)) != nullptr) {
        Call(*live, WM_MOVE, 0,
             MAKELPARAM(static_cast<int>(live->rect.left), static_cast<int>(live->rect.top)));
    }
    if ((style & WS_VISIBLE) && IsWindow(hwnd)) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    CheckUiThread();
    auto& l = L();
    auto* w = FindWindowState(hwnd);
    if (!w) return false;
    // Owned windows go first, newest first, as the desktop system does.
    std::vector<HWND> owned;
    for (auto& [key, other] : l.windows) {
        if (other->owner == hwnd) owned.push_back(other->hwnd);
    }
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) DestroyWindow(*it);

    w = FindWindowState(hwnd);
    if (!w) return true;  // an owned window's handler destroyed it already
    if (l.capture == hwnd) ReleaseCapture();
    if (w->visible) {
        w->visible = false;
        CurrentWindowBackend().VisibilityChanged(*w);
    }
    Call(*w, WM_DESTROY, 0, 0);
    if ((w = FindWindowState(hwnd)) == nullptr) return true;
    // The record leaves the table before WM_NCDESTROY so the handler (which
    // usually frees the window object) sees a dead handle from then on.
    auto node = l.windows.extract(Key(hwnd));
    CurrentWindowBackend().Destroyed(*node.mapped());
    if (node.mapped()->proc) node.mapped()->proc->WindowProcedure(hwnd, WM_NCDESTROY, 0, 0);
    return true;
}

BOOL IsWindow(HWND hwnd) { return hwnd && FindWindowState(hwnd) != nullptr; }

HWND GetParent(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w ? w->owner : nullptr;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    CheckUiThread();
    auto* w = FindWindowState(hwnd);
    if (!w) return false;
    const bool wasVisible = w->visible;
    RECT target = w->rect;
    switch (cmd) {
        case SW_HIDE:
            w->visible = false;
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
            if (!w->minimized && !w->maximized) w->restoreRect = w->rect;
            w->minimized = true;
            w->visible = true;
            break;
        case SW_SHOWMAXIMIZED:
            if (!w->minimized && !w->maximized) w->restoreRect = w->rect;
            w->minimized = false;
            w->maximized = true;
            w->visible = true;
            target = GetScreenRect();
            break;
        case SW_RESTORE:
            if (w->minimized && w->maximized) {
                target = GetScreenRect();
            } else if (w->minimized || w->maximized) {
                target = w->restoreRect;
                w->maximized = false;
            }
            w->minimized = false;
            w->visible = true;
            break;
        default:
            w->visible = true;
            break;
    }
    if (w->visible) {
        w->style |= WS_VISIBLE;
    } else {
        w->style &= ~WS_VISIBLE;
    }
    CurrentWindowBackend().VisibilityChanged(*w);
    if (wasVisible != w->visible) {
        Call(*w, WM_SHOWWINDOW, w->visible ? 1 : 0, 0);
    }
    if (IsWindow(hwnd) && w->minimized) {
        Call(*w, WM_SIZE, SIZE_MINIMIZED, 0);
    } else if (IsWindow(hwnd) && !(target == w->rect)) {
        ApplyGeometry(hwnd, target);
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w && w->visible;
}

BOOL IsIconic(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w && w->minimized;
}

BOOL IsZoomed(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w && w->maximized;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    CheckUiThread();
    auto* w = FindWindowState(hwnd);
    if (!w) return false;
    const bool wasDisabled = !w->enabled;
    if (w->enabled != static_cast<bool>(enable)) {
        w->enabled = enable;
        if (enable) {
            w->style &= ~WS_DISABLED;
        } else {
            w->style |= WS_DISABLED;
        }
        CurrentWindowBackend().EnabledChanged(*w);
        Call(*w, WM_ENABLE, enable ? 1 : 0, 0);
    }
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w && w->enabled;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    CheckUiThread();
    if (!IsWindow(hwnd)) return false;
    ApplyGeometry(hwnd, RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)});
    if (repaint) InvalidateRect(hwnd, nullptr, true);
    return true;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    CheckUiThread();
    auto* w = FindWindowState(hwnd);
    if (!w) return false;
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        r = RECT{x, y, x + r.Width(), y + r.Height()};
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(cx, 0);
        r.bottom = r.top + std::max(cy, 0);
    }
    ApplyGeometry(hwnd, r);
    if (!IsWindow(hwnd)) return true;
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    if (!(flags & SWP_NOZORDER) && (w = FindWindowState(hwnd)) != nullptr) {
        CurrentWindowBackend().Raise(*w);
    }
    return true;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    auto* w = FindWindowState(hwnd);
    if (!w || !rect) return false;
    *rect = w->rect;
    return true;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    auto* w = FindWindowState(hwnd);
    if (!w || !rect) return false;
    *rect = RECT{0, 0, w->rect.Width(), w->rect.Height()};
    return true;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    auto* w = FindWindowState(hwnd);
    if (!w || !point) return false;
    point->x -= w->rect.left;
    point->y -= w->rect.top;
    return true;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    auto* w = FindWindowState(hwnd);
    if (!w || !point) return false;
    point->x += w->rect.left;
    point->y += w->rect.top;
    return true;
}

long GetWindowLongW(HWND hwnd, int index) {
    auto* w = FindWindowState(hwnd);
    if (!w) return 0;
    if (index == GWL_STYLE) return static_cast<long>(w->style);
    if (index == GWL_EXSTYLE) return static_cast<long>(w->exStyle);
    return 0;
}

long SetWindowLongW(HWND hwnd, int index, long value) {
    CheckUiThread();
    auto* w = FindWindowState(hwnd);
    if (!w) return 0;
    DWORD* field = index == GWL_STYLE ? &w->style : index == GWL_EXSTYLE ? &w->exStyle : nullptr;
    if (!field) return 0;
    const long old = static_cast<long>(*field);
    *field = static_cast<DWORD>(value);
    return old;
}

std::wstring GetWindowTextW(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w ? w->title : std::wstring();
}

std::wstring GetClassNameW(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w ? w->className : std::wstring();
}

BOOL SetWindowRgn(HWND hwnd, std::optional<WindowRegion> region, BOOL redraw) {
    CheckUiThread();
    auto* w = FindWindowState(hwnd);
    if (!w) return false;
    w->region = region;
    CurrentWindowBackend().RegionChanged(*w);
    if (redraw) InvalidateRect(hwnd, nullptr, true);
    return true;
}

std::optional<WindowRegion> GetWindowRgn(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w ? w->region : std::nullopt;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL /*erase*/) {
    auto* w = FindWindowState(hwnd);
    if (!w) return false;
    RECT r = rect ? *rect : RECT{0, 0, w->rect.Width(), w->rect.Height()};
    CurrentWindowBackend().Invalidated(*w, r);
    return true;
}

HWND SetCapture(HWND hwnd) {
    CheckUiThread();
    auto& l = L();
    HWND previous = l.capture;
    auto* w = FindWindowState(hwnd);
    if (!w) return previous;
    l.capture = hwnd;
    if (previous && previous != hwnd) {
        if (auto* p = FindWindowState(previous)) Call(*p, WM_CAPTURECHANGED, 0, 0);
    }
    CurrentWindowBackend().CaptureChanged(w);
    return previous;
}

BOOL ReleaseCapture() {
    auto& l = L();
    HWND previous = l.capture;
    l.capture = nullptr;
    CurrentWindowBackend().CaptureChanged(nullptr);
    if (auto* p = FindWindowState(previous)) Call(*p, WM_CAPTURECHANGED, 0, 0);
    return true;
}

HWND GetCapture() { return IsWindow(L().capture) ? L().capture : nullptr; }

RECT GetScreenRect() {
    DisplayMode mode;
    if (!EnumDisplaySettingsW(ENUM_CURRENT_SETTINGS, &mode)) return RECT{0, 0, 1280, 800};
    return RECT{0, 0, static_cast<long>(mode.width), static_cast<long>(mode.height)};
}

void ResetWindowLayer() {
    auto& l = L();
    while (!l.windows.empty()) {
        // Destroy top-level windows; each takes its owned windows along.
        HWND victim = nullptr;
        for (auto& [key, w] : l.windows) {
            if (!w->owner) {
                victim = w->hwnd;
                break;
            }
        }
        if (!victim) victim = l.windows.begin()->second->hwnd;
        DestroyWindow(victim);
    }
    {
        std::lock_guard lock(l.queueMutex);
        l.queue.clear();
        l.quitCode = 0;
    }
    l.quitRequested = false;
    l.capture = nullptr;
    EndWindowDrag();
}

}  // namespace platform
