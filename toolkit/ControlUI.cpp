#include "toolkit/ControlUI.h"

#include <cwchar>

#include "toolkit/AttributeValue.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {

CControlUI::CControlUI() : alive_(std::make_shared<bool>(true)) {}

CControlUI::~CControlUI() { *alive_ = false; }

const wchar_t* CControlUI::GetClass() const { return L"ControlUI"; }

void* CControlUI::GetInterface(const wchar_t* name) {
    return (name && std::wcscmp(name, L"Control") == 0) ? this : nullptr;
}

void CControlUI::SetName(const wchar_t* name) {
    DUI_ASSERT_UI_THREAD();
    name_ = name;
}

void CControlUI::SetText(const wchar_t* text) {
    DUI_ASSERT_UI_THREAD();
    if (text_ == text) return;
    text_ = text;
    Invalidate();
}

void CControlUI::SetPos(RECT rect) {
    DUI_ASSERT_UI_THREAD();
    if (rect.right < rect.left) rect.right = rect.left;
    if (rect.bottom < rect.top) rect.bottom = rect.top;
    if (float_) {
        const RECT origin = parent_ ? parent_->GetPos() : RECT{};
        fixedXY_ = SIZE{rect.left - origin.left, rect.top - origin.top};
        fixedWidth_ = static_cast<int>(rect.Width());
        fixedHeight_ = static_cast<int>(rect.Height());
    }
    if (rect_ == rect) return;
    Invalidate();
    rect_ = rect;
    Invalidate();
}

void CControlUI::SetFixedXY(SIZE xy) {
    DUI_ASSERT_UI_THREAD();
    fixedXY_ = xy;
    if (float_) NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int width) {
    DUI_ASSERT_UI_THREAD();
    fixedWidth_ = width < 0 ? 0 : width;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int height) {
    DUI_ASSERT_UI_THREAD();
    fixedHeight_ = height < 0 ? 0 : height;
    NeedParentUpdate();
}

void CControlUI::SetFloat(bool isFloat) {
    DUI_ASSERT_UI_THREAD();
    if (float_ == isFloat) return;
    float_ = isFloat;
    NeedParentUpdate();
}

void CControlUI::SetPadding(RECT padding) {
    DUI_ASSERT_UI_THREAD();
    padding_ = padding;
    NeedParentUpdate();
}

void CControlUI::SetVisible(bool visible) {
    DUI_ASSERT_UI_THREAD();
    if (visible_ == visible) return;
    Invalidate();
    visible_ = visible;
    NeedParentUpdate();
    Invalidate();
}

void CControlUI::SetEnabled(bool enabled) {
    DUI_ASSERT_UI_THREAD();
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    Invalidate();
}

bool CControlUI::IsInputAllowed() const {
    if (!enabled_) return false;
    for (const CControlUI* c = this; c; c = c->parent_) {
        if (!c->visible_ || !c->enabled_) return false;
    }
    return true;
}

void CControlUI::SetBkColor(DWORD color) {
    DUI_ASSERT_UI_THREAD();
    bkColor_ = color;
    Invalidate();
}

void CControlUI::SetBkColor2(DWORD color) {
    DUI_ASSERT_UI_THREAD();
    bkColor2_ = color;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD color) {
    DUI_ASSERT_UI_THREAD();
    borderColor_ = color;
    if (!borderSizeSet_ && color != 0 && borderSize_ == 0) borderSize_ = 1;
    Invalidate();
}

void CControlUI::SetBorderSize(int size) {
    DUI_ASSERT_UI_THREAD();
    borderSize_ = size < 0 ? 0 : size;
    borderSizeSet_ = true;
    Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* image) {
    DUI_ASSERT_UI_THREAD();
    bkImage_ = image;
    Invalidate();
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    manager_ = manager;
    parent_ = parent;
}

CControlUI* CControlUI::FindControlAt(POINT pt) {
    return (visible_ && rect_.Contains(pt)) ? this : nullptr;
}

CControlUI* CControlUI::FindControlByName(const wchar_t* name) {
    if (!name || !*name) return nullptr;
    if (name_ == name) return this;
    for (int i = 0; i < GetCount(); ++i) {
        if (CControlUI* child = GetItemAt(i)) {
            if (CControlUI* found = child->FindControlByName(name)) return found;
        }
    }
    return nullptr;
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const std::wstring n(name);
    RECT rc;
    long number = 0;
    bool flag = false;
    DWORD color = 0;
    if (n == L"name") {
        SetName(value);
    } else if (n == L"text") {
        SetText(value);
    } else if (n == L"tooltip") {
        SetToolTip(value);
    } else if (n == L"userdata") {
        SetUserData(value);
    } else if (n == L"pos") {
        if (ParseRectValue(value, rc)) {
            fixedXY_ = SIZE{rc.left, rc.top};
            SetFixedWidth(rc.right > rc.left ? static_cast<int>(rc.right - rc.left) : 0);
            SetFixedHeight(rc.bottom > rc.top ? static_cast<int>(rc.bottom - rc.top) : 0);
        }
    } else if (n == L"float") {
        if (ParseBoolValue(value, flag)) SetFloat(flag);
    } else if (n == L"width") {
        if (ParseIntValue(value, number) && number >= 0) SetFixedWidth(static_cast<int>(number));
    } else if (n == L"height") {
        if (ParseIntValue(value, number) && number >= 0) SetFixedHeight(static_cast<int>(number));
    } else if (n == L"padding") {
        if (ParseRectValue(value, rc)) SetPadding(rc);
    } else if (n == L"visible") {
        if (ParseBoolValue(value, flag)) SetVisible(flag);
    } else if (n == L"enabled") {
        if (ParseBoolValue(value, flag)) SetEnabled(flag);
    } else if (n == L"tag") {
        if (ParseIntValue(value, number)) SetTag(static_cast<UINT_PTR>(number));
    } else if (n == L"bkcolor") {
        if (ParseColorValue(value, color)) SetBkColor(color);
    } else if (n == L"bkcolor2") {
        if (ParseColorValue(value, color)) SetBkColor2(color);
    } else if (n == L"bordercolor") {
        if (ParseColorValue(value, color)) SetBorderColor(color);
    } else if (n == L"bordersize") {
        if (ParseIntValue(value, number) && number >= 0) SetBorderSize(static_cast<int>(number));
    } else if (n == L"bkimage") {
        SetBkImage(value);
    }
}

bool CControlUI::ApplyAttributeList(const wchar_t* list) {
    return ForEachAttributePair(list, [this](const wchar_t* name, const wchar_t* value) { SetAttribute(name, value); });
}

void CControlUI::Event(TEventUI& event) {
    auto alive = alive_;
    if (!OnEvent(&event)) return;
    if (*alive) DoEvent(event);
}

void CControlUI::DoPaint(void* renderContext, const RECT& paintRect) {
    if (!renderContext || !RectsIntersect(rect_, paintRect)) return;
    auto& engine = *static_cast<CRenderEngine*>(renderContext);
    PaintBkColor(engine);
    PaintBkImage(engine);
    PaintStatusImage(engine);
    PaintText(engine);
    PaintBorder(engine);
}

void CControlUI::PaintBkColor(CRenderEngine& engine) {
    if (bkColor2_ != 0) {
        engine.FillGradient(rect_, bkColor_, bkColor2_);
    } else {
        engine.FillRect(rect_, bkColor_);
    }
}

void CControlUI::PaintBkImage(CRenderEngine& engine) { engine.DrawImage(rect_, bkImage_.Str()); }

void CControlUI::PaintBorder(CRenderEngine& engine) { engine.DrawBorder(rect_, borderSize_, borderColor_); }

void CControlUI::Invalidate() {
    if (manager_ && visible_ && rect_.Width() > 0 && rect_.Height() > 0) manager_->Invalidate(rect_);
}

void CControlUI::NeedParentUpdate() {
    if (parent_) {
        parent_->SetPos(parent_->GetPos());
    } else if (manager_ && manager_->GetRoot() == this) {
        manager_->NeedUpdate();
    }
}

bool CControlUI::Notify(const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    auto alive = alive_;
    if (manager_) manager_->SendNotify(this, type, wParam, lParam);
    return *alive;
}

bool CControlUI::TrackHot(const TEventUI& event) {
    if (event.Type != UIEVENT_MOUSEENTER && event.Type != UIEVENT_MOUSELEAVE) return false;
    const bool hot = event.Type == UIEVENT_MOUSEENTER && IsInputAllowed();
    if (hot != hot_) {
        hot_ = hot;
        Invalidate();
    }
    return true;
}

}  // namespace DuiLib
