#pragma once

// One text row of a list (or of a combo's drop-down). A left press on it
// goes to its event source (`OnEvent`) first; then the row sends
// "itemclick" (sender: the row) and its list selects it.

#include "toolkit/LabelUI.h"

namespace DuiLib {

class CListUI;

class CListLabelElementUI : public CLabelUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    // The list holding the row, or null.
    CListUI* GetOwnerList() const;
    int GetIndex() const;  // -1 outside a container
    bool IsSelected() const;
    bool Select();  // through the list; false outside one

    void DoEvent(TEventUI& event) override;

protected:
    // Rows take their colours from their list: hover and selection
    // backgrounds, and the list's item text colour.
    void PaintBkColor(CRenderEngine& engine) override;
    void PaintText(CRenderEngine& engine) override;
    DWORD CurrentTextColor() const override;
};

}  // namespace DuiLib
