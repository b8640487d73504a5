#include "platform/TickCount.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

TEST(TickCount, WrapsAt32BitsAndElapsedTimeSurvivesTheWrap) {
    std::uint64_t now = 0xFFFFFFF0ull;
    platform::SetTickSourceForTesting([&now] { return now; });
    const std::uint32_t start = platform::GetTickCount();
    EXPECT_EQ(start, 0xFFFFFFF0u);
    now += 0x20;  // 0x1'0000'0010: past the wrap
    const std::uint32_t later = platform::GetTickCount();
    EXPECT_EQ(later, 0x10u);
    EXPECT_EQ(platform::TicksBetween(start, later), 0x20u);
    platform::SetTickSourceForTesting(nullptr);
}

TEST(TickCount, TicksBetweenIsTheUnsignedDifference) {
    struct Case {
        std::uint32_t start, now, elapsed;
    };
    const Case cases[] = {
        {0, 0, 0}, {100, 250, 150}, {0xFFFFFFFFu, 0, 1}, {0xFFFFFF00u, 0x100u, 0x200u}, {5, 4, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::TicksBetween(c.start, c.now), c.elapsed);
}

TEST(TickCount, DefaultSourceIsTheSteadyClock) {
    platform::SetTickSourceForTesting(nullptr);
    const auto ms = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                   std::chrono::steady_clock::now().time_since_epoch())
                                                   .count());
    EXPECT_LE(platform::TicksBetween(ms, platform::GetTickCount()), 1000u);
}
