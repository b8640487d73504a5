#pragma once

// A label that reacts to the mouse: hot while the pointer is over it,
// pushed while the left button went down on it and the pointer stays over
// it, and "click" when the button is released over it.

#include "toolkit/LabelUI.h"

namespace DuiLib {

class CButtonUI : public CLabelUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    // Sends "click" as if the player had clicked; false when disabled or
    // when the control did not survive the notification.
    virtual bool Activate();

    bool IsPushed() const { return pushed_; }

    const CStdString& GetNormalImage() const { return normalImage_; }
    void SetNormalImage(const wchar_t* image);
    const CStdString& GetHotImage() const { return hotImage_; }
    void SetHotImage(const wchar_t* image);
    const CStdString& GetPushedImage() const { return pushedImage_; }
    void SetPushedImage(const wchar_t* image);
    const CStdString& GetDisabledImage() const { return disabledImage_; }
    void SetDisabledImage(const wchar_t* image);
    const CStdString& GetFocusedImage() const { return focusedImage_; }
    DWORD GetHotTextColor() const { return hotTextColor_; }
    DWORD GetPushedTextColor() const { return pushedTextColor_; }
    DWORD GetHotBkColor() const { return hotBkColor_; }

    void SetEnabled(bool enabled = true) override;
    void SetVisible(bool visible = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    void PaintBkColor(CRenderEngine& engine) override;
    void PaintStatusImage(CRenderEngine& engine) override;
    DWORD CurrentTextColor() const override;

private:
    void ClearStates();

    bool pushed_ = false;
    bool captured_ = false;
    CStdString normalImage_;
    CStdString hotImage_;
    CStdString pushedImage_;
    CStdString disabledImage_;
    CStdString focusedImage_;
    DWORD hotTextColor_ = 0;
    DWORD pushedTextColor_ = 0;
    DWORD hotBkColor_ = 0;
};

}  // namespace DuiLib
