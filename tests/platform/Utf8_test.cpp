#include "platform/Utf8.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Utf8Test, EveryEncodedLengthRoundTrips) {
    const struct {
        std::wstring wide;
        std::string utf8;
    } cases[] = {
        {L"", ""},
        {L"qx.ini", "qx.ini"},
        {L"\u00E9", "\xC3\xA9"},                   // two bytes
        {L"\u7535\u4FE1\u4E00\u533A", "\xE7\x94\xB5\xE4\xBF\xA1\xE4\xB8\x80\xE5\x8C\xBA"},  // 电信一区
        {L"\U0001F600", "\xF0\x9F\x98\x80"},       // four bytes
        {std::wstring(1, L'\0') + L"a", std::string(1, '\0') + "a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToUtf8(c.wide), c.utf8);
        EXPECT_EQ(ToWide(c.utf8), c.wide);
    }
}

TEST(Utf8Test, BadInputBecomesReplacementCharacters) {
    const struct {
        std::string utf8;
        std::wstring wide;
    } cases[] = {
        {"\xC0\xAF", L"\uFFFD\uFFFD"},          // overlong
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // surrogate
        {"\xE7\x94", L"\uFFFD\uFFFD"},          // truncated
        {"a\xFFz", L"a\uFFFDz"},                // never a lead byte (GBK-like bytes)
    };
    for (const auto& c : cases) EXPECT_EQ(ToWide(c.utf8), c.wide);
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace platform
