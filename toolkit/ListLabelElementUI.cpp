#include "toolkit/ListLabelElementUI.h"

#include <cwchar>

#include "toolkit/ListUI.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {

const wchar_t* CListLabelElementUI::GetClass() const { return L"ListLabelElementUI"; }

void* CListLabelElementUI::GetInterface(const wchar_t* name) {
    if (name && (std::wcscmp(name, L"ListLabelElement") == 0 || std::wcscmp(name, L"ListItem") == 0)) return this;
    return CLabelUI::GetInterface(name);
}

CListUI* CListLabelElementUI::GetOwnerList() const {
    return parent_ ? static_cast<CListUI*>(parent_->GetInterface(L"List")) : nullptr;
}

int CListLabelElementUI::GetIndex() const {
    auto* container = parent_ ? static_cast<CContainerUI*>(parent_->GetInterface(L"Container")) : nullptr;
    return container ? container->GetItemIndex(this) : -1;
}

bool CListLabelElementUI::IsSelected() const {
    CListUI* list = GetOwnerList();
    return list && list->GetCurSel() == GetIndex();
}

bool CListLabelElementUI::Select() {
    CListUI* list = GetOwnerList();
    return list && list->SelectItem(GetIndex());
}

void CListLabelElementUI::PaintBkColor(CRenderEngine& engine) {
    CLabelUI::PaintBkColor(engine);
    const CListUI* list = GetOwnerList();
    if (!list) return;
    if (IsSelected()) {
        engine.FillRect(rect_, list->GetItemSelectedBkColor());
    } else if (hot_) {
        engine.FillRect(rect_, list->GetItemHotBkColor());
    }
}

void CListLabelElementUI::PaintText(CRenderEngine& engine) {
    const CListUI* list = GetOwnerList();
    if (!list) {
        CLabelUI::PaintText(engine);
        return;
    }
    // Rows are usually made by code, not the skin: the list's item font,
    // padding and alignment stand in for theirs.
    const int font = list->GetItemFont() >= 0 ? list->GetItemFont() : GetFont();
    PaintTextIn(engine, CurrentTextColor(), font, list->GetItemTextPadding(), list->GetItemTextStyle());
}

DWORD CListLabelElementUI::CurrentTextColor() const {
    const CListUI* list = GetOwnerList();
    if (list && IsEnabled()) return list->GetItemTextColor();
    return CLabelUI::CurrentTextColor();
}

void CListLabelElementUI::DoEvent(TEventUI& event) {
    if (TrackHot(event)) return;
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (IsInputAllowed() && Notify(L"itemclick")) Select();
            break;
        case UIEVENT_SCROLLWHEEL:
            if (CListUI* list = GetOwnerList()) list->DoEvent(event);
            break;
        default:
            break;
    }
}

}  // namespace DuiLib
