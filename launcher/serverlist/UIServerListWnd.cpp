#include "launcher/serverlist/UIServerListWnd.h"

#include <algorithm>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "platform/Window.h"
#include "toolkit/ListUI.h"
#include "toolkit/OptionUI.h"

UIServerListWnd::UIServerListWnd(LauncherFrameWnd& main) : SkinnedWindow({L"ButtonUI"}, true), main_(main) {}

void UIServerListWnd::OnSkinReady() {
    list_ = dynamic_cast<DuiLib::CListUI*>(Find(L"domainlist"));
    anchorHeight_ = static_cast<int>(main_.offsets.update.y);
    openUpward_ = true;
}

void UIServerListWnd::FitServerListPopup() {
    const int count = list_ ? list_->GetCount() : 0;
    const int rows = std::min(count, kMaxRows);
    const int extra = count > 0 ? kExtraHeight : 0;
    const int height = kRowHeight * rows + extra;

    RECT mainRect;
    platform::GetWindowRect(main_.GetHWND(), &mainRect);
    RECT ownRect;
    platform::GetWindowRect(hwnd_, &ownRect);

    const long offsetY = openUpward_ ? anchorHeight_ - height + kUpwardOffset : anchorHeight_ + kDownwardOffset;
    main_.offsets.popup.y = offsetY;
    platform::SetWindowPos(hwnd_, nullptr, static_cast<int>(mainRect.left + main_.offsets.popup.x),
                           static_cast<int>(mainRect.top + offsetY), 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    ResizeClient(static_cast<int>(ownRect.Width()), height);
}

void UIServerListWnd::CloseServerListPopup() {
    UIUpdateWnd* pane = main_.updateWnd.get();
    DuiLib::COptionUI* serverBtn = pane ? pane->ServerBtn() : nullptr;
    if (!serverBtn || !serverBtn->IsSelected()) return;
    serverBtn->Selected(false);
    ShowWindow(false, false);
}

void UIServerListWnd::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType != L"itemclick" || !msg.pSender) return;
    // The row's own press has already made its server the choice.
    UIUpdateWnd* pane = main_.updateWnd.get();
    if (DuiLib::COptionUI* serverBtn = pane ? pane->ServerBtn() : nullptr) {
        serverBtn->SetText(msg.pSender->GetText().GetData());
        serverBtn->Selected(!serverBtn->IsSelected());
    }
    ShowWindow(false, false);
}
