#include "toolkit/ImageCache.h"

#include <gtest/gtest.h>

#include <wx/image.h>
#include <wx/mstream.h>

#include <string>

#include "support/TempDir.h"
#include "toolkit/ProgressUI.h"
#include "toolkit/UIResources.h"

namespace {

using DuiLib::CImageCache;
using DuiLib::UIResources;

// A 4x2 picture: left half red, right half magenta; PNG with alpha 128 in
// the bottom row, or JPEG (no alpha), encoded in memory.
std::string Encode(wxBitmapType type) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxInitAllImageHandlers();
    wxImage image(4, 2);
    if (type == wxBITMAP_TYPE_PNG) image.InitAlpha();
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            image.SetRGB(x, y, 255, 0, x < 2 ? 0 : 255);
            if (image.HasAlpha()) image.SetAlpha(x, y, y == 0 ? 255 : 128);
        }
    }
    wxMemoryOutputStream out;
    EXPECT_TRUE(image.SaveFile(out, type));
    std::string bytes(out.GetSize(), '\0');
    out.CopyTo(bytes.data(), bytes.size());
    return bytes;
}

class ImageCacheTest : public testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteFileBytes(dir_ / "a.png", Encode(wxBITMAP_TYPE_PNG));
        testsupport::WriteFileBytes(dir_ / "b.jpg", Encode(wxBITMAP_TYPE_JPEG));
        testsupport::WriteFileBytes(dir_ / "broken.png", "\x89PNG not really");
        UIResources::SetResourcePath(dir_.Path().wstring());
        UIResources::SetResourceZip(L"");
        CImageCache::Instance().Clear();
    }
    void TearDown() override {
        CImageCache::Instance().Clear();
        UIResources::SetResourcePath(L"");
    }
    testsupport::TempDir dir_;
};

TEST_F(ImageCacheTest, PngKeepsItsAlphaAndIsDecodedOnce) {
    const wxImage* first = CImageCache::Instance().Image(L"a.png", false, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetWidth(), 4);
    ASSERT_TRUE(first->HasAlpha());
    EXPECT_EQ(first->GetAlpha(0, 0), 255);
    EXPECT_EQ(first->GetAlpha(0, 1), 128);
    // Gone from the disk, still there: decoded once and kept.
    std::filesystem::remove(dir_ / "a.png");
    EXPECT_EQ(CImageCache::Instance().Image(L"a.png", false, 0), first);
    EXPECT_EQ(CImageCache::Instance().Count(), 1u);
}

TEST_F(ImageCacheTest, MaskColourBecomesTransparentAndIsCachedApart) {
    // JPEG carries no alpha; the mask gives it one. Magenta after JPEG
    // compression is not exact, so the mask is tested on the PNG.
    const wxImage* jpeg = CImageCache::Instance().Image(L"b.jpg", false, 0);
    ASSERT_NE(jpeg, nullptr);
    EXPECT_FALSE(jpeg->HasAlpha());
    const wxImage* masked = CImageCache::Instance().Image(L"a.png", true, 0xFFFF00FF);
    ASSERT_NE(masked, nullptr);
    EXPECT_EQ(masked->GetAlpha(3, 0), 0) << "magenta is cut out";
    EXPECT_EQ(masked->GetAlpha(0, 0), 255) << "red stays";
    const wxImage* plain = CImageCache::Instance().Image(L"a.png", false, 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain, masked);
    EXPECT_EQ(plain->GetAlpha(3, 0), 255);
}

TEST_F(ImageCacheTest, MissingAndUndecodableImagesAreNullAndRemembered) {
    for (const wchar_t* name : {L"nothere.png", L"broken.png", L""}) {
        EXPECT_EQ(CImageCache::Instance().Image(name, false, 0), nullptr);
    }
    // A file that appears later is not read: the failure was remembered.
    testsupport::WriteFileBytes(dir_ / "nothere.png", Encode(wxBITMAP_TYPE_PNG));
    EXPECT_EQ(CImageCache::Instance().Image(L"nothere.png", false, 0), nullptr);
}

TEST(ProgressFillTest, FilledPartFollowsValueRangeAndDirection) {
    struct Case {
        int min, max, value;
        bool horizontal;
        RECT expected;
    };
    const Case cases[] = {
        {0, 100, 50, true, RECT{10, 20, 110, 40}},
        {0, 100, 0, true, RECT{10, 20, 10, 40}},
        {0, 100, 150, true, RECT{10, 20, 210, 40}},  // clamped to max
        {50, 150, 100, true, RECT{10, 20, 110, 40}},
        {0, 100, 25, false, RECT{10, 35, 210, 40}},  // bottom to top
        {5, 5, 5, true, RECT{10, 20, 10, 40}},       // empty range: nothing filled
    };
    for (const Case& c : cases) {
        DuiLib::CProgressUI bar;
        bar.SetAttribute(L"hor", c.horizontal ? L"true" : L"false");
        bar.SetMinValue(c.min);
        bar.SetMaxValue(c.max);
        bar.SetValue(c.value);
        bar.SetPos(RECT{10, 20, 210, 40});
        const RECT filled = bar.GetFilledRect();
        EXPECT_TRUE(filled == c.expected) << c.min << ".." << c.max << " value " << c.value << ": got " << filled.left
                                          << "," << filled.top << "," << filled.right << "," << filled.bottom;
    }
}

}  // namespace
