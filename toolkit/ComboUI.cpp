#include "toolkit/ComboUI.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "toolkit/AttributeValue.h"
#include "toolkit/ComboWnd.h"
#include "toolkit/LabelUI.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {

CComboUI::~CComboUI() {
    if (manager_) manager_->RemovePreMessageFilter(&dismiss_);
    if (dropDown_) {
        dropDown_->DetachOwner();
        const HWND hwnd = dropDown_->GetHWND();
        dropDown_ = nullptr;
        platform::DestroyWindow(hwnd);
    }
}

const wchar_t* CComboUI::GetClass() const { return L"ComboUI"; }

void* CComboUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Combo") == 0) return this;
    return CContainerUI::GetInterface(name);
}

int CComboUI::GetCurSel() const { return curSel_ < GetCount() ? curSel_ : -1; }

CStdString CComboUI::GetText() const {
    if (CControlUI* item = GetItemAt(GetCurSel())) return item->GetText();
    return CContainerUI::GetText();
}

bool CComboUI::SelectItem(int index, bool sendNotify) {
    DUI_ASSERT_UI_THREAD();
    if (index < -1 || index >= GetCount()) return false;
    if (index == GetCurSel()) return true;
    const int old = GetCurSel();
    curSel_ = index;
    Invalidate();
    if (sendNotify) Notify(L"itemselect", static_cast<WPARAM>(index), old);
    return true;
}

bool CComboUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0) return false;
    CloseDropDown();
    if (index == curSel_) {
        curSel_ = -1;
    } else if (index < curSel_) {
        --curSel_;
    }
    return CContainerUI::Remove(control);
}

void CComboUI::RemoveAll() {
    CloseDropDown();
    curSel_ = -1;
    CContainerUI::RemoveAll();
}

bool CComboUI::IsDropDownOpen() const { return dropDown_ != nullptr; }

HWND CComboUI::GetDropDownWindow() const { return dropDown_ ? dropDown_->GetHWND() : nullptr; }

void CComboUI::OpenDropDown() {
    if (dropDown_ || !IsInputAllowed() || !manager_) return;
    dropDown_ = CComboWnd::Open(this);
    if (!dropDown_) return;
    manager_->AddPreMessageFilter(&dismiss_);
    Notify(L"dropdown");
}

void CComboUI::DropDownGone() {
    dropDown_ = nullptr;
    if (manager_) manager_->RemovePreMessageFilter(&dismiss_);
}

LRESULT CComboUI::DismissFilter::MessageHandler(UINT msg, WPARAM, LPARAM lParam, bool& handled) {
    handled = false;
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN: {
            // A press on the combo itself toggles the drop-down there.
            const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (!combo_.GetPos().Contains(pt)) combo_.CloseDropDown();
            break;
        }
        case WM_MOVE:
        case WM_SIZE:
            combo_.CloseDropDown();
            break;
        default:
            break;
    }
    return 0;
}

void CComboUI::CloseDropDown() {
    if (dropDown_) dropDown_->Close(0);
}

void CComboUI::SetEnabled(bool enabled) {
    CContainerUI::SetEnabled(enabled);
    if (!enabled) {
        hot_ = false;
        CloseDropDown();
    }
}

void CComboUI::SetVisible(bool visible) {
    CContainerUI::SetVisible(visible);
    if (!visible) {
        hot_ = false;
        CloseDropDown();
    }
}

void CComboUI::DoEvent(TEventUI& event) {
    if (TrackHot(event)) return;
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
            if (!IsInputAllowed()) break;
            if (dropDown_) {
                CloseDropDown();
            } else {
                OpenDropDown();
            }
            break;
        case UIEVENT_SCROLLWHEEL: {
            if (!IsInputAllowed() || GetCount() == 0) break;
            const int delta = static_cast<short>(HIWORD(event.wParam));
            const int next = GetCurSel() + (delta > 0 ? -1 : 1);
            if (next >= 0 && next < GetCount()) SelectItem(next);
            break;
        }
        default:
            break;
    }
}

void CComboUI::PaintStatusImage(CRenderEngine& engine) {
    const CStdString* image = &normalImage_;
    if (!IsEnabled()) {
        if (!disabledImage_.IsEmpty()) image = &disabledImage_;
    } else if (dropDown_) {
        if (!pushedImage_.IsEmpty()) image = &pushedImage_;
    } else if (hot_) {
        if (!hotImage_.IsEmpty()) image = &hotImage_;
    }
    if (engine.DrawImage(rect_, image->Str())) return;
    // No artwork: a small arrow at the right end says it drops down.
    const long size = std::min<long>(8, rect_.Height() / 3);
    if (size <= 1) return;
    const long cx = rect_.right - textPadding_.right / 2 - size - 4;
    const long cy = rect_.top + rect_.Height() / 2 - size / 4;
    const DWORD color = IsEnabled() ? textColor_ : disabledTextColor_;
    for (long row = 0; row < size / 2; ++row) {
        engine.FillRect(RECT{cx + row, cy + row, cx + size - row, cy + row + 1}, color);
    }
}

void CComboUI::PaintText(CRenderEngine& engine) {
    const CStdString text = GetText();
    if (text.IsEmpty()) return;
    const RECT rc{rect_.left + textPadding_.left, rect_.top + textPadding_.top, rect_.right - textPadding_.right,
                  rect_.bottom - textPadding_.bottom};
    engine.DrawText(rc, text.Str(), manager_ ? manager_->GetFont(font_) : nullptr,
                    IsEnabled() ? textColor_ : disabledTextColor_, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

void CComboUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const std::wstring n(name);
    long number = 0;
    DWORD color = 0;
    if (n == L"itemheight") {
        if (ParseIntValue(value, number) && number > 0) itemHeight_ = static_cast<int>(number);
    } else if (n == L"dropboxheight") {
        if (ParseIntValue(value, number) && number >= 0) dropBoxHeight_ = static_cast<int>(number);
    } else if (n == L"itemtextcolor") {
        if (ParseColorValue(value, color)) itemTextColor_ = color;
    } else if (n == L"itemhotbkcolor") {
        if (ParseColorValue(value, color)) itemHotBkColor_ = color;
    } else if (n == L"itemselectedbkcolor") {
        if (ParseColorValue(value, color)) itemSelectedBkColor_ = color;
    } else if (n == L"font") {
        if (ParseIntValue(value, number) && number >= 0) font_ = static_cast<int>(number);
    } else if (n == L"textcolor") {
        if (ParseColorValue(value, color)) textColor_ = color;
    } else if (n == L"disabledtextcolor") {
        if (ParseColorValue(value, color)) disabledTextColor_ = color;
    } else if (n == L"textpadding") {
        RECT rc;
        if (ParseRectValue(value, rc)) textPadding_ = rc;
    } else if (n == L"normalimage") {
        normalImage_ = value;
    } else if (n == L"hotimage") {
        hotImage_ = value;
    } else if (n == L"pushedimage") {
        pushedImage_ = value;
    } else if (n == L"disabledimage") {
        disabledImage_ = value;
    } else if (n == L"selected") {
        // Index of the initially selected choice; the choices may follow it.
        if (ParseIntValue(value, number) && number >= -1) curSel_ = static_cast<int>(number);
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
