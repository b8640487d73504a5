#pragma once

// Turns raw pointer and key input into window messages the way the desktop
// system does: a hit test first (WM_NCHITTEST), window dragging where the
// window answers HTCAPTION, capture routing, and client-coordinate mouse
// messages otherwise. Both backends feed input through here, so the headless
// tests exercise the same path as the real desktop. UI thread.

#include "platform/WinTypes.h"

namespace platform {

enum class MouseAction { Move, LeftDown, LeftUp, LeftDoubleClick, RightDown, RightUp, Wheel, Leave };

// One pointer event at `screen` over `hwnd` (the window under the pointer).
// A press in a window other than the one the last press went to sends it
// WM_MOUSEACTIVATE first (wParam: the window; lParam: HTCLIENT and the press
// message); an answer of MA_ACTIVATEANDEAT (2) or MA_NOACTIVATEANDEAT (4)
// swallows the press.
void DispatchMouseInput(HWND hwnd, MouseAction action, POINT screen, int wheelDelta = 0);

// Test convenience: the same event at a client point of `hwnd`.
void InjectMouse(HWND hwnd, MouseAction action, POINT client, int wheelDelta = 0);

// A press-move-release at client points, as a player's click or drag.
void InjectClick(HWND hwnd, POINT client);
void InjectDrag(HWND hwnd, POINT fromClient, POINT toClient);

// One key press. Alt+F4 becomes WM_SYSCOMMAND SC_CLOSE; other keys WM_KEYDOWN.
void DispatchKeyInput(HWND hwnd, WPARAM virtualKey, bool alt);

// True while a caption drag moves a window; the backend ends it on capture loss.
bool IsDraggingWindow();
void EndWindowDrag();

}  // namespace platform
