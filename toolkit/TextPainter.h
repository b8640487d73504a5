#pragma once

// Lays out and draws one text inside a rectangle: alignment, an ellipsis
// for a single line that does not fit, and wrapping for word-break text
// (between words, and between any two CJK characters). Also the font a
// skin's <Font> stands for. UI thread, during a paint.

#include <string>
#include <vector>

#include <wx/colour.h>
#include <wx/font.h>

#include "platform/WinTypes.h"

class wxGraphicsContext;

namespace DuiLib {

struct TFontInfo;

class TextPainter {
public:
    TextPainter(wxGraphicsContext& gc, const TFontInfo* font, const wxColour& colour);

    void Draw(const RECT& rc, const std::wstring& text, UINT style);

    // The text shortened with a trailing "…" to fit `width`.
    std::wstring Ellipsize(const std::wstring& text, double width) const;
    // Lines of `text` no wider than `width` (a word longer than the width
    // is cut between characters).
    std::vector<std::wstring> Wrap(const std::wstring& text, double width) const;

    // The wx font for a skin font (null: the default face, 12 pixels).
    // Fonts are cached by their description.
    static wxFont FontFor(const TFontInfo* font);

private:
    double Width(const std::wstring& text) const;

    wxGraphicsContext& gc_;
};

}  // namespace DuiLib
