#pragma once

// Stacks its visible non-float children top to bottom. A child's height is
// its fixed height, or an equal share of the height left over by the fixed
// ones; its width is its fixed width or the full inner width. Padding is an
// outer margin; childpadding the gap between neighbours.

#include "toolkit/ContainerUI.h"

namespace DuiLib {

class CVerticalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

protected:
    void LayoutChildren(const RECT& inner) override;
};

}  // namespace DuiLib
