#include "platform/Input.h"

#include <cstdint>

#include "platform/Window.h"

namespace platform {
namespace {

// The caption drag in progress: the window and where the pointer grabbed it.
struct DragState {
    HWND window = nullptr;
    POINT grab;  // pointer minus window origin, screen pixels
};

DragState& Drag() {
    static DragState drag;
    return drag;
}

// The window the last press went to: the one the desktop would have made
// active. A press in another window first asks it with WM_MOUSEACTIVATE.
HWND& ActiveByPress() {
    static HWND active = nullptr;
    return active;
}

constexpr LRESULT kActivateAndEat = 2;
constexpr LRESULT kNoActivateAndEat = 4;

bool IsPress(MouseAction action) {
    return action == MouseAction::LeftDown || action == MouseAction::LeftDoubleClick || action == MouseAction::RightDown;
}

UINT ClientMessageFor(MouseAction action) {
    switch (action) {
        case MouseAction::Move: return WM_MOUSEMOVE;
        case MouseAction::LeftDown: return WM_LBUTTONDOWN;
        case MouseAction::LeftUp: return WM_LBUTTONUP;
        case MouseAction::LeftDoubleClick: return WM_LBUTTONDBLCLK;
        case MouseAction::RightDown: return WM_RBUTTONDOWN;
        case MouseAction::RightUp: return WM_RBUTTONUP;
        case MouseAction::Wheel: return WM_MOUSEWHEEL;
        case MouseAction::Leave: return WM_MOUSELEAVE;
    }
    return WM_MOUSEMOVE;
}

}  // namespace

bool IsDraggingWindow() { return Drag().window != nullptr; }

void EndWindowDrag() {
    if (Drag().window && GetCapture() == Drag().window) {
        Drag().window = nullptr;
        ReleaseCapture();
    }
    Drag().window = nullptr;
}

void DispatchMouseInput(HWND hwnd, MouseAction action, POINT screen, int wheelDelta) {
    auto& drag = Drag();
    if (drag.window) {
        if (!IsWindow(drag.window)) {
            drag.window = nullptr;
        } else if (action == MouseAction::Move) {
            RECT r;
            GetWindowRect(drag.window, &r);
            MoveWindow(drag.window, static_cast<int>(screen.x - drag.grab.x),
                       static_cast<int>(screen.y - drag.grab.y), static_cast<int>(r.Width()),
                       static_cast<int>(r.Height()), false);
            return;
        } else if (action == MouseAction::LeftUp) {
            EndWindowDrag();
            return;
        } else {
            return;
        }
    }

    // A window holding the capture receives all pointer input.
    if (HWND captured = GetCapture()) hwnd = captured;
    if (!IsWindow(hwnd) || !IsWindowEnabled(hwnd)) return;

    const LPARAM screenParam = MAKELPARAM(static_cast<int>(screen.x), static_cast<int>(screen.y));
    if (IsPress(action) && !GetCapture() && ActiveByPress() != hwnd) {
        ActiveByPress() = hwnd;
        const UINT pressMessage = action == MouseAction::RightDown ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
        const LRESULT answer = SendMessageW(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(hwnd),
                                            MAKELPARAM(static_cast<int>(HTCLIENT), static_cast<int>(pressMessage)));
        if (!IsWindow(hwnd) || answer == kActivateAndEat || answer == kNoActivateAndEat) return;
    }
    if (action == MouseAction::LeftDown && GetCapture() != hwnd) {
        if (SendMessageW(hwnd, WM_NCHITTEST, 0, screenParam) == HTCAPTION) {
            RECT r;
            GetWindowRect(hwnd, &r);
            drag.window = hwnd;
            drag.grab = POINT{screen.x - r.left, screen.y - r.top};
            SetCapture(hwnd);
            return;
        }
    }
    if (!IsWindow(hwnd)) return;
    if (action == MouseAction::Move || action == MouseAction::Wheel) {
        // The system asks before every pointer message; windows rely on it for cursors.
        SendMessageW(hwnd, WM_NCHITTEST, 0, screenParam);
        if (!IsWindow(hwnd)) return;
    }

    POINT client = screen;
    ScreenToClient(hwnd, &client);
    WPARAM keys = action == MouseAction::LeftDown ? MK_LBUTTON : 0;
    if (action == MouseAction::Wheel) {
        keys = static_cast<WPARAM>(static_cast<std::uint16_t>(wheelDelta)) << 16;
        SendMessageW(hwnd, WM_MOUSEWHEEL, keys, screenParam);  // wheel carries screen points
        return;
    }
    SendMessageW(hwnd, ClientMessageFor(action), keys,
                 MAKELPARAM(static_cast<int>(client.x), static_cast<int>(client.y)));
}

void InjectMouse(HWND hwnd, MouseAction action, POINT client, int wheelDelta) {
    POINT screen = client;
    ClientToScreen(hwnd, &screen);
    DispatchMouseInput(hwnd, action, screen, wheelDelta);
}

void InjectClick(HWND hwnd, POINT client) {
    InjectMouse(hwnd, MouseAction::Move, client);
    InjectMouse(hwnd, MouseAction::LeftDown, client);
    InjectMouse(hwnd, MouseAction::LeftUp, client);
}

void InjectDrag(HWND hwnd, POINT from, POINT to) {
    POINT screenFrom = from;
    POINT screenTo = to;
    ClientToScreen(hwnd, &screenFrom);
    ClientToScreen(hwnd, &screenTo);
    DispatchMouseInput(hwnd, MouseAction::Move, screenFrom);
    DispatchMouseInput(hwnd, MouseAction::LeftDown, screenFrom);
    DispatchMouseInput(hwnd, MouseAction::Move,
                       POINT{(screenFrom.x + screenTo.x) / 2, (screenFrom.y + screenTo.y) / 2});
    DispatchMouseInput(hwnd, MouseAction::Move, screenTo);
    DispatchMouseInput(hwnd, MouseAction::LeftUp, screenTo);
}

void DispatchKeyInput(HWND hwnd, WPARAM virtualKey, bool alt) {
    if (!IsWindow(hwnd) || !IsWindowEnabled(hwnd)) return;
    if (alt && virtualKey == VK_F4) {
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    SendMessageW(hwnd, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, 0);
}

}  // namespace platform
