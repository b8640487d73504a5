#include "toolkit/StdString.h"

#include <gtest/gtest.h>

namespace DuiLib {
namespace {

// What skins and notifications rely on: null pointers read as empty text,
// copies stay apart, and pieces asked beyond the end are cut, not read.
TEST(StdStringTest, NullTextCopiesAndPiecesBeyondTheEnd) {
    EXPECT_TRUE(CStdString(nullptr).IsEmpty());
    CStdString name(L"服务器一");
    CStdString copy(name);
    EXPECT_EQ(copy.GetLength(), 4);
    EXPECT_FALSE(copy == CStdString(L"服务器一 "));
    copy = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(copy == static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(name, L"服务器一") << "copies are independent";
    EXPECT_EQ(CStdString(L"ab", 10), L"ab");

    CStdString built = L"版本 " + CStdString(L"a");
    built += CStdString(L"b");
    built += L'c';
    built += static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(built, L"版本 abc");
    EXPECT_EQ(built.Mid(3), L"abc");
    EXPECT_EQ(built.Mid(9), L"");
    EXPECT_EQ(built.Right(9), L"版本 abc");
    EXPECT_EQ(built.Find(L"bc"), 4);
    EXPECT_EQ(built.Find(L'z'), -1);
    EXPECT_EQ(built.GetAt(9), L'\0');
    EXPECT_EQ(CStdString(L"Button").CompareNoCase(L"BUTTON"), 0);
    EXPECT_NE(CStdString(L"Button").Compare(L"BUTTON"), 0);
}

}  // namespace
}  // namespace DuiLib
