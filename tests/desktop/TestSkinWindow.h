#pragma once

// A launcher-style window for desktop tests: built on the launcher's
// SkinnedWindow (skin on WM_CREATE, caption hit test without buttons,
// rounded region), recording "click" notifications, and moving one owned
// pop-up along on WM_MOVE the way the main window moves its panels.
// Allocate with new: the object frees itself with its window.

#include <string>
#include <vector>

#include "launcher/ui/SkinnedWindow.h"
#include "platform/Window.h"

namespace desktoptest {

class TestSkinWindow : public SkinnedWindow {
public:
    explicit TestSkinWindow(std::wstring skin) : SkinnedWindow({L"ButtonUI"}, true), skin_(std::move(skin)) {}

    const wchar_t* GetWindowClassName() const override { return L"UIDesktopTestFrame"; }

    // Creates the window titled `title` (tests find it by that name).
    HWND Open(HWND owner, const wchar_t* title, int x, int y) {
        return Create(owner, title, kPopupStyle, 0, x, y, 0, 0);
    }
    // The pop-up moved along at `offset` from this window's top-left corner.
    void Follow(HWND popup, POINT offset) {
        popup_ = popup;
        offset_ = offset;
    }

    std::vector<std::wstring> clicks;
    int mouseActivations = 0;

protected:
    std::wstring SkinFile() const override { return skin_; }

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_MOUSEACTIVATE) ++mouseActivations;
        if (msg == WM_MOVE && platform::IsWindow(popup_)) {
            RECT rc;
            platform::GetWindowRect(hwnd_, &rc);
            platform::SetWindowPos(popup_, nullptr, static_cast<int>(rc.left + offset_.x),
                                   static_cast<int>(rc.top + offset_.y), -1, -1,
                                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        return SkinnedWindow::HandleMessage(msg, wParam, lParam);
    }

    void Notify(DuiLib::TNotifyUI& msg) override {
        if (msg.sType == L"click" && msg.pSender) clicks.push_back(msg.pSender->GetName().Str());
    }

private:
    std::wstring skin_;
    HWND popup_ = nullptr;
    POINT offset_;
};

}  // namespace desktoptest
