#include "updater/LauncherProcesses.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr auto kFallbackLook = std::chrono::milliseconds(100);

std::string Resolved(const std::string& program) {
    std::error_code ec;
    const fs::path path(program);
    const fs::path folder = fs::canonical(path.parent_path(), ec);
    return ec ? program : (folder / path.filename()).string();
}

std::string Executable(const std::string& pid) {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink(("/proc/" + pid + "/exe").c_str(), buffer.data(), buffer.size());
    if (n <= 0) return {};
    buffer.resize(static_cast<std::size_t>(n));
    constexpr std::string_view kReplaced = " (deleted)";
    if (buffer.ends_with(kReplaced)) buffer.resize(buffer.size() - kReplaced.size());
    return buffer;
}

// Sleeps until `pid` ends or `limit` passes; false when no pidfd can be had.
bool SleepOnExit(int pid, std::chrono::milliseconds limit) {
#ifdef SYS_pidfd_open
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) return false;
    pollfd watch{fd, POLLIN, 0};
    ::poll(&watch, 1, static_cast<int>(limit.count()));
    ::close(fd);
    return true;
#else
    (void)pid;
    (void)limit;
    return false;
#endif
}

}  // namespace

std::vector<int> ProcessesRunning(const std::string& program) {
    const std::string wanted = Resolved(program);
    const std::string self = std::to_string(::getpid());
    std::vector<int> found;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos || name == self) continue;
        if (Executable(name) == wanted) found.push_back(std::atoi(name.c_str()));
    }
    return found;
}

bool WaitUntilNoneRuns(const std::string& program, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::vector<int> running = ProcessesRunning(program);
        if (running.empty()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (!SleepOnExit(running.front(), left)) std::this_thread::sleep_for(std::min(left, kFallbackLook));
    }
}
