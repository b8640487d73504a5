#include "launcher/windows/UIBackGroundWnd.h"

#include <new>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/windows/UIGameSettingWnd.h"
#include "toolkit/ControlUI.h"

UIBackGroundWnd::UIBackGroundWnd(LauncherFrameWnd& main) : SkinnedWindow({L"ButtonUI"}, true), main_(main) {}

UIBackGroundWnd::~UIBackGroundWnd() {
    // However the dialog ended (OK, Cancel, or its window closed some other
    // way), the button must not stay disabled.
    if (main_.gameSetBtn) main_.gameSetBtn->SetEnabled(true);
}

POINT UIBackGroundWnd::OffsetFor(int screenClass) {
    switch (screenClass) {
        case 1: return POINT{180, 180};
        case 2: return POINT{130, 140};
        default: return POINT{190, 200};
    }
}

SIZE UIBackGroundWnd::ClientSizeFor(int screenClass) {
    switch (screenClass) {
        case 1: return SIZE{615, 370};
        case 2: return SIZE{510, 310};
        default: return SIZE{0, 0};
    }
}

void UIBackGroundWnd::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType == L"windowinit") OpenSettingDialog();
}

void UIBackGroundWnd::OpenSettingDialog() {
    auto* dialog = new (std::nothrow) UIGameSettingWnd(*this);
    if (!dialog) {
        Close();
        return;
    }
    settingWnd.Adopt(dialog);
    if (main_.gameSetBtn) main_.gameSetBtn->SetEnabled(false);
    if (!dialog->CreatePopup(hwnd_, POINT{0, 0})) {
        Close();
        return;
    }
    dialog->CenterWindow();
    const HWND self = hwnd_;
    dialog->ShowModal();
    // The dialog's OK and Cancel close this backdrop too, and it may be gone
    // by now: only a window that still exists may be touched. A dialog that
    // went away some other way must not leave the backdrop covering the
    // launcher.
    if (platform::IsWindow(self)) Close();
}
