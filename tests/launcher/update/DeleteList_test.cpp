#include "launcher/update/DeleteList.h"

#include <gtest/gtest.h>

namespace {

TEST(DeleteListTargetTest, WordsStayInsideTheGameFolder) {
    const std::vector<std::pair<std::string, std::wstring>> cases = {
        {"a.txt", L"/g/a.txt"},
        {"sub\\b.dll", L"/g/sub/b.dll"},
        {"sub/../c.txt", L"/g/c.txt"},
        {"./d.txt", L"/g/d.txt"},
        {"../outside.txt", L""},
        {"sub/../../outside.txt", L""},
        {"/etc/hostname", L""},
        {"\\etc\\hostname", L""},
        {"C:\\x.dll", L""},
        {"sub/..", L""},
    };
    for (const auto& [word, target] : cases) EXPECT_EQ(DeleteListTarget(L"/g/", word), target) << word;
}

}  // namespace
