#include "toolkit/ComboWnd.h"

#include <algorithm>

#include "toolkit/ComboUI.h"
#include "toolkit/ListLabelElementUI.h"
#include "toolkit/ListUI.h"

namespace DuiLib {
namespace {

constexpr int kMaxFittedRows = 10;

}  // namespace

CComboWnd* CComboWnd::Open(CComboUI* owner) {
    if (!owner || !owner->GetManager()) return nullptr;
    const HWND ownerWindow = owner->GetManager()->GetPaintWindow();
    if (!platform::IsWindow(ownerWindow)) return nullptr;
    const RECT pos = owner->GetPos();
    POINT origin{pos.left, pos.bottom};
    platform::ClientToScreen(ownerWindow, &origin);
    const int rows = std::min(owner->GetCount(), kMaxFittedRows);
    const int height = owner->GetDropBoxHeight() > 0 ? owner->GetDropBoxHeight() : rows * owner->GetItemHeight();
    auto* wnd = new CComboWnd(owner);
    const HWND hwnd = wnd->Create(ownerWindow, L"", WS_POPUP | WS_VISIBLE, 0, static_cast<int>(origin.x),
                                  static_cast<int>(origin.y), static_cast<int>(pos.Width()), height);
    // A failed creation has already freed the object through WM_NCDESTROY.
    return hwnd ? wnd : nullptr;
}

void CComboWnd::BuildRows() {
    auto* list = new CListUI();
    list->SetItemHeight(owner_->GetItemHeight());
    list->SetItemColors(owner_->GetItemTextColor(), owner_->GetItemHotBkColor(), owner_->GetItemSelectedBkColor());
    // The drop-down looks like the combo: its font (copied into this
    // window, which has no skin of its own), padding, background and border.
    if (CPaintManagerUI* ownerManager = owner_->GetManager()) {
        if (const TFontInfo* font = ownerManager->GetFont(owner_->GetFont())) manager_.AddFont(*font);
    }
    list->SetItemFont(owner_->GetFont());
    list->SetItemTextPadding(owner_->GetTextPadding());
    list->SetBkColor(owner_->GetBkColor() != 0 ? owner_->GetBkColor() : 0xFFFFFFFF);
    list->SetBorderColor(owner_->GetBorderColor() != 0 ? owner_->GetBorderColor() : 0xFF808080);
    for (int i = 0; i < owner_->GetCount(); ++i) {
        auto* row = new CListLabelElementUI();
        row->SetText(owner_->GetItemAt(i)->GetText());
        row->SetTag(static_cast<UINT_PTR>(i));
        list->Add(row);
    }
    manager_.AttachDialog(list);
    list->SelectItem(owner_->GetCurSel(), false);
}

LRESULT CComboWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        manager_.Init(hwnd_);
        if (owner_) BuildRows();
        manager_.AddNotifier(this);
        return 0;
    }
    LRESULT result = 0;
    if (manager_.MessageHandler(msg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

void CComboWnd::OnFinalMessage(HWND) {
    if (owner_) owner_->DropDownGone();
    delete this;
}

void CComboWnd::Notify(TNotifyUI& msg) {
    if (msg.sType != L"itemclick" || !msg.pSender) return;
    const int index = static_cast<int>(msg.pSender->GetTag());
    Close(0);
    if (owner_) owner_->SelectItem(index);
}

}  // namespace DuiLib
