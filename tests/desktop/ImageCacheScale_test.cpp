#include <gtest/gtest.h>

#include <wx/graphics.h>
#include <wx/image.h>

#include <string>

#include "support/TempDir.h"
#include "toolkit/ImageCache.h"
#include "toolkit/UIResources.h"

// Which picture the image cache cuts a slice from at scale 2: the skin's
// @2x variant where it has a usable one, the 1x picture scaled up otherwise.

namespace {

// A picture of `size` x `size` pixels: left half `left`, right half `right`.
void WritePicture(const std::filesystem::path& file, int size, long left, long right) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxInitAllImageHandlers();
    wxImage image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const long c = x < size / 2 ? left : right;
            image.SetRGB(x, y, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
        }
    }
    ASSERT_TRUE(image.SaveFile(wxString(file.string()), wxBITMAP_TYPE_PNG));
}

long Rgb(const wxImage& image, int x, int y) {
    return (static_cast<long>(image.GetRed(x, y)) << 16) | (image.GetGreen(x, y) << 8) | image.GetBlue(x, y);
}

TEST(ImageCacheScaleTest, SlicesComeFromTheVariantForTheScaleOnlyWhenItFits) {
    constexpr long kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;
    struct Case {
        const char* what;
        int variantSize;  // 0: no @2x picture
        int scale;
        long left, right;  // the slice's leftmost and rightmost device pixels
    } const cases[] = {
        {"variant of twice the size", 8, 2, kGreen, kWhite},
        {"no variant", 0, 2, kRed, kBlue},
        {"variant of the wrong size", 6, 2, kRed, kBlue},
        {"scale 1 keeps the 1x picture", 8, 1, kRed, kBlue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        WritePicture(dir / "face.png", 4, kRed, kBlue);
        if (c.variantSize > 0) WritePicture(dir / "face@2x.png", c.variantSize, kGreen, kWhite);
        DuiLib::UIResources::SetResourcePath(dir.Path().wstring());
        DuiLib::UIResources::SetResourceZip(L"");
        auto& cache = DuiLib::CImageCache::Instance();
        cache.Clear();
        // The middle two columns of the 1x picture, one of each colour, at
        // the device size of the scale: a slice whose neighbours differ.
        const RECT middle{1, 0, 3, 4};
        const SIZE device{2 * c.scale, 4 * c.scale};
        const wxGraphicsBitmap* bitmap = cache.Bitmap(L"face.png", false, 0, middle, device, c.scale);
        ASSERT_NE(bitmap, nullptr);
        const wxImage slice = bitmap->ConvertToImage();
        ASSERT_EQ(slice.GetWidth(), device.cx);
        ASSERT_EQ(slice.GetHeight(), device.cy);
        // The outermost pixels keep the slice's own colours: nothing is
        // taken in from beyond the slice (a seam).
        for (int y : {0, static_cast<int>(device.cy) - 1}) {
            EXPECT_EQ(Rgb(slice, 0, y), c.left) << "row " << y;
            EXPECT_EQ(Rgb(slice, static_cast<int>(device.cx) - 1, y), c.right) << "row " << y;
        }
    }
    DuiLib::CImageCache::Instance().Clear();
    DuiLib::UIResources::SetResourcePath(L"");
}

TEST(ImageCacheScaleTest, VariantNameGoesBeforeTheExtension) {
    EXPECT_EQ(DuiLib::CImageCache::ScaledName(L"images/bg.png", 2), L"images/bg@2x.png");
    EXPECT_EQ(DuiLib::CImageCache::ScaledName(L"a.b/face", 2), L"a.b/face@2x");
}

}  // namespace
