#include "platform/WindowLayer.h"

#include <chrono>

// The UI thread's message queue: posted messages, tasks and the quit
// request from any thread, delivered in order by the UI thread's loops.

namespace platform {

using layer::Call;
using layer::CheckUiThread;
using layer::L;
using layer::QueueItem;

namespace {

bool DeliverOne(QueueItem& item) {
    if (item.quit) {
        L().quitRequested = true;
        return true;
    }
    if (item.task) {
        item.task();
        return true;
    }
    if (auto* w = FindWindowState(item.hwnd)) {
        Call(*w, item.msg, item.wParam, item.lParam);
    }
    return true;
}

bool TakeOne(QueueItem& out) {
    auto& l = L();
    std::lock_guard lock(l.queueMutex);
    if (l.queue.empty()) return false;
    out = std::move(l.queue.front());
    l.queue.pop_front();
    return true;
}

void Enqueue(QueueItem item) {
    auto& l = L();
    {
        std::lock_guard lock(l.queueMutex);
        l.queue.push_back(std::move(item));
    }
    CurrentWindowBackend().WakeUp();
}

}  // namespace

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CheckUiThread();
    auto* w = FindWindowState(hwnd);
    return w ? Call(*w, msg, wParam, lParam) : 0;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return false;
    // As on the desktop the stand-in copies: a posted WM_QUIT ends the loop
    // whichever window it names; no window procedure ever sees it.
    if (msg == WM_QUIT) {
        PostQuitMessage(static_cast<int>(wParam));
        return true;
    }
    Enqueue(QueueItem{hwnd, msg, wParam, lParam, {}, false});
    return true;
}

void PostQuitMessage(int exitCode) {
    auto& l = L();
    {
        std::lock_guard lock(l.queueMutex);
        l.quitCode = exitCode;
    }
    Enqueue(QueueItem{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, {}, true});
}

void PostUiTask(std::function<void()> task) {
    if (!task) return;
    Enqueue(QueueItem{nullptr, 0, 0, 0, std::move(task), false});
}

int PumpPendingMessages() {
    CheckUiThread();
    int count = 0;
    QueueItem item;
    while (!L().quitRequested && TakeOne(item)) {
        DeliverOne(item);
        ++count;
    }
    return count;
}

bool RunModalLoop(const std::function<bool()>& done) {
    CheckUiThread();
    auto& l = L();
    QueueItem item;
    // A queue that never runs dry (a worker posting faster than its tasks
    // run, or a slow `done`) must not keep the backend's own events out.
    constexpr auto kNativeTurn = std::chrono::milliseconds(16);
    auto nativeDue = std::chrono::steady_clock::now() + kNativeTurn;
    while (!l.quitRequested) {
        if (done && done()) return true;
        if (TakeOne(item)) {
            DeliverOne(item);
            item = QueueItem{};
            if (std::chrono::steady_clock::now() >= nativeDue) {
                CurrentWindowBackend().DispatchReady();
                nativeDue = std::chrono::steady_clock::now() + kNativeTurn;
            }
            continue;
        }
        CurrentWindowBackend().WaitForWork();
        nativeDue = std::chrono::steady_clock::now() + kNativeTurn;
    }
    return false;
}

int RunMessageLoop() {
    RunModalLoop(nullptr);
    std::lock_guard lock(L().queueMutex);
    return L().quitCode;
}

bool QuitRequested() { return L().quitRequested; }

}  // namespace platform
