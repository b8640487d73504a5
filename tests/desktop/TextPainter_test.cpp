#include "toolkit/TextPainter.h"

#include <gtest/gtest.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>

#include <memory>

#include "toolkit/PaintManagerUI.h"

namespace {

using DuiLib::TextPainter;

class TextPainterTest : public testing::Test {
protected:
    void SetUp() override {
        dc_.SelectObject(bitmap_);
        gc_.reset(wxGraphicsContext::Create(dc_));
        ASSERT_NE(gc_, nullptr);
        font_.size = 14;
    }
    double Width(const std::wstring& text) {
        double w = 0, h = 0;
        gc_->GetTextExtent(wxString(text), &w, &h);
        return w;
    }

    wxBitmap bitmap_{64, 64, 24};
    wxMemoryDC dc_;
    std::unique_ptr<wxGraphicsContext> gc_;
    DuiLib::TFontInfo font_;
};

TEST_F(TextPainterTest, EllipsisKeepsWhatFitsAndShortTextWhole) {
    TextPainter painter(*gc_, &font_, *wxWHITE);
    const std::wstring name = L"长安古道（爆满）服务器 Tarno";
    EXPECT_EQ(painter.Ellipsize(L"青龙殿", 200), L"青龙殿");
    for (const double width : {40.0, 80.0, 120.0}) {
        const std::wstring cut = painter.Ellipsize(name, width);
        ASSERT_FALSE(cut.empty()) << width;
        EXPECT_EQ(cut.back(), L'\u2026') << width;
        EXPECT_LE(Width(cut), width) << "fits in " << width;
        EXPECT_EQ(name.compare(0, cut.size() - 1, cut, 0, cut.size() - 1), 0) << "a prefix of the name";
        // One more character would not have fitted.
        EXPECT_GT(Width(name.substr(0, cut.size()) + L"\u2026"), width);
    }
    EXPECT_EQ(painter.Ellipsize(name, 3), L"") << "not even the ellipsis fits";
}

TEST_F(TextPainterTest, WrapBreaksAtBlanksAndBetweenChineseCharacters) {
    TextPainter painter(*gc_, &font_, *wxWHITE);
    const double width = Width(L"update ready");
    const auto latin = painter.Wrap(L"update ready to install now", width);
    ASSERT_GE(latin.size(), 2u);
    EXPECT_EQ(latin[0], L"update ready");
    for (const auto& line : latin) {
        EXPECT_LE(Width(line), width + 0.5);
        EXPECT_TRUE(line.empty() || (line.front() != L' ' && line.back() != L' '));
    }
    const std::wstring chinese = L"更新完成后请重新启动游戏客户端";
    const auto lines = painter.Wrap(chinese, Width(L"更新完成后"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"更新完成后");
    EXPECT_EQ(lines[0] + lines[1] + lines[2], chinese) << "no character lost";
    const auto paragraphs = painter.Wrap(L"第一行\n第二行", 500);
    EXPECT_EQ(paragraphs, (std::vector<std::wstring>{L"第一行", L"第二行"}));
    // A word wider than the line is cut between characters, never looped on.
    const auto cut = painter.Wrap(L"Supercalifragilistic", Width(L"Super"));
    ASSERT_GE(cut.size(), 3u);
    std::wstring joined;
    for (const auto& part : cut) joined += part;
    EXPECT_EQ(joined, L"Supercalifragilistic");
}

TEST_F(TextPainterTest, SkinFontsMapToPixelSizedFacesWithADefault) {
    const wxFont fallback = TextPainter::FontFor(nullptr);
    EXPECT_EQ(fallback.GetFaceName(), "WenQuanYi Micro Hei");
    EXPECT_EQ(fallback.GetPixelSize().GetHeight(), 12);
    DuiLib::TFontInfo bold;
    bold.faceName = L"WenQuanYi Micro Hei";
    bold.size = 24;
    bold.bold = true;
    const wxFont big = TextPainter::FontFor(&bold);
    EXPECT_EQ(big.GetPixelSize().GetHeight(), 24);
    EXPECT_EQ(big.GetWeight(), wxFONTWEIGHT_BOLD);
}

}  // namespace
