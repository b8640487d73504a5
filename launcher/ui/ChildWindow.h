#pragma once

// An owner's non-owning handle to a window object that frees itself. The
// object is freed exactly once, when its window receives its final message;
// at that moment it clears this handle, so the owner never holds a dangling
// pointer, whichever comes first: the player closing the window, the owner's
// window being destroyed (owned windows go first), or the owner tearing it
// down with Destroy. A handle that goes away first unbinds itself and leaves
// the window alone.
//
// UI thread only. T derives from SkinnedWindow.

#include "launcher/ui/SkinnedWindow.h"
#include "platform/Window.h"

template <class T>
class ChildWindow {
public:
    ChildWindow() = default;
    ~ChildWindow() { Unbind(); }
    ChildWindow(const ChildWindow&) = delete;
    ChildWindow& operator=(const ChildWindow&) = delete;

    // Binds a window object made with new (its window created or not yet);
    // a previously bound one is unbound, not freed. Null just unbinds.
    void Adopt(T* window) {
        Unbind();
        if (!window) return;
        window_ = window;
        window_->BindOwnerSlot(&window_);
    }

    T* get() const { return static_cast<T*>(window_); }
    T* operator->() const { return get(); }
    explicit operator bool() const { return window_ != nullptr; }
    // The window's handle; null when nothing is bound.
    HWND Hwnd() const { return window_ ? window_->GetHWND() : nullptr; }

    // Destroys the window, which frees the object and clears this handle.
    // An object whose window was never made (or is already gone) is freed
    // here. Nothing bound: nothing happens.
    void Destroy() {
        if (!window_) return;
        const HWND hwnd = window_->GetHWND();
        if (hwnd && platform::IsWindow(hwnd)) {
            platform::DestroyWindow(hwnd);
        } else {
            delete window_;  // clears window_ through the bound slot
        }
        // A window that does not free itself with its window stays allocated.
        Unbind();
    }

    // Shutdown with workers still running: the object must outlive its
    // window, since a worker may still reach it. It is left allocated.
    void LeaveAllocated() {
        if (window_) window_->LeaveAllocatedAfterWindow();
    }

private:
    void Unbind() {
        if (window_) window_->BindOwnerSlot(nullptr);
        window_ = nullptr;
    }

    SkinnedWindow* window_ = nullptr;
};
