#pragma once

// Stacks its visible non-float children left to right; the mirror image of
// CVerticalLayoutUI (fixed or shared width, fixed or full height).

#include "toolkit/ContainerUI.h"

namespace DuiLib {

class CHorizontalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

protected:
    void LayoutChildren(const RECT& inner) override;
};

}  // namespace DuiLib
