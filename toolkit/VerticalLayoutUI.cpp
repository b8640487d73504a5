#include "toolkit/VerticalLayoutUI.h"

#include <cwchar>

namespace DuiLib {

const wchar_t* CVerticalLayoutUI::GetClass() const { return L"VerticalLayoutUI"; }

void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"VerticalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::LayoutChildren(const RECT& inner) { StackChildren(inner, true); }

}  // namespace DuiLib
