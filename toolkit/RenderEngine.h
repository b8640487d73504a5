#pragma once

// The drawing surface the controls paint on: fills, gradients, borders,
// skin images (with a source part, nine-patch corners and a destination)
// and text, on a wxGraphicsContext over a DC. Every operation is clipped to
// the box being repainted, so a paint touches only invalidated pixels.
//
// UI thread only; one engine lives for one paint.

#include <memory>
#include <string>

#include "platform/WinTypes.h"

class wxDC;
class wxGraphicsContext;

namespace DuiLib {

struct TFontInfo;

class CRenderEngine {
public:
    // Draws on `dc`, clipped to `clip` (client coordinates). IsValid is
    // false when wx cannot make a graphics context for the DC.
    CRenderEngine(wxDC& dc, const RECT& clip);
    ~CRenderEngine();
    CRenderEngine(const CRenderEngine&) = delete;
    CRenderEngine& operator=(const CRenderEngine&) = delete;

    bool IsValid() const { return gc_ != nullptr; }
    const RECT& GetClip() const { return clips_[depth_]; }
    // Narrows the clip to `rc` until the matching PopClip.
    void PushClip(const RECT& rc);
    void PopClip();

    // ARGB colours; a colour with alpha 0 draws nothing.
    void FillRect(const RECT& rc, DWORD color);
    // Vertical gradient from `top` to `bottom`.
    void FillGradient(const RECT& rc, DWORD top, DWORD bottom);
    void DrawBorder(const RECT& rc, int size, DWORD color);
    // Draws an image attribute value inside `rc`; false when the value is
    // malformed or the image missing (nothing is drawn then).
    bool DrawImage(const RECT& rc, const std::wstring& imageValue);
    // Draws `text` inside `rc` with the DT_* `style`. Null `font` uses the
    // default font.
    void DrawText(const RECT& rc, const std::wstring& text, const TFontInfo* font, DWORD color, UINT style);

    // The typeface used when a skin names none: a CJK-capable face.
    static const wchar_t* DefaultFaceName();

    wxGraphicsContext* Context() { return gc_.get(); }
    // Device pixels per client unit of the DC: 2 where GTK runs at scale 2.
    int Scale() const { return scale_; }

private:
    std::unique_ptr<wxGraphicsContext> gc_;
    int scale_ = 1;
    static constexpr int kMaxDepth = 64;
    RECT clips_[kMaxDepth + 1];
    int depth_ = 0;
    int overflow_ = 0;  // pushes beyond kMaxDepth, popped without effect
};

// Whether two rectangles share at least one pixel.
bool RectsIntersect(const RECT& a, const RECT& b);

}  // namespace DuiLib
