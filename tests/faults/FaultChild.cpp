#include "faults/FaultChild.h"

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "support/TempDir.h"

extern char** environ;

namespace fs = std::filesystem;

namespace faulttest {

namespace {

constexpr uid_t kNobody = 65534;

std::mutex gOwnedMutex;
std::set<pid_t> gHolders;
std::set<pid_t> gProcesses;  // reaped by their ChildProcess only

// Sets the fence up in a forked child: only system calls from here on.
bool Enter(const ChildFence& fence, int spaceFd) {
    if (spaceFd >= 0 && ::setns(spaceFd, CLONE_NEWNS) != 0) return false;
    if (fence.fileSizeLimit >= 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(fence.fileSizeLimit), static_cast<rlim_t>(fence.fileSizeLimit)};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    }
    if (fence.unprivileged) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return false;
    }
    return true;
}

int OpenSpace(const ChildFence& fence) {
    if (!fence.space) return -1;
    const std::string ns = "/proc/" + std::to_string(fence.space->Holder()) + "/ns/mnt";
    return ::open(ns.c_str(), O_RDONLY | O_CLOEXEC);
}

int StatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

void BecomeSubreaper() {
    static std::once_flag once;
    std::call_once(once, [] { ::prctl(PR_SET_CHILD_SUBREAPER, 1); });
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string MountsUnavailable() {
    static const std::string reason = [] {
        if (::geteuid() != 0) return "mounts need root (CI runs as root); running as uid " + std::to_string(::geteuid());
        testsupport::TempDir probe;
        MountSpace space({{MountSpace::Mount::Tmpfs, probe.Path(), 4096}});
        return space.Failure().empty() ? std::string() : "no private mount namespace here: " + space.Failure();
    }();
    return reason;
}

MountSpace::MountSpace(const std::vector<Mount>& mounts) {
    // Everything the holder needs is made before fork.
    std::vector<std::string> paths;
    std::vector<std::string> sizes;
    for (const Mount& m : mounts) {
        paths.push_back(m.path.string());
        sizes.push_back("size=" + std::to_string(m.bytes));
    }
    int ready[2];
    int release[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        failure_ = "pipe";
        return;
    }
    if (::pipe2(release, O_CLOEXEC) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        failure_ = "pipe";
        return;
    }
    holder_ = ::fork();
    if (holder_ == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        int report[2] = {-1, 0};  // which step failed, errno
        auto fail = [&](int step) {
            report[0] = step;
            report[1] = errno;
            [[maybe_unused]] auto n = ::write(ready[1], report, sizeof report);
            ::_exit(1);
        };
        if (::unshare(CLONE_NEWNS) != 0) fail(-2);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) fail(-3);
        for (std::size_t i = 0; i < mounts.size(); ++i) {
            const char* path = paths[i].c_str();
            const int step = static_cast<int>(i);
            if (mounts[i].kind == Mount::Tmpfs) {
                if (::mount("tmpfs", path, "tmpfs", 0, sizes[i].c_str()) != 0) fail(step);
                continue;
            }
            if (::mount(path, path, nullptr, MS_BIND | MS_REC, nullptr) != 0) fail(step);
            if (::mount(nullptr, path, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) fail(step);
        }
        [[maybe_unused]] auto n = ::write(ready[1], report, sizeof report);
        char byte;
        while (::read(release[0], &byte, 1) != 0 && errno == EINTR) {
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    int report[2] = {-3, 0};
    if (holder_ < 0 || ::read(ready[0], report, sizeof report) != sizeof report) {
        failure_ = "the mount holder did not start";
    } else if (report[0] != -1) {
        const std::string step = report[0] == -2   ? "unshare(CLONE_NEWNS)"
                                 : report[0] == -3 ? "making / private"
                                                   : "mounting " + paths[static_cast<std::size_t>(report[0])];
        failure_ = step + ": " + std::strerror(report[1]);
    }
    ::close(ready[0]);
    if (holder_ > 0) {
        std::lock_guard lock(gOwnedMutex);
        gHolders.insert(holder_);
    }
}

MountSpace::~MountSpace() {
    if (release_ >= 0) ::close(release_);
    if (holder_ > 0) {
        ::waitpid(holder_, nullptr, 0);
        std::lock_guard lock(gOwnedMutex);
        gHolders.erase(holder_);
    }
}

fs::path MountSpace::Inside(const fs::path& path) const {
    return fs::path("/proc") / std::to_string(holder_) / "root" / path.relative_path();
}

int RunFenced(const ChildFence& fence, const std::function<int()>& body) {
    const int spaceFd = OpenSpace(fence);
    if (fence.space && spaceFd < 0) return kFenceFailed;
    const pid_t child = ::fork();
    if (child == 0) {
        if (!Enter(fence, spaceFd)) ::_exit(kFenceFailed);
        ::_exit(body());
    }
    if (spaceFd >= 0) ::close(spaceFd);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return kFenceFailed;
    return StatusOf(status);
}

ChildProcess::ChildProcess(const fs::path& program, const fs::path& folder, const std::vector<std::string>& extraEnv,
                           const fs::path& output, const ChildFence& fence) {
    BecomeSubreaper();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=")) continue;  // headless
        env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const std::string path = program.string();
    const std::string dir = folder.string();
    const std::string out = output.string();
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    const int spaceFd = OpenSpace(fence);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
        if (fd >= 0) {
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if ((fence.space && spaceFd < 0) || !Enter(fence, spaceFd) || ::chdir(dir.c_str()) != 0) ::_exit(kFenceFailed);
        ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    if (spaceFd >= 0) ::close(spaceFd);
    if (pid_ > 0) {
        std::lock_guard lock(gOwnedMutex);
        gProcesses.insert(pid_);
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0) return;
    if (status_ < 0) {
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::lock_guard lock(gOwnedMutex);
    gProcesses.erase(pid_);
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0 && status_ < 0) ::kill(pid_, signal);
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (status_ >= 0 || pid_ <= 0) return status_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = StatusOf(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::vector<pid_t> LiveChildren() {
    std::set<pid_t> holders;
    std::set<pid_t> processes;
    {
        std::lock_guard lock(gOwnedMutex);
        holders = gHolders;
        processes = gProcesses;
    }
    std::vector<pid_t> live;
    const pid_t self = ::getpid();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        // Not a stream: a process ending meanwhile fails the read, and the
        // stream's buffer throws for that.
        std::string stat;
        if (const int fd = ::open((entry.path() / "stat").c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
            char buffer[1024];
            for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) stat.append(buffer, static_cast<std::size_t>(n));
            ::close(fd);
        }
        const auto close = stat.rfind(')');
        if (close == std::string::npos || close + 4 > stat.size()) continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(stat.c_str() + close + 2, "%c %d", &state, &parent) != 2 || parent != self) continue;
        const pid_t pid = static_cast<pid_t>(std::stoi(name));
        if (holders.count(pid)) continue;
        if (state == 'Z') {
            if (!processes.count(pid)) ::waitpid(pid, nullptr, WNOHANG);
            continue;
        }
        live.push_back(pid);
    }
    return live;
}

void KillChildren() {
    for (const pid_t pid : LiveChildren()) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

}  // namespace faulttest
