#pragma once

// Byte progress of a whole run as the launcher receives it: counts fit the
// events' signed 32-bit fields (both in KiB once the plan's total reaches
// 2 GiB), and reports are spaced at least 100 ms apart, so the launcher's
// update pane is redrawn at most ten times a second however fast bytes
// arrive. One run's thread.

#include <chrono>
#include <cstdint>

class ProgressMeter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::uint64_t kKiBThreshold = std::uint64_t{2} * 1024 * 1024 * 1024;
    static constexpr std::chrono::milliseconds kMinGap{100};

    explicit ProgressMeter(std::uint64_t totalBytes) : totalBytes_(totalBytes) {}

    // True when a report at `now` keeps the spacing; it then counts as made.
    bool TakeReport(Clock::time_point now);

    // `bytes` in the events' unit, saturated at the largest 32-bit value.
    std::int32_t EventCount(std::uint64_t bytes) const;

    std::uint64_t TotalBytes() const { return totalBytes_; }

private:
    std::uint64_t totalBytes_;
    bool reported_ = false;
    Clock::time_point last_{};
};
