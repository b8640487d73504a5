#pragma once

// The library's shutdown signal: set once from any thread (the launcher's
// Cancel), read by the fetching thread between and during transfers, and
// ending its pauses at once. Never cleared: a cancelled object stays so.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class CancelToken {
public:
    // Any thread; wakes every SleepFor at once.
    void Cancel();

    bool IsCancelled() const { return cancelled_.load(std::memory_order_acquire); }

    // Blocks for `duration` or until cancelled. False when cancelled.
    bool SleepFor(std::chrono::milliseconds duration);

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};
