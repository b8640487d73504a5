#include "toolkit/AttributeValue.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace DuiLib {
namespace {

TEST(AttributeValueTest, Integers) {
    const std::pair<const wchar_t*, long> good[] = {{L"0", 0}, {L" 42 ", 42}, {L"-7", -7}, {L"+3", 3}};
    for (const auto& [text, expected] : good) {
        long v = 99;
        EXPECT_TRUE(ParseIntValue(text, v));
        EXPECT_EQ(v, expected);
    }
    for (const wchar_t* bad : {L"", L"  ", L"12px", L"1.5", L"abc", L"99999999999", L"1 2"}) {
        long v = 99;
        EXPECT_FALSE(ParseIntValue(bad, v));
        EXPECT_EQ(v, 99) << "untouched on failure";
    }
    long v = 0;
    EXPECT_FALSE(ParseIntValue(nullptr, v));
}

TEST(AttributeValueTest, Colours) {
    const std::pair<const wchar_t*, DWORD> good[] = {
        {L"#FF102030", 0xFF102030}, {L"#102030", 0xFF102030}, {L"#00000000", 0}, {L"#abcdef", 0xFFABCDEF}};
    for (const auto& [text, expected] : good) {
        DWORD c = 1;
        EXPECT_TRUE(ParseColorValue(text, c));
        EXPECT_EQ(c, expected);
    }
    for (const wchar_t* bad : {L"", L"red", L"FF102030", L"#12345", L"#1234567", L"#GG0000", L"#FF1020304", L"0xFF102030"}) {
        DWORD c = 1;
        EXPECT_FALSE(ParseColorValue(bad, c));
        EXPECT_EQ(c, 1u);
    }
}

TEST(AttributeValueTest, RectanglesSizesAndBooleans) {
    RECT r;
    EXPECT_TRUE(ParseRectValue(L"1, 2,3 ,-4", r));
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.bottom, -4);
    for (const wchar_t* bad : {L"1,2,3", L"1,2,3,4,5", L"a,b,c,d", L"1,,3,4", L""}) {
        RECT keep{9, 9, 9, 9};
        EXPECT_FALSE(ParseRectValue(bad, keep));
        EXPECT_EQ(keep.left, 9);
    }
    SIZE s;
    EXPECT_TRUE(ParseSizeValue(L"800,572", s));
    EXPECT_EQ(s.cx, 800);
    EXPECT_FALSE(ParseSizeValue(L"800", s));
    bool b = false;
    EXPECT_TRUE(ParseBoolValue(L"TRUE", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(ParseBoolValue(L"false", b));
    EXPECT_FALSE(b);
    EXPECT_FALSE(ParseBoolValue(L"yes", b));
    EXPECT_FALSE(ParseBoolValue(L"1", b));
}

TEST(AttributeValueTest, AttributeLists) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    auto collect = [&](const wchar_t* n, const wchar_t* v) { pairs.emplace_back(n, v); };
    EXPECT_TRUE(ForEachAttributePair(L" textcolor='#FFFFFFFF'  text=\"a 'quoted' b\" empty=''", collect));
    EXPECT_EQ(pairs, (std::vector<std::pair<std::wstring, std::wstring>>{
                         {L"textcolor", L"#FFFFFFFF"}, {L"text", L"a 'quoted' b"}, {L"empty", L""}}));
    pairs.clear();
    EXPECT_FALSE(ForEachAttributePair(L"a='1' b=2 c='3'", collect));
    EXPECT_EQ(pairs.size(), 1u) << "pairs before the malformed one are kept";
    EXPECT_FALSE(ForEachAttributePair(L"a='unterminated", collect));
    EXPECT_FALSE(ForEachAttributePair(L"='x'", collect));
    EXPECT_TRUE(ForEachAttributePair(nullptr, collect));
}

TEST(AttributeValueTest, ImageValues) {
    ImageSpec plain;
    ASSERT_TRUE(ParseImageValue(L" images/bg.png ", plain));
    EXPECT_EQ(plain.file, L"images/bg.png");
    EXPECT_FALSE(plain.hasSource);
    EXPECT_FALSE(plain.hasDest);

    ImageSpec full;
    ASSERT_TRUE(ParseImageValue(L"file='btn.png' source='0,0,100,30' corner='4,4,4,4' dest=\"2,2,98,28\" fade='9'", full));
    EXPECT_EQ(full.file, L"btn.png");
    EXPECT_TRUE(full.hasSource);
    EXPECT_EQ(full.source.right, 100);
    EXPECT_EQ(full.corner.left, 4);
    EXPECT_TRUE(full.hasDest);
    EXPECT_EQ(full.dest.bottom, 28);

    for (const wchar_t* bad : {L"", L"   ", L"source='0,0,1,1'", L"file='a.png' source='0,0'", L"file='a.png", L"file=a.png"}) {
        ImageSpec keep;
        keep.file = L"kept";
        EXPECT_FALSE(ParseImageValue(bad, keep));
        EXPECT_EQ(keep.file, L"kept");
    }
}

}  // namespace
}  // namespace DuiLib
