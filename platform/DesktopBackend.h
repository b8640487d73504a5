#pragma once

// The desktop backend: every window of the layer is a borderless top-level
// wxFrame on GTK3, pointer and key input goes through the shared input path,
// and the UI thread's loop waits inside GTK's main loop.

#include <memory>

#include "platform/WindowBackend.h"

class wxEventLoopBase;
class wxWindow;

namespace platform {

// The desktop window behind `hwnd`, or null (headless, or a dead handle).
// Child widgets such as web views are made on it. UI thread.
wxWindow* NativeWindowOf(HWND hwnd);

class DesktopBackend : public WindowBackend {
public:
    // Opens the display and starts wx's GUI library; null when no display
    // can be opened (wx is then cleaned up again).
    static std::unique_ptr<DesktopBackend> Start(int argc, char** argv);
    ~DesktopBackend() override;

    const char* Name() const override { return "desktop"; }
    void Created(WindowState& window) override;
    void Destroyed(WindowState& window) override;
    void VisibilityChanged(WindowState& window) override;
    void GeometryChanged(WindowState& window) override;
    void RegionChanged(WindowState& window) override;
    void EnabledChanged(WindowState& window) override;
    void Invalidated(WindowState& window, const RECT& rect) override;
    void CaptureChanged(WindowState* window) override;
    void Raise(WindowState& window) override;
    void WaitForWork() override;
    void DispatchReady() override;
    void WakeUp() override;

private:
    DesktopBackend() = default;
    void RaiseOwned(HWND owner);

    std::unique_ptr<wxEventLoopBase> loop_;
};

}  // namespace platform
