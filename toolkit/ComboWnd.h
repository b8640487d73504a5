#pragma once

// The drop-down window of a combo: a borderless pop-up owned by the combo's
// window, just below the combo, listing copies of its choices. A row press
// selects the choice in the combo and closes the drop-down. The object
// frees itself with its window.

#include <memory>

#include "toolkit/Notify.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/WindowWnd.h"

namespace DuiLib {

class CComboUI;

class CComboWnd : public CWindowWnd, public INotifyUI {
public:
    // Creates and shows the drop-down for `owner`; null when the combo has
    // no window.
    static CComboWnd* Open(CComboUI* owner);
    // The combo is going away: forget it (its window will destroy this one).
    void DetachOwner() { owner_ = nullptr; }

    const wchar_t* GetWindowClassName() const override { return L"ComboWnd"; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hwnd) override;
    void Notify(TNotifyUI& msg) override;

private:
    explicit CComboWnd(CComboUI* owner) : owner_(owner) {}
    void BuildRows();

    CPaintManagerUI manager_;
    CComboUI* owner_;
};

}  // namespace DuiLib
