#pragma once

// A control showing one text with a font, colours and alignment.

#include "toolkit/ControlUI.h"

namespace DuiLib {

// Text layout flags, combined in GetTextStyle.
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;

class CLabelUI : public CControlUI {
public:
    CLabelUI();
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    int GetFont() const { return font_; }  // index of a <Font> of the window
    void SetFont(int index);
    DWORD GetTextColor() const { return textColor_; }
    void SetTextColor(DWORD color);
    DWORD GetDisabledTextColor() const { return disabledTextColor_; }
    void SetDisabledTextColor(DWORD color);
    UINT GetTextStyle() const { return textStyle_; }  // DT_* flags
    void SetTextStyle(UINT style);
    RECT GetTextPadding() const { return textPadding_; }
    void SetTextPadding(RECT padding);

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    explicit CLabelUI(UINT defaultStyle);
    void PaintText(CRenderEngine& engine) override;
    // The colour the text is drawn in now (subclasses add their states).
    virtual DWORD CurrentTextColor() const;
    // Draws the text inside the control less `padding`.
    void PaintTextIn(CRenderEngine& engine, DWORD color, int font, const RECT& padding, UINT style);

private:
    int font_ = 0;
    DWORD textColor_ = 0xFF000000;
    DWORD disabledTextColor_ = 0xFF000000;
    UINT textStyle_;
    RECT textPadding_;
};

}  // namespace DuiLib
