#include "toolkit/ListUI.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "toolkit/AttributeValue.h"
#include "toolkit/LabelUI.h"

namespace DuiLib {

const wchar_t* CListUI::GetClass() const { return L"ListUI"; }

void* CListUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"List") == 0) return this;
    return CVerticalLayoutUI::GetInterface(name);
}

bool CListUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0) return false;
    if (index == curSel_) {
        curSel_ = -1;
    } else if (index < curSel_) {
        --curSel_;
    }
    return CVerticalLayoutUI::Remove(control);
}

void CListUI::RemoveAll() {
    curSel_ = -1;
    scrollPos_ = 0;
    CVerticalLayoutUI::RemoveAll();
}

bool CListUI::SelectItem(int index, bool sendNotify) {
    DUI_ASSERT_UI_THREAD();
    if (index < -1 || index >= GetCount()) return false;
    if (index == curSel_) return true;
    const int old = curSel_;
    curSel_ = index;
    if (CControlUI* row = GetItemAt(old)) row->Invalidate();
    if (CControlUI* row = GetItemAt(index)) row->Invalidate();
    if (sendNotify) Notify(L"itemselect", static_cast<WPARAM>(index), old);
    return true;
}

void CListUI::SetItemHeight(int height) {
    DUI_ASSERT_UI_THREAD();
    itemHeight_ = height > 0 ? height : 22;
    SetPos(GetPos());
}

CListUI::CListUI() : itemTextStyle_(DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS) {}

void CListUI::SetItemFont(int font) {
    DUI_ASSERT_UI_THREAD();
    itemFont_ = font < -1 ? -1 : font;
    Invalidate();
}

void CListUI::SetItemTextPadding(RECT padding) {
    DUI_ASSERT_UI_THREAD();
    itemTextPadding_ = padding;
    Invalidate();
}

void CListUI::SetItemColors(DWORD text, DWORD hotBk, DWORD selectedBk) {
    DUI_ASSERT_UI_THREAD();
    itemTextColor_ = text;
    itemHotBkColor_ = hotBk;
    itemSelectedBkColor_ = selectedBk;
    Invalidate();
}

int CListUI::RowHeight(const CControlUI* row) const {
    return row->GetFixedHeight() > 0 ? row->GetFixedHeight() : itemHeight_;
}

int CListUI::GetContentHeight() const {
    int total = 0;
    int rows = 0;
    for (const auto& row : items_) {
        if (row->IsFloat() || !row->IsVisible()) continue;
        const RECT pad = row->GetPadding();
        total += RowHeight(row.get()) + static_cast<int>(pad.top + pad.bottom);
        ++rows;
    }
    return total + (rows > 1 ? (rows - 1) * GetChildPadding() : 0);
}

void CListUI::SetScrollPos(int pos) {
    DUI_ASSERT_UI_THREAD();
    const RECT inset = GetInset();
    const int view = static_cast<int>(GetPos().Height() - inset.top - inset.bottom);
    const int limit = std::max(0, GetContentHeight() - view);
    pos = std::clamp(pos, 0, limit);
    if (pos == scrollPos_) return;
    scrollPos_ = pos;
    SetPos(GetPos());
    Invalidate();
}

void CListUI::LayoutChildren(const RECT& inner) {
    long y = inner.top - scrollPos_;
    for (auto& row : items_) {
        if (row->IsFloat() || !row->IsVisible()) continue;
        const RECT pad = row->GetPadding();
        y += pad.top;
        const long left = inner.left + pad.left;
        const long right = row->GetFixedWidth() > 0 ? left + row->GetFixedWidth() : inner.right - pad.right;
        const int height = RowHeight(row.get());
        row->SetPos(RECT{left, y, right, y + height});
        y += height + pad.bottom + GetChildPadding();
    }
}

void CListUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SCROLLWHEEL) {
        // The wheel delta is in wParam's high word: positive scrolls up.
        const int delta = static_cast<short>(HIWORD(event.wParam));
        SetScrollPos(scrollPos_ + (delta > 0 ? -itemHeight_ : itemHeight_));
        return;
    }
    CVerticalLayoutUI::DoEvent(event);
}

void CListUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const std::wstring n(name);
    long number = 0;
    DWORD color = 0;
    if (n == L"itemheight") {
        if (ParseIntValue(value, number) && number > 0) SetItemHeight(static_cast<int>(number));
    } else if (n == L"itemtextcolor") {
        if (ParseColorValue(value, color)) SetItemColors(color, itemHotBkColor_, itemSelectedBkColor_);
    } else if (n == L"itemhotbkcolor") {
        if (ParseColorValue(value, color)) SetItemColors(itemTextColor_, color, itemSelectedBkColor_);
    } else if (n == L"itemselectedbkcolor") {
        if (ParseColorValue(value, color)) SetItemColors(itemTextColor_, itemHotBkColor_, color);
    } else if (n == L"itemfont") {
        if (ParseIntValue(value, number) && number >= -1) SetItemFont(static_cast<int>(number));
    } else if (n == L"itemtextpadding") {
        RECT rc;
        if (ParseRectValue(value, rc)) SetItemTextPadding(rc);
    } else if (n == L"itemalign") {
        UINT style = itemTextStyle_ & ~(DT_CENTER | DT_RIGHT);
        if (std::wstring(value) == L"center") style |= DT_CENTER;
        else if (std::wstring(value) == L"right") style |= DT_RIGHT;
        else if (std::wstring(value) != L"left") return;
        itemTextStyle_ = style;
        Invalidate();
    } else {
        CVerticalLayoutUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
