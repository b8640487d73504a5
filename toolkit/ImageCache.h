#pragma once

// Decoded skin images. Each image resource (PNG or JPEG, from the skin
// archive or the resource folder) is decoded once, kept with its alpha, and
// handed out as drawing bitmaps; a resource that is missing or does not
// decode is remembered as such and never read again.
//
// UI thread only (wx bitmaps are not shared across threads). Needs the
// desktop backend's graphics renderer: drawing code calls it only while a
// paint is in progress or a preview renders.

#include <map>
#include <memory>
#include <string>

#include <wx/graphics.h>
#include <wx/image.h>

#include "platform/WinTypes.h"

namespace DuiLib {

class CImageCache {
public:
    static CImageCache& Instance();

    // The whole image `file` with `mask` (if set) turned transparent, or
    // null when it is missing or undecodable. Valid until Clear.
    const wxImage* Image(const std::wstring& file, bool hasMask, DWORD mask);
    // The part `source` (in the 1x image's pixels) of the image scaled to
    // `size` device pixels, as a bitmap for the default renderer; an empty
    // `source` means all of it, an empty `size` its own size times `scale`.
    // At a `scale` above 1 the part comes from the image's variant for that
    // scale (`name@2x.png` beside `name.png`) when the skin has one exactly
    // `scale` times as large, and from the 1x part scaled up otherwise. Each
    // part is cut out before it is scaled and kept per size, so drawing is
    // always pixel for pixel and never samples across a nine-patch slice's
    // edge. Null when the image is missing or `source` lies outside it.
    const wxGraphicsBitmap* Bitmap(const std::wstring& file, bool hasMask, DWORD mask, const RECT& source,
                                   SIZE size = SIZE{}, int scale = 1);
    // The name of `file`'s variant for `scale`: "a/b@2x.png" for "a/b.png".
    static std::wstring ScaledName(const std::wstring& file, int scale);

    // Forgets every decoded image (a new skin archive was chosen).
    void Clear();
    // Number of decoded images held, for tests and memory checks.
    std::size_t Count() const { return entries_.size(); }

private:
    struct Entry {
        bool decoded = false;
        wxImage image;
        std::map<std::wstring, wxGraphicsBitmap> parts;  // by "l,t,r,b wxh @scale"
    };
    Entry& Load(const std::wstring& file, bool hasMask, DWORD mask);

    std::map<std::wstring, std::unique_ptr<Entry>> entries_;
};

}  // namespace DuiLib
