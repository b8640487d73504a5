#include "platform/TickCount.h"

#include <chrono>
#include <mutex>
#include <utility>

namespace platform {

namespace {

std::mutex& SourceMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<std::uint64_t()>& Source() {
    static std::function<std::uint64_t()> source;
    return source;
}

// The monotonic clock counts from boot, as the classic tick counter does,
// and never jumps with changes of the wall clock.
std::uint64_t SteadyMilliseconds() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace

std::uint32_t GetTickCount() {
    // The source runs outside the lock so that it may itself read the clock.
    std::function<std::uint64_t()> source;
    {
        std::lock_guard<std::mutex> lock(SourceMutex());
        source = Source();
    }
    const std::uint64_t ms = source ? source() : SteadyMilliseconds();
    return static_cast<std::uint32_t>(ms & 0xFFFFFFFFu);
}

void SetTickSourceForTesting(std::function<std::uint64_t()> source) {
    std::lock_guard<std::mutex> lock(SourceMutex());
    Source() = std::move(source);
}

}  // namespace platform
