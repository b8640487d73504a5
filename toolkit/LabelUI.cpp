#include "toolkit/LabelUI.h"

#include <cwchar>
#include <string>

#include "toolkit/AttributeValue.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {
namespace {

// Reads "left center right top vcenter bottom" words (blank or comma
// separated) into horizontal and vertical flags; false on an unknown word.
bool ParseAlign(const wchar_t* value, UINT& horizontal, UINT& vertical) {
    std::wstring word;
    bool any = false;
    auto take = [&]() {
        if (word.empty()) return true;
        any = true;
        if (word == L"left") horizontal = DT_LEFT;
        else if (word == L"center") horizontal = DT_CENTER;
        else if (word == L"right") horizontal = DT_RIGHT;
        else if (word == L"top") vertical = DT_TOP;
        else if (word == L"vcenter") vertical = DT_VCENTER;
        else if (word == L"bottom") vertical = DT_BOTTOM;
        else return false;
        word.clear();
        return true;
    };
    for (const wchar_t* p = value; *p; ++p) {
        if (*p == L' ' || *p == L',' || *p == L'\t') {
            if (!take()) return false;
        } else {
            word += *p;
        }
    }
    return take() && any;
}

constexpr UINT kHorizontalMask = DT_CENTER | DT_RIGHT;
constexpr UINT kVerticalMask = DT_VCENTER | DT_BOTTOM;

}  // namespace

CLabelUI::CLabelUI() : CLabelUI(DT_LEFT | DT_VCENTER | DT_SINGLELINE) {}

CLabelUI::CLabelUI(UINT defaultStyle) : textStyle_(defaultStyle) {}

const wchar_t* CLabelUI::GetClass() const { return L"LabelUI"; }

void* CLabelUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Label") == 0) return this;
    return CControlUI::GetInterface(name);
}

void CLabelUI::SetFont(int index) {
    DUI_ASSERT_UI_THREAD();
    font_ = index < 0 ? 0 : index;
    Invalidate();
}

void CLabelUI::SetTextColor(DWORD color) {
    DUI_ASSERT_UI_THREAD();
    textColor_ = color;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD color) {
    DUI_ASSERT_UI_THREAD();
    disabledTextColor_ = color;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style) {
    DUI_ASSERT_UI_THREAD();
    textStyle_ = style;
    Invalidate();
}

void CLabelUI::SetTextPadding(RECT padding) {
    DUI_ASSERT_UI_THREAD();
    textPadding_ = padding;
    Invalidate();
}

DWORD CLabelUI::CurrentTextColor() const { return IsEnabled() ? textColor_ : disabledTextColor_; }

void CLabelUI::PaintText(CRenderEngine& engine) {
    PaintTextIn(engine, CurrentTextColor(), font_, textPadding_, textStyle_);
}

void CLabelUI::PaintTextIn(CRenderEngine& engine, DWORD color, int font, const RECT& padding, UINT style) {
    const CStdString text = GetText();
    if (text.IsEmpty()) return;
    const RECT rc{rect_.left + padding.left, rect_.top + padding.top, rect_.right - padding.right,
                  rect_.bottom - padding.bottom};
    engine.DrawText(rc, text.Str(), manager_ ? manager_->GetFont(font) : nullptr, color, style);
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const std::wstring n(name);
    long number = 0;
    DWORD color = 0;
    bool flag = false;
    RECT rc;
    if (n == L"font") {
        if (ParseIntValue(value, number) && number >= 0) SetFont(static_cast<int>(number));
    } else if (n == L"textcolor") {
        if (ParseColorValue(value, color)) SetTextColor(color);
    } else if (n == L"disabledtextcolor") {
        if (ParseColorValue(value, color)) SetDisabledTextColor(color);
    } else if (n == L"align" || n == L"valign") {
        UINT horizontal = textStyle_ & kHorizontalMask;
        UINT vertical = textStyle_ & kVerticalMask;
        if (ParseAlign(value, horizontal, vertical)) {
            SetTextStyle((textStyle_ & ~(kHorizontalMask | kVerticalMask)) | horizontal | vertical);
        }
    } else if (n == L"endellipsis") {
        if (ParseBoolValue(value, flag)) SetTextStyle(flag ? (textStyle_ | DT_END_ELLIPSIS) : (textStyle_ & ~DT_END_ELLIPSIS));
    } else if (n == L"multiline" || n == L"wordbreak") {
        if (ParseBoolValue(value, flag)) {
            SetTextStyle(flag ? ((textStyle_ | DT_WORDBREAK) & ~DT_SINGLELINE) : ((textStyle_ & ~DT_WORDBREAK) | DT_SINGLELINE));
        }
    } else if (n == L"textpadding") {
        if (ParseRectValue(value, rc)) SetTextPadding(rc);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
