#include "toolkit/ImageCache.h"

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

const wxGraphicsBitmap* CImageCache::Bitmap(const std::wstring& file, bool hasMask, DWORD mask, const RECT& source,
                                            SIZE size) {
    Entry& entry = Load(file, hasMask, mask);
    if (!entry.decoded) return nullptr;
    RECT part = source;
    if (part.Width() <= 0 || part.Height() <= 0) part = RECT{0, 0, entry.image.GetWidth(), entry.image.GetHeight()};
    if (part.left < 0 || part.top < 0 || part.right > entry.image.GetWidth() || part.bottom > entry.image.GetHeight()) {
        return nullptr;
    }
    if (size.cx <= 0 || size.cy <= 0) size = SIZE{part.Width(), part.Height()};
    const std::wstring key = std::to_wstring(part.left) + L"," + std::to_wstring(part.top) + L"," +
                             std::to_wstring(part.right) + L"," + std::to_wstring(part.bottom) + L" " +
                             std::to_wstring(size.cx) + L"x" + std::to_wstring(size.cy);
    auto it = entry.parts.find(key);
    if (it != entry.parts.end()) return &it->second;
    const bool whole = part.left == 0 && part.top == 0 && part.right == entry.image.GetWidth() &&
                       part.bottom == entry.image.GetHeight();
    wxImage piece = whole ? entry.image
                          : entry.image.GetSubImage(wxRect(static_cast<int>(part.left), static_cast<int>(part.top),
                                                           static_cast<int>(part.Width()),
                                                           static_cast<int>(part.Height())));
    if (size.cx != part.Width() || size.cy != part.Height()) {
        // Bilinear: skin pieces are stretched, mostly along one axis, where
        // it draws what bicubic does at a fraction of the cost, and the
        // first frame waits for every piece it shows.
        piece = piece.Scale(static_cast<int>(size.cx), static_cast<int>(size.cy), wxIMAGE_QUALITY_BILINEAR);
    }
    wxGraphicsRenderer* renderer = wxGraphicsRenderer::GetDefaultRenderer();
    auto [inserted, ok] = entry.parts.emplace(key, renderer->CreateBitmapFromImage(piece));
    (void)ok;
    return &inserted->second;
}

void CImageCache::Clear() { entries_.clear(); }

}  // namespace DuiLib
