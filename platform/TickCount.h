#pragma once

// Milliseconds since an arbitrary start as a 32-bit count that wraps after
// about 49.7 days, like the classic tick counter. Elapsed times must be
// computed as unsigned differences so they survive the wrap.

#include <cstdint>
#include <functional>

namespace platform {

std::uint32_t GetTickCount();

// Milliseconds elapsed from `start` to `now`, correct across one wrap.
inline std::uint32_t TicksBetween(std::uint32_t start, std::uint32_t now) { return now - start; }

// Test hook: replaces the clock (a 64-bit millisecond source, truncated to 32
// bits by GetTickCount). nullptr restores the steady clock.
void SetTickSourceForTesting(std::function<std::uint64_t()> source);

}  // namespace platform
