#include "liveupdate/ProgressMeter.h"

#include <limits>

bool ProgressMeter::TakeReport(Clock::time_point now) {
    if (reported_ && now - last_ < kMinGap) return false;
    reported_ = true;
    last_ = now;
    return true;
}

std::int32_t ProgressMeter::EventCount(std::uint64_t bytes) const {
    const std::uint64_t count = totalBytes_ >= kKiBThreshold ? bytes / 1024 : bytes;
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(count > kMax ? kMax : count);
}
