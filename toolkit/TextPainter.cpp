#include "toolkit/TextPainter.h"

#include <wx/graphics.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "toolkit/LabelUI.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/RenderEngine.h"

namespace DuiLib {
namespace {

constexpr wchar_t kEllipsis[] = L"\u2026";

// Scripts written without spaces may break between any two characters.
bool BreaksAnywhere(wchar_t ch) {
    return (ch >= 0x2E80 && ch <= 0x9FFF) || (ch >= 0xAC00 && ch <= 0xD7AF) || (ch >= 0xF900 && ch <= 0xFAFF) ||
           (ch >= 0xFF00 && ch <= 0xFFEF);
}

}  // namespace

wxFont TextPainter::FontFor(const TFontInfo* font) {
    const std::wstring face = font && !font->faceName.IsEmpty() ? font->faceName.Str() : CRenderEngine::DefaultFaceName();
    const int size = font && font->size > 0 ? font->size : 12;
    const bool bold = font && font->bold;
    const bool italic = font && font->italic;
    const bool underline = font && font->underline;
    using Key = std::tuple<std::wstring, int, bool, bool, bool>;
    static std::map<Key, wxFont> cache;
    const Key key{face, size, bold, italic, underline};
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    // Skin sizes are pixel heights, as the skins were drawn on screens where
    // a point and a pixel differ.
    wxFont made(wxFontInfo(wxSize(0, size)).FaceName(face).Bold(bold).Italic(italic).Underlined(underline));
    cache.emplace(key, made);
    return made;
}

TextPainter::TextPainter(wxGraphicsContext& gc, const TFontInfo* font, const wxColour& colour) : gc_(gc) {
    gc_.SetFont(FontFor(font), colour);
}

double TextPainter::Width(const std::wstring& text) const {
    double w = 0;
    double h = 0;
    gc_.GetTextExtent(wxString(text), &w, &h);
    return w;
}

std::wstring TextPainter::Ellipsize(const std::wstring& text, double width) const {
    if (Width(text) <= width) return text;
    const double room = width - Width(kEllipsis);
    if (room <= 0) return std::wstring();
    wxArrayDouble ends;
    gc_.GetPartialTextExtents(wxString(text), ends);
    std::size_t keep = 0;
    while (keep < ends.size() && keep < text.size() && ends[keep] <= room) ++keep;
    return text.substr(0, keep) + kEllipsis;
}

std::vector<std::wstring> TextPainter::Wrap(const std::wstring& text, double width) const {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t newline = text.find(L'\n', start);
        if (newline == std::wstring::npos) newline = text.size();
        std::wstring paragraph = text.substr(start, newline - start);
        if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.pop_back();
        while (!paragraph.empty()) {
            wxArrayDouble ends;
            gc_.GetPartialTextExtents(wxString(paragraph), ends);
            std::size_t fit = 0;
            while (fit < paragraph.size() && fit < ends.size() && ends[fit] <= width) ++fit;
            if (fit >= paragraph.size()) {
                lines.push_back(paragraph);
                break;
            }
            // Break at the last blank or CJK character that still fits.
            std::size_t cut = fit;
            for (std::size_t i = fit; i > 0; --i) {
                if (paragraph[i] == L' ' || BreaksAnywhere(paragraph[i]) || BreaksAnywhere(paragraph[i - 1])) {
                    cut = i;
                    break;
                }
            }
            if (cut == 0) cut = std::max<std::size_t>(fit, 1);
            std::wstring line = paragraph.substr(0, cut);
            while (!line.empty() && line.back() == L' ') line.pop_back();
            lines.push_back(line);
            std::size_t next = cut;
            while (next < paragraph.size() && paragraph[next] == L' ') ++next;
            paragraph.erase(0, next);
        }
        if (paragraph.empty() && (newline == start)) lines.emplace_back();
        start = newline + 1;
    }
    return lines;
}

void TextPainter::Draw(const RECT& rc, const std::wstring& text, UINT style) {
    const double width = static_cast<double>(rc.Width());
    double lineWidth = 0;
    double lineHeight = 0;
    gc_.GetTextExtent(wxString(L"Ag\u4E2D"), &lineWidth, &lineHeight);
    std::vector<std::wstring> lines;
    if ((style & DT_WORDBREAK) && !(style & DT_SINGLELINE)) {
        lines = Wrap(text, width);
    } else {
        std::wstring single = text;
        std::replace(single.begin(), single.end(), L'\n', L' ');
        lines.push_back((style & DT_END_ELLIPSIS) ? Ellipsize(single, width) : single);
    }
    const double block = lineHeight * static_cast<double>(lines.size());
    double y = static_cast<double>(rc.top);
    if (style & DT_VCENTER) {
        y += (static_cast<double>(rc.Height()) - block) / 2;
    } else if (style & DT_BOTTOM) {
        y += static_cast<double>(rc.Height()) - block;
    }
    for (const auto& line : lines) {
        if (y > static_cast<double>(rc.bottom)) break;
        if (!line.empty()) {
            double x = static_cast<double>(rc.left);
            const double w = Width(line);
            if (style & DT_CENTER) {
                x += (width - w) / 2;
            } else if (style & DT_RIGHT) {
                x += width - w;
            }
            gc_.DrawText(wxString(line), std::floor(x), std::floor(y));
        }
        y += lineHeight;
    }
}

}  // namespace DuiLib
