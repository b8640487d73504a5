#include "launcher/WorkerGroup.h"

WorkerGroup& WorkerGroup::Instance() {
    // Never destroyed: detached workers may still reach it while the process
    // runs its static destructors.
    static auto* group = new WorkerGroup;
    return *group;
}

void WorkerGroup::Enter() {
    std::lock_guard lock(mutex_);
    ++running_;
}

void WorkerGroup::Leave() {
    {
        std::lock_guard lock(mutex_);
        --running_;
    }
    changed_.notify_all();
}

void WorkerGroup::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    changed_.notify_all();
}

bool WorkerGroup::ShouldStop() const {
    std::lock_guard lock(mutex_);
    return stopRequested_;
}

bool WorkerGroup::SleepFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return stopRequested_; });
}

bool WorkerGroup::WaitUntil(const std::function<bool()>& ready) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopRequested_ || ready(); });
    return !stopRequested_;
}

void WorkerGroup::Wake() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

bool WorkerGroup::WaitForAll(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return running_ == 0; });
}

int WorkerGroup::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void WorkerGroup::ResetForTesting() {
    std::lock_guard lock(mutex_);
    stopRequested_ = false;
}
