#pragma once

// A drop-down choice. Its children are the choices (CListLabelElementUI),
// kept out of the window's layout; a press on the combo opens a drop-down
// window listing them, and picking a row selects it: the combo then sends
// "itemselect" (wParam the new index, lParam the old one). GetText is the
// selected choice's text. A press elsewhere in the combo's window, or the
// window moving or resizing, closes the drop-down unchanged.

#include "toolkit/ContainerUI.h"
#include "toolkit/Notify.h"

namespace DuiLib {

class CComboWnd;

class CComboUI : public CContainerUI {
public:
    CComboUI() = default;
    ~CComboUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    CStdString GetText() const override;
    int GetCurSel() const;  // -1 when none
    // Selects choice `index` (-1 clears); false for an index out of range.
    bool SelectItem(int index, bool sendNotify = true);

    bool Remove(CControlUI* control) override;
    void RemoveAll() override;

    // The drop-down: opened by a press, closed by a pick or a second press.
    bool IsDropDownOpen() const;
    void OpenDropDown();
    void CloseDropDown();
    HWND GetDropDownWindow() const;  // null while closed

    int GetItemHeight() const { return itemHeight_; }
    int GetDropBoxHeight() const { return dropBoxHeight_; }  // 0: fit up to 10 rows
    DWORD GetItemTextColor() const { return itemTextColor_; }
    DWORD GetItemHotBkColor() const { return itemHotBkColor_; }
    DWORD GetItemSelectedBkColor() const { return itemSelectedBkColor_; }
    const CStdString& GetNormalImage() const { return normalImage_; }
    const CStdString& GetHotImage() const { return hotImage_; }
    const CStdString& GetPushedImage() const { return pushedImage_; }
    const CStdString& GetDisabledImage() const { return disabledImage_; }
    int GetFont() const { return font_; }
    DWORD GetTextColor() const { return textColor_; }
    DWORD GetDisabledTextColor() const { return disabledTextColor_; }
    RECT GetTextPadding() const { return textPadding_; }

    void SetEnabled(bool enabled = true) override;
    void SetVisible(bool visible = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    bool ChildrenTakePart() const override { return false; }
    void PaintStatusImage(CRenderEngine& engine) override;
    void PaintText(CRenderEngine& engine) override;

private:
    friend class CComboWnd;
    // Watches the combo's window while the drop-down is open.
    class DismissFilter : public IMessageFilterUI {
    public:
        explicit DismissFilter(CComboUI& combo) : combo_(combo) {}
        LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    private:
        CComboUI& combo_;
    };
    void DropDownGone();

    DismissFilter dismiss_{*this};

    int curSel_ = -1;
    CComboWnd* dropDown_ = nullptr;  // frees itself with its window
    int itemHeight_ = 22;
    int dropBoxHeight_ = 0;
    DWORD itemTextColor_ = 0xFF000000;
    DWORD itemHotBkColor_ = 0;
    DWORD itemSelectedBkColor_ = 0;
    CStdString normalImage_;
    CStdString hotImage_;
    CStdString pushedImage_;
    CStdString disabledImage_;
    int font_ = 0;
    DWORD textColor_ = 0xFF000000;
    DWORD disabledTextColor_ = 0xFF000000;
    RECT textPadding_;
};

}  // namespace DuiLib
