#include "toolkit/StdString.h"

#include <gtest/gtest.h>

namespace DuiLib {
namespace {

TEST(StdStringTest, ConstructCopyAssignAndCompare) {
    CStdString empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_STREQ(empty.GetData(), L"");
    EXPECT_TRUE(CStdString(nullptr).IsEmpty());

    CStdString name(L"服务器一");
    CStdString copy(name);
    EXPECT_EQ(copy, name);
    EXPECT_TRUE(copy == L"服务器一");
    EXPECT_FALSE(copy == L"服务器");
    EXPECT_FALSE(copy == CStdString(L"服务器一 "));
    EXPECT_EQ(copy.GetLength(), 4);

    copy = L"other";
    EXPECT_EQ(name, L"服务器一") << "copies are independent";
    copy = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_TRUE(copy == static_cast<const wchar_t*>(nullptr));

    name.Empty();
    EXPECT_TRUE(name.IsEmpty());
    EXPECT_EQ(CStdString(L"abcdef", 3), L"abc");
    EXPECT_EQ(CStdString(L"ab", 10), L"ab");
}

TEST(StdStringTest, ConcatenationAndPieces) {
    const CStdString percent = CStdString(L"42") + L"%";
    EXPECT_EQ(percent, L"42%");
    EXPECT_EQ(L"版本 " + CStdString(L"1.0"), L"版本 1.0");
    CStdString built;
    built += L"a";
    built += CStdString(L"b");
    built += L'c';
    built += static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(built, L"abc");
    EXPECT_EQ(built.Left(2), L"ab");
    EXPECT_EQ(built.Mid(1), L"bc");
    EXPECT_EQ(built.Mid(5), L"");
    EXPECT_EQ(built.Right(5), L"abc");
    EXPECT_EQ(built.Find(L"bc"), 1);
    EXPECT_EQ(built.Find(L'z'), -1);
    EXPECT_EQ(built.GetAt(9), L'\0');
    EXPECT_EQ(CStdString(L"Button").CompareNoCase(L"BUTTON"), 0);
    EXPECT_NE(CStdString(L"Button").Compare(L"BUTTON"), 0);
}

}  // namespace
}  // namespace DuiLib
