#include "toolkit/HorizontalLayoutUI.h"

#include <cwchar>

namespace DuiLib {

const wchar_t* CHorizontalLayoutUI::GetClass() const { return L"HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"HorizontalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::LayoutChildren(const RECT& inner) { StackChildren(inner, false); }

}  // namespace DuiLib
