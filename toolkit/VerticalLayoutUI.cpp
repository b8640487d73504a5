#include "toolkit/VerticalLayoutUI.h"

#include <cwchar>
#include <vector>

namespace DuiLib {

const wchar_t* CVerticalLayoutUI::GetClass() const { return L"VerticalLayoutUI"; }

void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"VerticalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::LayoutChildren(const RECT& inner) {
    std::vector<CControlUI*> stacked;
    long fixedTotal = 0;
    int shares = 0;
    for (auto& child : items_) {
        if (child->IsFloat() || !child->IsVisible()) continue;
        stacked.push_back(child.get());
        const RECT pad = child->GetPadding();
        fixedTotal += pad.top + pad.bottom + child->GetFixedHeight();
        if (child->GetFixedHeight() == 0) ++shares;
    }
    if (stacked.empty()) return;
    fixedTotal += static_cast<long>(GetChildPadding()) * static_cast<long>(stacked.size() - 1);
    long freeSpace = inner.Height() - fixedTotal;
    if (freeSpace < 0) freeSpace = 0;
    long y = inner.top;
    int shareIndex = 0;
    for (CControlUI* child : stacked) {
        const RECT pad = child->GetPadding();
        long height = child->GetFixedHeight();
        if (height == 0) {
            // The last sharing child takes the rounding remainder.
            height = (shareIndex + 1 == shares) ? freeSpace - (freeSpace / shares) * shareIndex : freeSpace / shares;
            ++shareIndex;
        }
        y += pad.top;
        const long left = inner.left + pad.left;
        const long right = child->GetFixedWidth() > 0 ? left + child->GetFixedWidth() : inner.right - pad.right;
        child->SetPos(RECT{left, y, right, y + height});
        y += height + pad.bottom + GetChildPadding();
    }
}

}  // namespace DuiLib
