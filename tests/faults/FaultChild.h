#pragma once

// Child processes fenced in the ways the fault tests need: a file-size
// limit, an unprivileged user, and a private mount namespace with small
// filesystems and read-only bind mounts in it. Mounts need root (CI runs as
// root); MountsUnavailable() says why they cannot be used elsewhere, for the
// test's skip message.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace faulttest {

// Checks `condition` every 2 ms until it holds (true) or `timeout` passes.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// "" when mounts can be made here; otherwise the reason they cannot.
std::string MountsUnavailable();

// A private mount namespace kept by a holder process for the object's
// lifetime. Nothing outside sees its mounts: the test reaches them through
// Inside(path) (the holder's /proc root) and runs children in it with
// ChildFence::space. The mounts go away with the holder.
class MountSpace {
public:
    struct Mount {
        enum Kind { Tmpfs, ReadOnly } kind;
        std::filesystem::path path;  // an existing folder; bind mounts cover it with itself
        std::size_t bytes = 0;       // the tmpfs's size
    };
    // Mounts in order.
    explicit MountSpace(const std::vector<Mount>& mounts);
    ~MountSpace();
    MountSpace(const MountSpace&) = delete;
    MountSpace& operator=(const MountSpace&) = delete;

    // Empty when every mount is in place; otherwise what failed.
    const std::string& Failure() const { return failure_; }
    pid_t Holder() const { return holder_; }
    // `path` as the namespace sees it, reachable from this process.
    std::filesystem::path Inside(const std::filesystem::path& path) const;

private:
    pid_t holder_ = -1;
    int release_ = -1;  // closing it ends the holder
    std::string failure_;
};

struct ChildFence {
    const MountSpace* space = nullptr;  // the child runs in this namespace
    long long fileSizeLimit = -1;       // RLIMIT_FSIZE; SIGXFSZ ignored, so writes past it fail (EFBIG)
    bool unprivileged = false;          // runs as nobody (65534), which needs root to become
};

// Runs `body` in a forked child under `fence`; its return value is the
// child's exit code. Returns the exit status: the code, 128 + the signal,
// or kFenceFailed when the fence could not be put up.
constexpr int kFenceFailed = 125;
int RunFenced(const ChildFence& fence, const std::function<int()>& body);

// A program run as a player starts it: in `folder`, without a display,
// output to `output`, in a process group of its own, under `fence`. The
// test process is made a child subreaper, so what the program starts
// detached (the self-updater, the launcher it restarts) stays reachable.
class ChildProcess {
public:
    ChildProcess(const std::filesystem::path& program, const std::filesystem::path& folder,
                 const std::vector<std::string>& extraEnv, const std::filesystem::path& output,
                 const ChildFence& fence = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    void Signal(int signal) const;
    // Waits up to `timeout` for the program to end: its exit status (code,
    // or 128 + signal), or -1 while it runs.
    int Wait(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// Processes this test process started that are still alive (reaped when
// they have ended), the mount holders excepted.
std::vector<pid_t> LiveChildren();
// SIGKILLs and reaps every child LiveChildren lists.
void KillChildren();

}  // namespace faulttest
