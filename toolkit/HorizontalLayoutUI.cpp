#include "toolkit/HorizontalLayoutUI.h"

#include <cwchar>
#include <vector>

namespace DuiLib {

const wchar_t* CHorizontalLayoutUI::GetClass() const { return L"HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"HorizontalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::LayoutChildren(const RECT& inner) {
    std::vector<CControlUI*> stacked;
    long fixedTotal = 0;
    int shares = 0;
    for (auto& child : items_) {
        if (child->IsFloat() || !child->IsVisible()) continue;
        stacked.push_back(child.get());
        const RECT pad = child->GetPadding();
        fixedTotal += pad.left + pad.right + child->GetFixedWidth();
        if (child->GetFixedWidth() == 0) ++shares;
    }
    if (stacked.empty()) return;
    fixedTotal += static_cast<long>(GetChildPadding()) * static_cast<long>(stacked.size() - 1);
    long freeSpace = inner.Width() - fixedTotal;
    if (freeSpace < 0) freeSpace = 0;
    long x = inner.left;
    int shareIndex = 0;
    for (CControlUI* child : stacked) {
        const RECT pad = child->GetPadding();
        long width = child->GetFixedWidth();
        if (width == 0) {
            // The last sharing child takes the rounding remainder.
            width = (shareIndex + 1 == shares) ? freeSpace - (freeSpace / shares) * shareIndex : freeSpace / shares;
            ++shareIndex;
        }
        x += pad.left;
        const long top = inner.top + pad.top;
        const long bottom = child->GetFixedHeight() > 0 ? top + child->GetFixedHeight() : inner.bottom - pad.bottom;
        child->SetPos(RECT{x, top, x + width, bottom});
        x += width + pad.right + GetChildPadding();
    }
}

}  // namespace DuiLib
