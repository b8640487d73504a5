#include "toolkit/RenderEngine.h"

#include <wx/dc.h>
#include <wx/graphics.h>

#include <algorithm>
#include <cmath>

#include "toolkit/AttributeValue.h"
#include "toolkit/ImageCache.h"
#include "toolkit/TextPainter.h"

namespace DuiLib {
namespace {

wxColour ToColour(DWORD argb) {
    return wxColour(static_cast<unsigned char>((argb >> 16) & 0xFF), static_cast<unsigned char>((argb >> 8) & 0xFF),
                    static_cast<unsigned char>(argb & 0xFF), static_cast<unsigned char>((argb >> 24) & 0xFF));
}

bool Visible(DWORD argb) { return (argb >> 24) != 0; }

RECT Intersection(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

}  // namespace

bool RectsIntersect(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

const wchar_t* CRenderEngine::DefaultFaceName() { return L"WenQuanYi Micro Hei"; }

CRenderEngine::CRenderEngine(wxDC& dc, const RECT& clip) {
    gc_.reset(wxGraphicsContext::CreateFromUnknownDC(dc));
    // GTK scales whole numbers only; images are cut for that many device
    // pixels per unit so they draw pixel for pixel.
    scale_ = std::max(1, static_cast<int>(std::lround(dc.GetContentScaleFactor())));
    clips_[0] = clip;
    if (!gc_) return;
    gc_->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    gc_->SetInterpolationQuality(wxINTERPOLATION_GOOD);
    gc_->PushState();
    gc_->Clip(static_cast<double>(clip.left), static_cast<double>(clip.top), static_cast<double>(clip.Width()),
              static_cast<double>(clip.Height()));
}

CRenderEngine::~CRenderEngine() {
    if (gc_) gc_->PopState();
}

void CRenderEngine::PushClip(const RECT& rc) {
    if (depth_ == kMaxDepth) {
        ++overflow_;
        return;
    }
    const RECT narrowed = Intersection(clips_[depth_], rc);
    clips_[++depth_] = narrowed;
    if (!gc_) return;
    // A nested state keeps the outer clip; Clip intersects with it.
    gc_->PushState();
    gc_->Clip(static_cast<double>(narrowed.left), static_cast<double>(narrowed.top),
              static_cast<double>(narrowed.Width()), static_cast<double>(narrowed.Height()));
}

void CRenderEngine::PopClip() {
    if (overflow_ > 0) {
        --overflow_;
        return;
    }
    if (depth_ == 0) return;
    --depth_;
    if (gc_) gc_->PopState();
}

void CRenderEngine::FillRect(const RECT& rc, DWORD color) {
    if (!gc_ || !Visible(color) || !RectsIntersect(rc, GetClip())) return;
    gc_->SetPen(*wxTRANSPARENT_PEN);
    gc_->SetBrush(wxBrush(ToColour(color)));
    gc_->DrawRectangle(static_cast<double>(rc.left), static_cast<double>(rc.top), static_cast<double>(rc.Width()),
                       static_cast<double>(rc.Height()));
}

void CRenderEngine::FillGradient(const RECT& rc, DWORD top, DWORD bottom) {
    if (!gc_ || !RectsIntersect(rc, GetClip())) return;
    if (!Visible(top) && !Visible(bottom)) return;
    gc_->SetPen(*wxTRANSPARENT_PEN);
    gc_->SetBrush(gc_->CreateLinearGradientBrush(0, static_cast<double>(rc.top), 0, static_cast<double>(rc.bottom),
                                                 ToColour(top), ToColour(bottom)));
    gc_->DrawRectangle(static_cast<double>(rc.left), static_cast<double>(rc.top), static_cast<double>(rc.Width()),
                       static_cast<double>(rc.Height()));
}

void CRenderEngine::DrawBorder(const RECT& rc, int size, DWORD color) {
    if (!gc_ || size <= 0 || !Visible(color)) return;
    // Drawn inside the rectangle, as four bands, so neighbours never overlap.
    const long s = std::min<long>(size, std::min(rc.Width(), rc.Height()) / 2 + 1);
    FillRect(RECT{rc.left, rc.top, rc.right, rc.top + s}, color);
    FillRect(RECT{rc.left, rc.bottom - s, rc.right, rc.bottom}, color);
    FillRect(RECT{rc.left, rc.top + s, rc.left + s, rc.bottom - s}, color);
    FillRect(RECT{rc.right - s, rc.top + s, rc.right, rc.bottom - s}, color);
}

bool CRenderEngine::DrawImage(const RECT& rc, const std::wstring& imageValue) {
    ImageSpec parsed;
    if (imageValue.empty() || !ParseImageValue(imageValue.c_str(), parsed)) return false;
    CImageCache& cache = CImageCache::Instance();
    const wxImage* image = cache.Image(parsed.file, parsed.hasMask, parsed.mask);
    if (!image) return false;
    RECT src = parsed.hasSource ? parsed.source : RECT{0, 0, image->GetWidth(), image->GetHeight()};
    src = Intersection(src, RECT{0, 0, image->GetWidth(), image->GetHeight()});
    if (src.Width() <= 0 || src.Height() <= 0) return false;
    RECT dst = rc;
    if (parsed.hasDest) {
        dst = RECT{rc.left + parsed.dest.left, rc.top + parsed.dest.top, rc.left + parsed.dest.right,
                   rc.top + parsed.dest.bottom};
    }
    if (!gc_ || dst.Width() <= 0 || dst.Height() <= 0 || !RectsIntersect(dst, GetClip())) return true;

    // Nine-patch: corners keep their size, edges stretch one way, the middle
    // both ways. Margins larger than the image or the destination shrink.
    const RECT& c = parsed.corner;
    const long l = std::clamp<long>(c.left, 0, std::min(src.Width(), dst.Width()) / 2);
    const long r = std::clamp<long>(c.right, 0, std::min(src.Width(), dst.Width()) - l);
    const long t = std::clamp<long>(c.top, 0, std::min(src.Height(), dst.Height()) / 2);
    const long b = std::clamp<long>(c.bottom, 0, std::min(src.Height(), dst.Height()) - t);
    const long sx[4] = {src.left, src.left + l, src.right - r, src.right};
    const long sy[4] = {src.top, src.top + t, src.bottom - b, src.bottom};
    const long dx[4] = {dst.left, dst.left + l, dst.right - r, dst.right};
    const long dy[4] = {dst.top, dst.top + t, dst.bottom - b, dst.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const RECT part{sx[col], sy[row], sx[col + 1], sy[row + 1]};
            const RECT to{dx[col], dy[row], dx[col + 1], dy[row + 1]};
            if (part.Width() <= 0 || part.Height() <= 0 || to.Width() <= 0 || to.Height() <= 0) continue;
            if (!RectsIntersect(to, GetClip())) continue;
            // Each slice is made at its device size from its own source
            // rectangle, so the context draws it unscaled: scaling it there
            // would sample past the slice's edge and show a seam.
            const wxGraphicsBitmap* bitmap = cache.Bitmap(parsed.file, parsed.hasMask, parsed.mask, part,
                                                          SIZE{to.Width() * scale_, to.Height() * scale_}, scale_);
            if (!bitmap) continue;
            gc_->DrawBitmap(*bitmap, static_cast<double>(to.left), static_cast<double>(to.top),
                            static_cast<double>(to.Width()), static_cast<double>(to.Height()));
        }
    }
    return true;
}

void CRenderEngine::DrawText(const RECT& rc, const std::wstring& text, const TFontInfo* font, DWORD color,
                             UINT style) {
    if (!gc_ || text.empty() || !Visible(color) || rc.Width() <= 0 || rc.Height() <= 0) return;
    if (!RectsIntersect(rc, GetClip())) return;
    PushClip(rc);
    TextPainter painter(*gc_, font, ToColour(color));
    painter.Draw(rc, text, style);
    PopClip();
}

}  // namespace DuiLib
