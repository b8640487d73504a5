#include "liveupdate/CancelToken.h"

void CancelToken::Cancel() {
    {
        // Under the lock, so a SleepFor between its check and its wait
        // cannot miss the wake-up.
        std::lock_guard lock(mutex_);
        cancelled_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
}

bool CancelToken::SleepFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return cancelled_.load(std::memory_order_acquire); });
}
