#pragma once

// A bar showing `value` between `min` and `max` (default 0, 100, 0). The
// value reads back clamped to the range (so attribute order does not
// matter); the range never inverts.

#include "toolkit/LabelUI.h"

namespace DuiLib {

class CProgressUI : public CLabelUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    int GetMinValue() const { return min_; }
    void SetMinValue(int value);  // raises max when needed
    int GetMaxValue() const { return max_; }
    void SetMaxValue(int value);  // lowers min when needed
    int GetValue() const;  // the value set, clamped to [min, max]
    void SetValue(int value);
    bool IsHorizontal() const { return horizontal_; }
    const CStdString& GetForeImage() const { return foreImage_; }
    void SetForeImage(const wchar_t* image);
    // Fill colour of the done part, used when there is no fore image.
    DWORD GetForeColor() const { return foreColor_; }
    void SetForeColor(DWORD color);
    // The done part of the bar in client coordinates (empty at the minimum).
    RECT GetFilledRect() const;

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    void PaintStatusImage(CRenderEngine& engine) override;

private:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool horizontal_ = true;
    CStdString foreImage_;
    DWORD foreColor_ = 0;
};

}  // namespace DuiLib
