#pragma once

// The window layer's shared state, for its own translation units only:
// the window table (Window.cpp), the message queue (MessageQueue.cpp) and
// the backend and UI-thread bookkeeping (WindowLayer.cpp). Nothing outside
// platform/ includes this; the public interface is Window.h.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Window.h"
#include "platform/WindowBackend.h"

namespace platform::layer {

struct QueueItem {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> task;  // set for tasks, empty for messages
    bool quit = false;
};

// Everything the layer knows. Windows are touched only on the UI thread; the
// queue is shared with posting threads under its mutex.
struct Layer {
    std::map<std::uintptr_t, std::unique_ptr<WindowState>> windows;
    std::uintptr_t nextHandle = 1;
    HWND capture = nullptr;
    // Made on first use by whichever thread gets there first (a worker may
    // post before the UI thread touches a window), so under its own mutex:
    // two threads each making one would leave a waiter on the other's wake-up.
    std::mutex backendMutex;
    std::unique_ptr<WindowBackend> backend;

    std::mutex queueMutex;
    std::deque<QueueItem> queue;
    std::atomic<bool> quitRequested{false};
    int quitCode = 0;

    std::atomic<std::thread::id> uiThread{};
};

// The one layer of the process.
Layer& L();

std::uintptr_t Key(HWND hwnd);
// Asserts that window calls come from the UI thread (the first caller
// becomes it when none was set).
void CheckUiThread();
// Runs the window procedure of `w`; 0 for a window without one.
LRESULT Call(WindowState& w, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace platform::layer
