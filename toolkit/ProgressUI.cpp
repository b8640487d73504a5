#include "toolkit/ProgressUI.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "toolkit/AttributeValue.h"

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
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
