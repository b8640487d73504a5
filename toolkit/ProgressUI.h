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

    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

private:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool horizontal_ = true;
    CStdString foreImage_;
};

}  // namespace DuiLib
