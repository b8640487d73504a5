#pragma once

// What a screen backend does for the window layer. The layer calls these on
// the UI thread after it changed its own record of a window, except WakeUp,
// which any thread may call.

#include <memory>
#include <string>

#include "platform/Window.h"

namespace platform {

struct WindowState {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    std::wstring className;
    std::wstring title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect;  // screen coordinates
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    bool maximized = false;
    RECT restoreRect;  // rect before minimise or maximise
    std::optional<WindowRegion> region;
    WindowProc* proc = nullptr;
    bool firstShownPosted = false;
    void* backendData = nullptr;  // owned by the backend
};

class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    virtual const char* Name() const = 0;
    virtual void Created(WindowState& window) = 0;
    virtual void Destroyed(WindowState& window) = 0;
    virtual void VisibilityChanged(WindowState& window) = 0;
    virtual void GeometryChanged(WindowState& window) = 0;
    virtual void RegionChanged(WindowState& window) = 0;
    virtual void EnabledChanged(WindowState& window) = 0;
    virtual void Invalidated(WindowState& window, const RECT& rect) = 0;
    virtual void CaptureChanged(WindowState* window) = 0;  // null: released
    virtual void Raise(WindowState& window) = 0;
    // Blocks the UI thread until WakeUp is called or the backend has events
    // of its own; returns at once after a WakeUp that came earlier.
    virtual void WaitForWork() = 0;
    // Handles the backend's own events that are ready, without blocking:
    // the loops call it while posted work keeps the queue full, so input,
    // paints and requests to the display still go through.
    virtual void DispatchReady() {}
    // Any thread: the queue has new items.
    virtual void WakeUp() = 0;
};

// Installs `backend` (owned by the layer); nullptr installs the headless one.
void SetWindowBackend(std::unique_ptr<WindowBackend> backend);
WindowBackend& CurrentWindowBackend();

// The layer's record of a live window, or null. UI thread.
WindowState* FindWindowState(HWND hwnd);

// Posts WM_FIRSTSHOWN to a live window unless it was posted before. A
// backend calls it when the window is first on screen. UI thread.
void PostFirstShown(HWND hwnd);

}  // namespace platform
