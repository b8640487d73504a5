#include "toolkit/ProgressUI.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "toolkit/AttributeValue.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {

const wchar_t* CProgressUI::GetClass() const { return L"ProgressUI"; }

void* CProgressUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Progress") == 0) return this;
    return CLabelUI::GetInterface(name);
}

void CProgressUI::SetMinValue(int value) {
    DUI_ASSERT_UI_THREAD();
    min_ = value;
    if (max_ < min_) max_ = min_;
    Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
    DUI_ASSERT_UI_THREAD();
    max_ = value;
    if (min_ > max_) min_ = max_;
    Invalidate();
}

int CProgressUI::GetValue() const { return std::clamp(value_, min_, max_); }

void CProgressUI::SetValue(int value) {
    DUI_ASSERT_UI_THREAD();
    if (value == value_) return;
    value_ = value;
    Invalidate();
}

void CProgressUI::SetForeImage(const wchar_t* image) {
    DUI_ASSERT_UI_THREAD();
    foreImage_ = image;
    Invalidate();
}

void CProgressUI::SetForeColor(DWORD color) {
    DUI_ASSERT_UI_THREAD();
    foreColor_ = color;
    Invalidate();
}

RECT CProgressUI::GetFilledRect() const {
    if (max_ <= min_) return RECT{rect_.left, rect_.top, rect_.left, rect_.bottom};
    const double fraction = static_cast<double>(GetValue() - min_) / static_cast<double>(max_ - min_);
    RECT filled = rect_;
    if (horizontal_) {
        filled.right = rect_.left + static_cast<long>(static_cast<double>(rect_.Width()) * fraction);
    } else {
        filled.top = rect_.bottom - static_cast<long>(static_cast<double>(rect_.Height()) * fraction);
    }
    return filled;
}

void CProgressUI::PaintStatusImage(CRenderEngine& engine) {
    const RECT filled = GetFilledRect();
    if (filled.Width() <= 0 || filled.Height() <= 0) return;
    // The fore image spans the whole bar and is uncovered as the value
    // grows, so its pattern never squeezes.
    engine.PushClip(filled);
    if (!engine.DrawImage(rect_, foreImage_.Str())) engine.FillRect(rect_, foreColor_);
    engine.PopClip();
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const std::wstring n(name);
    long number = 0;
    bool flag = false;
    if (n == L"min") {
        if (ParseIntValue(value, number)) SetMinValue(static_cast<int>(number));
    } else if (n == L"max") {
        if (ParseIntValue(value, number)) SetMaxValue(static_cast<int>(number));
    } else if (n == L"value") {
        if (ParseIntValue(value, number)) SetValue(static_cast<int>(number));
    } else if (n == L"hor") {
        if (ParseBoolValue(value, flag)) horizontal_ = flag;
    } else if (n == L"foreimage") {
        SetForeImage(value);
    } else if (n == L"forecolor") {
        DWORD color = 0;
        if (ParseColorValue(value, color)) SetForeColor(color);
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
