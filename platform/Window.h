#pragma once

// Native windows and messages: the layer the toolkit's CWindowWnd sits on.
// Window state (geometry, style, visibility, region) lives here; a backend
// (headless or desktop) mirrors it on a real screen when there is one.
//
// Threads: windows are created, changed and destroyed on the UI thread (the
// thread that calls InitUiThread, or else the first to use this layer).
// PostMessageW, PostQuitMessage and PostUiTask may be called from any thread.

#include <functional>
#include <optional>
#include <string>

#include "platform/WinTypes.h"

namespace platform {

// Receives every message of one window; the toolkit's window class implements
// it. Must outlive its window (the layer never owns it).
class WindowProc {
public:
    virtual ~WindowProc() = default;
    virtual LRESULT WindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

// A rounded-rectangle window shape: `bounds` in window coordinates, corner
// ellipse width and height. The layer keeps its own copy.
struct WindowRegion {
    RECT bounds;
    SIZE ellipse;
    bool operator==(const WindowRegion&) const = default;
};

// Creates a window: sends WM_CREATE (a -1 answer destroys it again and
// returns null), then WM_SIZE and WM_MOVE, and shows it when `style` has
// WS_VISIBLE. `parent` is the owner: owned windows stay above it and are
// destroyed before it. Windows have no non-client area here, so the window
// and client rectangles have the same size.
HWND CreateWindowExW(DWORD exStyle, const std::wstring& className, const std::wstring& title,
                     DWORD style, int x, int y, int width, int height, HWND parent,
                     WindowProc* proc);

// Destroys owned windows first, then sends WM_DESTROY and WM_NCDESTROY. After
// WM_NCDESTROY the handle is dead and the proc is never called again.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
HWND GetParent(HWND hwnd);  // the owner, or null

BOOL ShowWindow(HWND hwnd, int cmd);  // SW_*; returns whether it was visible before
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);  // returns whether it was disabled before
BOOL IsWindowEnabled(HWND hwnd);

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);  // (0, 0, width, height)
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);

long GetWindowLongW(HWND hwnd, int index);  // GWL_STYLE, GWL_EXSTYLE
long SetWindowLongW(HWND hwnd, int index, long value);
std::wstring GetWindowTextW(HWND hwnd);
std::wstring GetClassNameW(HWND hwnd);

// Sets or clears (nullopt) the window's shape.
BOOL SetWindowRgn(HWND hwnd, std::optional<WindowRegion> region, BOOL redraw);
std::optional<WindowRegion> GetWindowRgn(HWND hwnd);

// Marks part of the client area (all of it for null) for repainting; the
// backend sends WM_PAINT when it draws.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);

HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

// The primary screen in pixels, from the display mode.
RECT GetScreenRect();

// Synchronous call of the window's proc; 0 for a dead handle. UI thread.
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues a message for the UI thread's loop. Any thread; false for a null
// handle. A message for a window destroyed before delivery is dropped;
// WM_QUIT is taken as PostQuitMessage(wParam).
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Asks every running message loop to end; the outermost returns `exitCode`.
// Any thread.
void PostQuitMessage(int exitCode);
// Queues `task` to run on the UI thread in posting order with messages. Any
// thread. Tasks still queued when the layer shuts down are discarded.
void PostUiTask(std::function<void()> task);

// Runs the UI thread's loop until WM_QUIT; returns the quit exit code.
int RunMessageLoop();
// Runs a nested loop until `done()` is true or WM_QUIT arrives (the quit then
// also ends the outer loops). Returns false when it ended by a quit.
bool RunModalLoop(const std::function<bool()>& done);
// Delivers everything queued now without waiting; returns how many items ran.
// For tests and for the headless backend's idle work.
int PumpPendingMessages();
// True once WM_QUIT has been taken by a loop (cleared by ResetWindowLayer).
bool QuitRequested();

// Makes the calling thread the UI thread.
void InitUiThread();
bool IsUiThread();

// Destroys every window and empties the queue; for tests and for shutdown.
void ResetWindowLayer();

}  // namespace platform
