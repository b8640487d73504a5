#pragma once

// The in-memory backend: windows exist only as the layer's records, nothing
// is drawn, and the UI thread sleeps on a condition variable when idle. Used
// when no display can be opened and by every headless test.

#include <condition_variable>
#include <mutex>

#include "platform/WindowBackend.h"

namespace platform {

class HeadlessBackend : public WindowBackend {
public:
    const char* Name() const override { return "headless"; }
    void Created(WindowState&) override {}
    void Destroyed(WindowState&) override {}
    // Nothing is drawn: a window is on screen as soon as it is shown.
    void VisibilityChanged(WindowState& window) override {
        if (window.visible) PostFirstShown(window.hwnd);
    }
    void GeometryChanged(WindowState&) override {}
    void RegionChanged(WindowState&) override {}
    void EnabledChanged(WindowState&) override {}
    void Invalidated(WindowState&, const RECT&) override {}
    void CaptureChanged(WindowState*) override {}
    void Raise(WindowState&) override {}
    void WaitForWork() override;
    void WakeUp() override;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool woken_ = false;
};

}  // namespace platform
