#pragma once

// A vertical list of rows (usually CListLabelElementUI). Rows are stacked
// at their fixed height or the list's item height; the wheel scrolls by one
// row. The list remembers one selected row and sends "itemselect" (wParam
// the new index, lParam the old one) when the selection changes.

#include "toolkit/VerticalLayoutUI.h"

namespace DuiLib {

class CListUI : public CVerticalLayoutUI {
public:
    CListUI();
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    bool Remove(CControlUI* control) override;
    void RemoveAll() override;

    int GetCurSel() const { return curSel_; }
    // Selects row `index` (-1 clears); false for an index out of range.
    bool SelectItem(int index, bool sendNotify = true);

    int GetItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);
    DWORD GetItemTextColor() const { return itemTextColor_; }
    DWORD GetItemHotBkColor() const { return itemHotBkColor_; }
    DWORD GetItemSelectedBkColor() const { return itemSelectedBkColor_; }
    void SetItemColors(DWORD text, DWORD hotBk, DWORD selectedBk);
    // How rows draw their text: font number (-1: each row's own), padding
    // and DT_* style (default left, vertically centred, one line, ellipsis).
    int GetItemFont() const { return itemFont_; }
    void SetItemFont(int font);
    RECT GetItemTextPadding() const { return itemTextPadding_; }
    void SetItemTextPadding(RECT padding);
    UINT GetItemTextStyle() const { return itemTextStyle_; }

    int GetScrollPos() const { return scrollPos_; }
    void SetScrollPos(int pos);  // clamped to the rows' extent
    int GetContentHeight() const;  // all visible rows stacked

    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    void LayoutChildren(const RECT& inner) override;

private:
    int RowHeight(const CControlUI* row) const;

    int curSel_ = -1;
    int itemHeight_ = 22;
    int scrollPos_ = 0;
    DWORD itemTextColor_ = 0xFF000000;
    DWORD itemHotBkColor_ = 0;
    DWORD itemSelectedBkColor_ = 0;
    int itemFont_ = -1;
    RECT itemTextPadding_;
    UINT itemTextStyle_;
};

}  // namespace DuiLib
