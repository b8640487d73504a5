// The byte counts of progress events, which are signed 32-bit: bytes below
// a 2 GiB plan, KiB from 2 GiB on, saturated when even KiB do not fit.

#include "liveupdate/ProgressMeter.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kGiB = kKiB * kKiB * kKiB;
constexpr std::uint64_t kTiB = kGiB * kKiB;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(ProgressMeter, EventCountsFitTheEventsFields) {
    struct Row {
        const char* name;
        std::uint64_t total;
        std::uint64_t bytes;
        std::int32_t count;
    };
    const Row rows[] = {
        {"2 GiB - 1 in bytes: nothing done", 2 * kGiB - 1, 0, 0},
        {"2 GiB - 1 in bytes: a byte below a KiB", 2 * kGiB - 1, 1023, 1023},
        {"2 GiB - 1 in bytes: all done", 2 * kGiB - 1, 2 * kGiB - 1, kMax},
        {"2 GiB in KiB: nothing done", 2 * kGiB, 0, 0},
        {"2 GiB in KiB: a partial KiB counts nothing", 2 * kGiB, 1023, 0},
        {"2 GiB in KiB: one KiB", 2 * kGiB, 1024, 1},
        {"2 GiB in KiB: all done", 2 * kGiB, 2 * kGiB, 2 * 1024 * 1024},
        {"5 TiB in KiB: nothing done", 5 * kTiB, 0, 0},
        {"5 TiB in KiB: 1 TiB done", 5 * kTiB, kTiB, 1024 * 1024 * 1024},
        {"5 TiB in KiB: the last KiB that fits", 5 * kTiB, static_cast<std::uint64_t>(kMax) * kKiB, kMax},
        {"5 TiB in KiB: past that, saturated", 5 * kTiB, 2 * kTiB, kMax},
        {"5 TiB in KiB: all done, saturated", 5 * kTiB, 5 * kTiB, kMax},
    };
    for (const Row& row : rows) {
        const ProgressMeter meter(row.total);
        EXPECT_EQ(meter.EventCount(row.bytes), row.count) << row.name;
    }
}

}  // namespace
