#include "platform/WindowLayer.h"

#include <cassert>

#include "platform/HeadlessBackend.h"

namespace platform {
namespace layer {

Layer& L() {
    static Layer layer;
    return layer;
}

std::uintptr_t Key(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

void CheckUiThread() {
    auto& l = L();
    if (l.uiThread.load() == std::thread::id{}) {
        l.uiThread = std::this_thread::get_id();
    }
    assert(l.uiThread.load() == std::this_thread::get_id() && "window call off the UI thread");
}

LRESULT Call(WindowState& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    return w.proc ? w.proc->WindowProcedure(w.hwnd, msg, wParam, lParam) : 0;
}

}  // namespace layer

using layer::L;

void SetWindowBackend(std::unique_ptr<WindowBackend> backend) {
    auto& l = L();
    std::lock_guard lock(l.backendMutex);
    l.backend = backend ? std::move(backend) : std::make_unique<HeadlessBackend>();
}

WindowBackend& CurrentWindowBackend() {
    auto& l = L();
    std::lock_guard lock(l.backendMutex);
    if (!l.backend) l.backend = std::make_unique<HeadlessBackend>();
    return *l.backend;
}

WindowState* FindWindowState(HWND hwnd) {
    auto& windows = L().windows;
    auto it = windows.find(layer::Key(hwnd));
    return it == windows.end() ? nullptr : it->second.get();
}

void PostFirstShown(HWND hwnd) {
    WindowState* w = FindWindowState(hwnd);
    if (!w || w->firstShownPosted) return;
    w->firstShownPosted = true;
    PostMessageW(hwnd, WM_FIRSTSHOWN, 0, 0);
}

void InitUiThread() {
    L().uiThread = std::this_thread::get_id();
    CurrentWindowBackend();
}

bool IsUiThread() {
    auto id = L().uiThread.load();
    return id == std::thread::id{} || id == std::this_thread::get_id();
}

}  // namespace platform
