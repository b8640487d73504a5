#include "toolkit/OptionUI.h"

#include <cwchar>
#include <functional>
#include <string>

#include "toolkit/AttributeValue.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {

const wchar_t* COptionUI::GetClass() const { return L"OptionUI"; }

void* COptionUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Option") == 0) return this;
    return CButtonUI::GetInterface(name);
}

void COptionUI::Selected(bool selected, bool sendNotify) {
    DUI_ASSERT_UI_THREAD();
    if (selected_ == selected) return;
    selected_ = selected;
    if (selected_) ClearGroupOthers();
    Invalidate();
    if (sendNotify) Notify(L"selectchanged");
}

void COptionUI::ClearGroupOthers() {
    if (group_.IsEmpty() || !manager_ || !manager_->GetRoot()) return;
    std::function<void(CControlUI*)> visit = [&](CControlUI* control) {
        if (control != this) {
            if (auto* option = static_cast<COptionUI*>(control->GetInterface(L"Option"))) {
                if (option->group_ == group_ && option->selected_) {
                    option->selected_ = false;
                    option->Invalidate();
                }
            }
        }
        for (int i = 0; i < control->GetCount(); ++i) visit(control->GetItemAt(i));
    };
    visit(manager_->GetRoot());
}

void COptionUI::SetGroup(const wchar_t* group) {
    DUI_ASSERT_UI_THREAD();
    group_ = group;
    if (selected_) ClearGroupOthers();
}

void COptionUI::SetSelectedImage(const wchar_t* image) {
    DUI_ASSERT_UI_THREAD();
    selectedImage_ = image;
    Invalidate();
}

bool COptionUI::Activate() {
    if (!CButtonUI::Activate()) return false;
    // The click handlers have run and seen the old state; now it changes.
    if (!group_.IsEmpty()) {
        Selected(true);
    } else {
        Selected(!selected_);
    }
    return true;
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CButtonUI::SetManager(manager, parent);
    // A skin may select several options of one group; the first in tree order wins.
    if (selected_) ClearGroupOthers();
}

void COptionUI::PaintBkColor(CRenderEngine& engine) {
    if (selected_ && selectedBkColor_ != 0) {
        CLabelUI::PaintBkColor(engine);
        engine.FillRect(rect_, selectedBkColor_);
        return;
    }
    CButtonUI::PaintBkColor(engine);
}

void COptionUI::PaintStatusImage(CRenderEngine& engine) {
    if (selected_ && IsEnabled() && (!selectedImage_.IsEmpty() || !selectedHotImage_.IsEmpty())) {
        const bool hot = IsHot() || IsPushed();
        const CStdString& image = (hot && !selectedHotImage_.IsEmpty()) || selectedImage_.IsEmpty()
                                      ? selectedHotImage_
                                      : selectedImage_;
        engine.DrawImage(rect_, image.Str());
    } else {
        CButtonUI::PaintStatusImage(engine);
    }
    engine.DrawImage(rect_, foreImage_.Str());
}

DWORD COptionUI::CurrentTextColor() const {
    if (selected_ && IsEnabled() && selectedTextColor_ != 0) return selectedTextColor_;
    return CButtonUI::CurrentTextColor();
}

void COptionUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const std::wstring n(name);
    DWORD color = 0;
    bool flag = false;
    if (n == L"group") {
        SetGroup(value);
    } else if (n == L"selected") {
        if (ParseBoolValue(value, flag)) Selected(flag, false);
    } else if (n == L"selectedimage") {
        SetSelectedImage(value);
    } else if (n == L"selectedhotimage") {
        selectedHotImage_ = value;
    } else if (n == L"foreimage") {
        foreImage_ = value;
    } else if (n == L"selectedtextcolor") {
        if (ParseColorValue(value, color)) selectedTextColor_ = color;
    } else if (n == L"selectedbkcolor") {
        if (ParseColorValue(value, color)) selectedBkColor_ = color;
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
