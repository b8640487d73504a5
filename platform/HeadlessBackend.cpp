#include "platform/HeadlessBackend.h"

namespace platform {

void HeadlessBackend::WaitForWork() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return woken_; });
    woken_ = false;
}

void HeadlessBackend::WakeUp() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    cv_.notify_one();
}

}  // namespace platform
