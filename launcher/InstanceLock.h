#pragma once

// One launcher per installation folder. Two launchers in one folder would
// clear each other's download folder, fetch into the same cache file and
// both write the update state. The lock is a kernel file lock on
// "launcher.lock" in the installation folder, so a killed launcher never
// blocks the next start, and launchers of other folders never see it. The
// file holds the owner's process id, so a second start can ask the owner
// to show its window. UI thread, at start-up.

#include <string>
#include <sys/types.h>

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Result { Acquired, HeldByAnother, Unavailable };

    // Takes the lock of `appDir` (trailing separator) for this process.
    // HeldByAnother sets `owner` to the holder's process id (0 when it
    // cannot be read). Unavailable: the folder allows no lock file (a
    // read-only installation); the launcher then runs unguarded.
    Result Acquire(const std::string& appDir, pid_t& owner);

private:
    int fd_ = -1;
};

// Asks the launcher `owner` to bring its main window to the front.
void AskToShowWindow(pid_t owner);
