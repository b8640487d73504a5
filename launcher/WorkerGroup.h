#pragma once

// The launcher's worker threads and the one safe way to end them. Workers
// never outlive the window objects they use: shutdown asks them to stop and
// waits a bounded time before anything is freed. Workers check ShouldStop()
// in every wait and between steps of long transfers.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

class WorkerGroup {
public:
    // The process-wide group. Any thread.
    static WorkerGroup& Instance();

    // A worker arrives (before it starts running) and leaves (after its last
    // touch of any shared object). Any thread.
    void Enter();
    void Leave();

    // Asks every worker to stop; wakes workers sleeping in SleepFor. Any thread.
    void RequestStop();
    bool ShouldStop() const;

    // Sleeps up to `duration`, returning early (false) when a stop is
    // requested; true after a full sleep. Worker threads.
    bool SleepFor(std::chrono::milliseconds duration);

    // Blocks until `ready()` holds (true) or a stop is requested (false).
    // `ready` is evaluated under the group's lock, so it must only read
    // atomics. Whoever makes it true calls Wake afterwards. Worker threads.
    bool WaitUntil(const std::function<bool()>& ready);
    // Wakes workers blocked in WaitUntil to test their condition again. Any thread.
    void Wake();

    // Waits until no worker runs or `timeout` passes; true when all left.
    // UI thread, at shutdown.
    bool WaitForAll(std::chrono::milliseconds timeout);

    int Running() const;

    // Clears the stop request so tests can start workers again.
    void ResetForTesting();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int running_ = 0;
    bool stopRequested_ = false;
};
