// The interface as both sides see it: the header's slot order and field
// offsets are the ones the launcher compiles against, and the built library's
// object and export list match them.

#include "liveupdate/LivePatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "liveupdate/LiveUpdateHost.h"

namespace {

using liveupdatetest::Installation;

// The table slot a pointer to a virtual member names (Itanium C++ ABI: the
// slot's byte offset plus one).
template <typename Member>
std::size_t SlotOf(Member member) {
    struct Representation {
        std::uintptr_t ptr;
        std::ptrdiff_t adjust;
    };
    static_assert(sizeof(Member) == sizeof(Representation));
    Representation r{};
    std::memcpy(&r, &member, sizeof r);
    EXPECT_EQ(r.ptr % sizeof(void*), 1u) << "not a virtual member";
    return (r.ptr - 1) / sizeof(void*);
}

TEST(LivePatch, TableSlotsAreInTheLaunchersOrder) {
    const struct {
        const char* name;
        std::size_t slot;
        std::size_t expected;
    } rows[] = {
        {"CheckServer", SlotOf(&LivePatch::CheckServer), 2},
        {"RunPatch", SlotOf(&LivePatch::RunPatch), 3},
        {"GetReachedVersion", SlotOf(&LivePatch::GetReachedVersion), 4},
        {"GetLatestVersion", SlotOf(&LivePatch::GetLatestVersion), 5},
        {"GetLatestLauncherVersion", SlotOf(&LivePatch::GetLatestLauncherVersion), 6},
        {"GetDownloadSpeed", SlotOf(&LivePatch::GetDownloadSpeed), 7},
        {"Release", SlotOf(&LivePatch::Release), 8},
        {"Cancel", SlotOf(&LivePatch::Cancel), 9},
    };
    for (const auto& row : rows) EXPECT_EQ(row.slot, row.expected) << row.name;
}

TEST(LivePatch, LibraryObjectHasTheSharedLayout) {
    Installation install(nullptr, nullptr);
    LivePatch* patch = install.NewPatch().release();
    ASSERT_NE(patch, nullptr);
    const auto offset = [patch](const void* field) {
        return static_cast<std::size_t>(static_cast<const char*>(field) - reinterpret_cast<const char*>(patch));
    };
    constexpr std::size_t kWord = sizeof(void*);
    EXPECT_EQ(offset(&patch->onEvent), 1 * kWord);
    EXPECT_EQ(offset(&patch->onProgress), 2 * kWord);
    EXPECT_EQ(offset(&patch->context1), 3 * kWord);
    EXPECT_EQ(offset(&patch->context2), 4 * kWord);
    EXPECT_EQ(sizeof(LivePatch), 5 * kWord);
    EXPECT_EQ(patch->onEvent, nullptr);
    EXPECT_EQ(patch->context2, nullptr);

    // The library's own table, called by slot number as the launcher's
    // compiled calls do.
    void* const* table = *reinterpret_cast<void* const* const*>(patch);
    const auto speed = reinterpret_cast<std::int32_t (*)(LivePatch*)>(table[7]);
    const auto cancel = reinterpret_cast<void (*)(LivePatch*)>(table[9]);
    const auto release = reinterpret_cast<void (*)(LivePatch*)>(table[8]);
    EXPECT_EQ(speed(patch), 0);
    cancel(patch);
    // Cancelled: the check ends at once, before even looking for a key.
    EXPECT_FALSE(patch->CheckServer(L"http://127.0.0.1:1/v.xml", L"1.0"));
    EXPECT_FALSE(liveupdatetest::Contains(install.Log(), "checking")) << install.Log();
    release(patch);
}

TEST(LivePatch, LibraryExportsOnlyGetLivePatch) {
    const std::string command = "nm -D --defined-only '" LIVEUPDATE_LIBRARY "'";
    std::FILE* nm = popen(command.c_str(), "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[4096];
    while (std::fgets(line, sizeof line, nm)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        const std::size_t last = text.rfind(' ');
        names.insert(last == std::string::npos ? text : text.substr(last + 1));
    }
    ASSERT_EQ(pclose(nm), 0) << command;
    EXPECT_EQ(names, std::set<std::string>{"GetLivePatch"});
}

}  // namespace
