#pragma once

// A text block: a label whose text wraps over several lines by default.
// The main window and the update pane never drag the window by it.

#include "toolkit/LabelUI.h"

namespace DuiLib {

class CTextUI : public CLabelUI {
public:
    CTextUI();
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
};

}  // namespace DuiLib
