#pragma once

// What the process benchmarks share: a private copy of the demo
// installation, a program started in it, its CPU time and its end. Header
// only, because each benchmark is one executable of its own.

#include "launcher/config/ScrambledFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double EnvSeconds(const char* name, double fallback) {
    const char* s = std::getenv(name);
    return s && *s ? std::atof(s) : fallback;
}

inline void SleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// The user+system CPU seconds of `pid` so far, or -1 when it is gone.
inline double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');  // the name may hold spaces
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The CPU `pid` uses over `seconds` of wall time, in percent of one core,
// or -1 when the process ended meanwhile.
inline double CpuPercentOver(pid_t pid, double seconds) {
    const double cpu0 = CpuSeconds(pid);
    const auto at0 = Clock::now();
    SleepSeconds(seconds);
    const double cpu1 = CpuSeconds(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - at0).count();
    if (cpu0 < 0 || cpu1 < 0) return -1;
    return (cpu1 - cpu0) / wall * 100.0;
}

// A copy of the demo installation that the launcher may write into, with
// its Do.ini (scrambled, as the launcher reads it) holding `doIni`.
class DemoCopy {
public:
    explicit DemoCopy(const std::string& doIni) {
        path_ = fs::temp_directory_path() / ("launcher-bench-" + std::to_string(std::random_device{}()));
        fs::copy(fs::path(LAUNCHER_BINARY_DIR) / "demo" / "install", path_, fs::copy_options::recursive);
        fs::remove(path_ / "run.log");
        std::ofstream(path_ / "Do.ini", std::ios::binary) << ScrambleBytes(doIni, configKey);
    }
    ~DemoCopy() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    DemoCopy(const DemoCopy&) = delete;
    DemoCopy& operator=(const DemoCopy&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// Starts `exe` in `folder` with `env` set (an empty value unsets the name),
// its output discarded. The child keeps `keepFd` (-1: none) open across
// exec. Returns -1 on failure.
inline pid_t StartProgram(const fs::path& exe, const fs::path& folder,
                          const std::vector<std::pair<std::string, std::string>>& env, int keepFd = -1) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    for (const auto& [name, value] : env) {
        if (value.empty()) {
            ::unsetenv(name.c_str());
        } else {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
    }
    if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    if (::chdir(folder.c_str()) != 0) _exit(127);
    ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

// Ends `pid` with SIGTERM (SIGKILL after 15 s) and returns its resource use.
inline rusage StopProgram(pid_t pid) {
    ::kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return usage;
}

// The CPU the headless launcher uses while its update thread waits on
// `updateUrl` (server lists on a closed port), in percent of one core,
// measured over BENCH_IDLE_S seconds (default 5) after BENCH_SETTLE_S
// (default 3); -1 when it could not be measured.
inline double HeadlessUpdateWaitCpu(const std::string& updateUrl) {
    DemoCopy folder("[Addr]\nServerListUrl1=http://127.0.0.1:9/ServerList.xml\nServerListUrl2=\n"
                    "UpdateVersionUrl1=" + updateUrl + "\nUpdateVersionUrl2=\n");
    const pid_t pid = StartProgram(folder.Path() / "launcher", folder.Path(),
                                   {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"LAUNCHER_NO_WEBVIEW", "1"}});
    if (pid < 0) return -1;
    SleepSeconds(EnvSeconds("BENCH_SETTLE_S", 3));
    const double percent = CpuPercentOver(pid, EnvSeconds("BENCH_IDLE_S", 5));
    StopProgram(pid);
    return percent;
}

}  // namespace bench
