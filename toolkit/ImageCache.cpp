#include "toolkit/ImageCache.h"

#include <algorithm>

#include <wx/log.h>
#include <wx/mstream.h>

#include "toolkit/UIResources.h"

namespace DuiLib {
namespace {

std::wstring KeyOf(const std::wstring& file, bool hasMask, DWORD mask) {
    std::wstring key = file;
    if (hasMask) key += L"|" + std::to_wstring(mask & 0x00FFFFFF);
    return key;
}

void ApplyMask(wxImage& image, DWORD mask) {
    if (!image.HasAlpha()) image.InitAlpha();
    const unsigned char r = (mask >> 16) & 0xFF;
    const unsigned char g = (mask >> 8) & 0xFF;
    const unsigned char b = mask & 0xFF;
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    const long pixels = static_cast<long>(image.GetWidth()) * image.GetHeight();
    for (long i = 0; i < pixels; ++i) {
        if (rgb[3 * i] == r && rgb[3 * i + 1] == g && rgb[3 * i + 2] == b) alpha[i] = 0;
    }
}

}  // namespace

CImageCache& CImageCache::Instance() {
    static CImageCache cache;
    return cache;
}

CImageCache::Entry& CImageCache::Load(const std::wstring& file, bool hasMask, DWORD mask) {
    auto& slot = entries_[KeyOf(file, hasMask, mask)];
    if (slot) return *slot;
    slot = std::make_unique<Entry>();
    std::string bytes;
    if (!UIResources::ReadResource(file, bytes) || bytes.empty()) return *slot;
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG) || !wxImage::FindHandler(wxBITMAP_TYPE_JPEG)) wxInitAllImageHandlers();
    // A damaged image is the skin's problem, not the player's: no dialog,
    // no log line per paint; the control simply shows no image.
    wxLogNull quiet;
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    if (!slot->image.LoadFile(stream, wxBITMAP_TYPE_ANY) || !slot->image.IsOk()) return *slot;
    if (hasMask) ApplyMask(slot->image, mask);
    slot->decoded = true;
    return *slot;
}

const wxImage* CImageCache::Image(const std::wstring& file, bool hasMask, DWORD mask) {
    Entry& entry = Load(file, hasMask, mask);
    return entry.decoded ? &entry.image : nullptr;
}

std::wstring CImageCache::ScaledName(const std::wstring& file, int scale) {
    const std::wstring suffix = L"@" + std::to_wstring(scale) + L"x";
    const std::size_t slash = file.find_last_of(L"/\\");
    const std::size_t dot = file.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return file + suffix;
    return file.substr(0, dot) + suffix + file.substr(dot);
}

const wxGraphicsBitmap* CImageCache::Bitmap(const std::wstring& file, bool hasMask, DWORD mask, const RECT& source,
                                            SIZE size, int scale) {
    Entry& entry = Load(file, hasMask, mask);
    if (!entry.decoded) return nullptr;
    scale = std::max(scale, 1);
    const int width = entry.image.GetWidth(), height = entry.image.GetHeight();
    RECT part = source;
    if (part.Width() <= 0 || part.Height() <= 0) part = RECT{0, 0, width, height};
    if (part.left < 0 || part.top < 0 || part.right > width || part.bottom > height) return nullptr;
    if (size.cx <= 0 || size.cy <= 0) size = SIZE{part.Width() * scale, part.Height() * scale};
    const std::wstring key = std::to_wstring(part.left) + L"," + std::to_wstring(part.top) + L"," +
                             std::to_wstring(part.right) + L"," + std::to_wstring(part.bottom) + L" " +
                             std::to_wstring(size.cx) + L"x" + std::to_wstring(size.cy) + L" @" +
                             std::to_wstring(scale);
    auto it = entry.parts.find(key);
    if (it != entry.parts.end()) return &it->second;

    // The variant counts only when it is exactly `scale` times the 1x image:
    // the skin's source rectangles and corners are given for the 1x one.
    const wxImage* from = &entry.image;
    RECT cut = part;
    if (scale > 1) {
        const Entry& big = Load(ScaledName(file, scale), hasMask, mask);
        if (big.decoded && big.image.GetWidth() == width * scale && big.image.GetHeight() == height * scale) {
            from = &big.image;
            cut = RECT{part.left * scale, part.top * scale, part.right * scale, part.bottom * scale};
        }
    }
    const bool whole = cut.left == 0 && cut.top == 0 && cut.right == from->GetWidth() && cut.bottom == from->GetHeight();
    wxImage piece = whole ? *from
                          : from->GetSubImage(wxRect(static_cast<int>(cut.left), static_cast<int>(cut.top),
                                                     static_cast<int>(cut.Width()), static_cast<int>(cut.Height())));
    if (size.cx != cut.Width() || size.cy != cut.Height()) {
        // Bilinear: skin pieces are stretched, mostly along one axis, where
        // it draws what bicubic does at a fraction of the cost, and the
        // first frame waits for every piece it shows. The piece is scaled
        // on its own, so its edges never take in a neighbouring slice.
        piece = piece.Scale(static_cast<int>(size.cx), static_cast<int>(size.cy), wxIMAGE_QUALITY_BILINEAR);
    }
    wxGraphicsRenderer* renderer = wxGraphicsRenderer::GetDefaultRenderer();
    auto [inserted, ok] = entry.parts.emplace(key, renderer->CreateBitmapFromImage(piece));
    (void)ok;
    return &inserted->second;
}

void CImageCache::Clear() { entries_.clear(); }

}  // namespace DuiLib
