#include "toolkit/ContainerUI.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "toolkit/AttributeValue.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {

CContainerUI::~CContainerUI() {
    // Children go before the container's own state; each sees a valid parent.
    while (!items_.empty()) items_.pop_back();
}

const wchar_t* CContainerUI::GetClass() const { return L"ContainerUI"; }

void* CContainerUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Container") == 0) return this;
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

int CContainerUI::GetItemIndex(const CControlUI* control) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == control) return static_cast<int>(i);
    }
    return -1;
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
    DUI_ASSERT_UI_THREAD();
    if (!control || control == this || control->GetParent() || GetItemIndex(control) >= 0) return false;
    if (manager_ && manager_->GetRoot() == control) return false;
    if (index < 0 || index > GetCount()) index = GetCount();
    items_.insert(items_.begin() + index, std::unique_ptr<CControlUI>(control));
    control->SetManager(manager_, this);
    SetPos(GetPos());
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    DUI_ASSERT_UI_THREAD();
    const int index = GetItemIndex(control);
    if (index < 0) return false;
    auto owned = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
    owned.reset();
    SetPos(GetPos());
    Invalidate();
    return true;
}

void CContainerUI::RemoveAll() {
    DUI_ASSERT_UI_THREAD();
    auto doomed = std::move(items_);
    items_.clear();
    doomed.clear();
    Invalidate();
}

void CContainerUI::SetInset(RECT inset) {
    DUI_ASSERT_UI_THREAD();
    inset_ = inset;
    SetPos(GetPos());
}

void CContainerUI::SetChildPadding(int padding) {
    DUI_ASSERT_UI_THREAD();
    childPadding_ = std::max(0, padding);
    SetPos(GetPos());
}

void CContainerUI::SetPos(RECT rect) {
    CControlUI::SetPos(rect);
    if (!ChildrenTakePart()) return;
    const RECT inner{rect_.left + inset_.left, rect_.top + inset_.top, rect_.right - inset_.right,
                     rect_.bottom - inset_.bottom};
    LayoutChildren(inner);
    for (auto& child : items_) {
        if (child->IsFloat() && child->IsVisible()) PlaceFloat(child.get());
    }
}

void CContainerUI::PlaceFloat(CControlUI* child) {
    const SIZE xy = child->GetFixedXY();
    const long left = rect_.left + xy.cx;
    const long top = rect_.top + xy.cy;
    child->SetPos(RECT{left, top, left + child->GetFixedWidth(), top + child->GetFixedHeight()});
}

void CContainerUI::StackChildren(const RECT& inner, bool vertical) {
    // Main-axis and cross-axis views of a rectangle, so one loop serves both.
    const auto lead = [vertical](const RECT& r) { return vertical ? r.top : r.left; };
    const auto trail = [vertical](const RECT& r) { return vertical ? r.bottom : r.right; };
    const auto crossLead = [vertical](const RECT& r) { return vertical ? r.left : r.top; };
    const auto crossTrail = [vertical](const RECT& r) { return vertical ? r.right : r.bottom; };
    const auto mainSize = [vertical](const CControlUI* c) { return vertical ? c->GetFixedHeight() : c->GetFixedWidth(); };
    const auto crossSize = [vertical](const CControlUI* c) { return vertical ? c->GetFixedWidth() : c->GetFixedHeight(); };

    std::vector<CControlUI*> stacked;
    long fixedTotal = 0;
    int shares = 0;
    for (auto& child : items_) {
        if (child->IsFloat() || !child->IsVisible()) continue;
        stacked.push_back(child.get());
        const RECT pad = child->GetPadding();
        fixedTotal += lead(pad) + trail(pad) + mainSize(child.get());
        if (mainSize(child.get()) == 0) ++shares;
    }
    if (stacked.empty()) return;
    fixedTotal += static_cast<long>(GetChildPadding()) * static_cast<long>(stacked.size() - 1);
    const long freeSpace = std::max(0L, trail(inner) - lead(inner) - fixedTotal);
    long at = lead(inner);
    int shareIndex = 0;
    for (CControlUI* child : stacked) {
        const RECT pad = child->GetPadding();
        long size = mainSize(child);
        if (size == 0) {
            size = (shareIndex + 1 == shares) ? freeSpace - (freeSpace / shares) * shareIndex : freeSpace / shares;
            ++shareIndex;
        }
        at += lead(pad);
        const long from = crossLead(inner) + crossLead(pad);
        const long to = crossSize(child) > 0 ? from + crossSize(child) : crossTrail(inner) - crossTrail(pad);
        child->SetPos(vertical ? RECT{from, at, to, at + size} : RECT{at, from, at + size, to});
        at += size + trail(pad) + GetChildPadding();
    }
}

void CContainerUI::LayoutChildren(const RECT& inner) {
    for (auto& child : items_) {
        if (child->IsFloat() || !child->IsVisible()) continue;
        const RECT pad = child->GetPadding();
        RECT rc{inner.left + pad.left, inner.top + pad.top, inner.right - pad.right, inner.bottom - pad.bottom};
        if (child->GetFixedWidth() > 0) rc.right = rc.left + child->GetFixedWidth();
        if (child->GetFixedHeight() > 0) rc.bottom = rc.top + child->GetFixedHeight();
        child->SetPos(rc);
    }
}

std::vector<CControlUI*> CContainerUI::PaintOrder() const {
    std::vector<CControlUI*> order;
    order.reserve(items_.size());
    for (const auto& child : items_) {
        if (!child->IsFloat()) order.push_back(child.get());
    }
    for (const auto& child : items_) {
        if (child->IsFloat()) order.push_back(child.get());
    }
    return order;
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (auto& child : items_) child->SetManager(manager, this);
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
    if (!IsVisible() || !rect_.Contains(pt)) return nullptr;
    if (ChildrenTakePart()) {
        const auto order = PaintOrder();
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            if (CControlUI* hit = (*it)->FindControlAt(pt)) return hit;
        }
    }
    return this;
}

void CContainerUI::DoPaint(void* renderContext, const RECT& paintRect) {
    auto* engine = static_cast<CRenderEngine*>(renderContext);
    if (engine) {
        if (!RectsIntersect(rect_, paintRect)) return;
        PaintBkColor(*engine);
        PaintBkImage(*engine);
        PaintStatusImage(*engine);
        PaintText(*engine);
    }
    if (ChildrenTakePart()) {
        // Children never draw outside their container (scrolled list rows).
        if (engine) engine->PushClip(rect_);
        for (CControlUI* child : PaintOrder()) {
            if (child->IsVisible()) child->DoPaint(renderContext, paintRect);
        }
        if (engine) engine->PopClip();
    }
    // The frame goes over the children, so rows never hide it.
    if (engine) PaintBorder(*engine);
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const std::wstring n(name);
    RECT rc;
    long number = 0;
    if (n == L"inset") {
        if (ParseRectValue(value, rc)) SetInset(rc);
    } else if (n == L"childpadding") {
        if (ParseIntValue(value, number) && number >= 0) SetChildPadding(static_cast<int>(number));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
