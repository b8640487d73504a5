#pragma once

// A button with a selected state. A click first delivers "click" (the
// handlers see the old state), then flips the selection; an option in a
// group is only ever selected by a click, and selecting it clears the other
// options of the same group in the same window.

#include "toolkit/ButtonUI.h"

namespace DuiLib {

class COptionUI : public CButtonUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    bool IsSelected() const { return selected_; }
    // Changes the state (and clears the group's others when selecting);
    // sends "selectchanged" when it changed and `sendNotify` is set.
    void Selected(bool selected, bool sendNotify = true);

    const CStdString& GetGroup() const { return group_; }
    void SetGroup(const wchar_t* group);
    const CStdString& GetSelectedImage() const { return selectedImage_; }
    void SetSelectedImage(const wchar_t* image);
    const CStdString& GetSelectedHotImage() const { return selectedHotImage_; }
    const CStdString& GetForeImage() const { return foreImage_; }
    DWORD GetSelectedTextColor() const { return selectedTextColor_; }
    DWORD GetSelectedBkColor() const { return selectedBkColor_; }

    bool Activate() override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    void PaintBkColor(CRenderEngine& engine) override;
    void PaintStatusImage(CRenderEngine& engine) override;
    DWORD CurrentTextColor() const override;

private:
    void ClearGroupOthers();

    bool selected_ = false;
    CStdString group_;
    CStdString selectedImage_;
    CStdString selectedHotImage_;
    CStdString foreImage_;
    DWORD selectedTextColor_ = 0;
    DWORD selectedBkColor_ = 0;
};

}  // namespace DuiLib
