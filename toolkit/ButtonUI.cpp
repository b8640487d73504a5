#include "toolkit/ButtonUI.h"

#include <cwchar>
#include <string>

#include "toolkit/AttributeValue.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {

const wchar_t* CButtonUI::GetClass() const { return L"ButtonUI"; }

void* CButtonUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Button") == 0) return this;
    return CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
    if (!IsInputAllowed()) return false;
    return Notify(L"click");
}

void CButtonUI::ClearStates() {
    if (!hot_ && !pushed_ && !captured_) return;
    hot_ = pushed_ = captured_ = false;
    Invalidate();
}

void CButtonUI::SetEnabled(bool enabled) {
    CLabelUI::SetEnabled(enabled);
    if (!enabled) ClearStates();
}

void CButtonUI::SetVisible(bool visible) {
    CLabelUI::SetVisible(visible);
    if (!visible) ClearStates();
}

void CButtonUI::DoEvent(TEventUI& event) {
    if (TrackHot(event)) return;
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (IsInputAllowed()) {
                pushed_ = captured_ = true;
                Invalidate();
            }
            break;
        case UIEVENT_MOUSEMOVE:
            if (captured_) {
                const bool over = GetPos().Contains(event.ptMouse);
                if (over != pushed_) {
                    pushed_ = over;
                    Invalidate();
                }
            }
            break;
        case UIEVENT_BUTTONUP:
            if (captured_) {
                captured_ = pushed_ = false;
                Invalidate();
                if (GetPos().Contains(event.ptMouse)) Activate();
            }
            break;
        default:
            break;
    }
}

void CButtonUI::PaintBkColor(CRenderEngine& engine) {
    CLabelUI::PaintBkColor(engine);
    if ((hot_ || pushed_) && IsEnabled()) engine.FillRect(rect_, hotBkColor_);
}

void CButtonUI::PaintStatusImage(CRenderEngine& engine) {
    // A state without its own image shows the normal one.
    const CStdString* image = &normalImage_;
    if (!IsEnabled()) {
        if (!disabledImage_.IsEmpty()) image = &disabledImage_;
    } else if (pushed_) {
        if (!pushedImage_.IsEmpty()) image = &pushedImage_;
        else if (!hotImage_.IsEmpty()) image = &hotImage_;
    } else if (hot_) {
        if (!hotImage_.IsEmpty()) image = &hotImage_;
    }
    engine.DrawImage(rect_, image->Str());
}

DWORD CButtonUI::CurrentTextColor() const {
    if (IsEnabled()) {
        if (pushed_ && pushedTextColor_ != 0) return pushedTextColor_;
        if ((hot_ || pushed_) && hotTextColor_ != 0) return hotTextColor_;
    }
    return CLabelUI::CurrentTextColor();
}

void CButtonUI::SetNormalImage(const wchar_t* image) {
    DUI_ASSERT_UI_THREAD();
    normalImage_ = image;
    Invalidate();
}

void CButtonUI::SetHotImage(const wchar_t* image) {
    DUI_ASSERT_UI_THREAD();
    hotImage_ = image;
    Invalidate();
}

void CButtonUI::SetPushedImage(const wchar_t* image) {
    DUI_ASSERT_UI_THREAD();
    pushedImage_ = image;
    Invalidate();
}

void CButtonUI::SetDisabledImage(const wchar_t* image) {
    DUI_ASSERT_UI_THREAD();
    disabledImage_ = image;
    Invalidate();
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const std::wstring n(name);
    DWORD color = 0;
    if (n == L"normalimage") {
        SetNormalImage(value);
    } else if (n == L"hotimage") {
        SetHotImage(value);
    } else if (n == L"pushedimage") {
        SetPushedImage(value);
    } else if (n == L"disabledimage") {
        SetDisabledImage(value);
    } else if (n == L"focusedimage") {
        focusedImage_ = value;
    } else if (n == L"hottextcolor") {
        if (ParseColorValue(value, color)) hotTextColor_ = color;
    } else if (n == L"pushedtextcolor") {
        if (ParseColorValue(value, color)) pushedTextColor_ = color;
    } else if (n == L"hotbkcolor") {
        if (ParseColorValue(value, color)) hotBkColor_ = color;
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
