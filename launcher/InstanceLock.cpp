#include "launcher/InstanceLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

constexpr char kLockName[] = "launcher.lock";

}  // namespace

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

InstanceLock::Result InstanceLock::Acquire(const std::string& appDir, pid_t& owner) {
    owner = 0;
    const std::string path = appDir + kLockName;
    // Close-on-exec: the game client and the self-updater this launcher
    // starts must not inherit the lock and hold it after the launcher ends.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return Result::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        char text[32] = {};
        const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
        if (got > 0) owner = static_cast<pid_t>(std::strtol(text, nullptr, 10));
        ::close(fd);
        return held ? Result::HeldByAnother : Result::Unavailable;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        // The lock holds without the id; a second start only cannot ask
        // for the window.
    }
    fd_ = fd;
    return Result::Acquired;
}

void AskToShowWindow(pid_t owner) {
    if (owner > 0) ::kill(owner, SIGUSR1);
}
