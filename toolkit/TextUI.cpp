#include "toolkit/TextUI.h"

#include <cwchar>

namespace DuiLib {

CTextUI::CTextUI() : CLabelUI(DT_LEFT | DT_TOP | DT_WORDBREAK) {}

const wchar_t* CTextUI::GetClass() const { return L"TextUI"; }

void* CTextUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Text") == 0) return this;
    return CLabelUI::GetInterface(name);
}

}  // namespace DuiLib
