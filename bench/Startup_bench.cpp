// The launcher's start on a display, next to a bare wxWidgets window
// (bench/BareWindow.cpp), each started afresh in every repetition:
// - start to first frame: from fork to the "first frame" line the program
//   writes after its first paint (LAUNCHER_FIRST_FRAME_FD);
// - peak memory: the process's peak resident set (wait4's ru_maxrss);
// - CPU while waiting: user+system time from /proc/<pid>/stat over
//   STARTUP_BENCH_IDLE_S seconds (default 5) once the program has settled,
//   as a percentage of one core.
// The launcher runs from a copy of the demo installation with web views
// switched off (LAUNCHER_NO_WEBVIEW=1) and its server-list addresses on a
// closed loopback port, so its one worker ends quickly and nothing waits on
// DNS. Needs a display (scripts/with-xvfb).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double EnvSeconds(const char* name, double fallback) {
    const char* s = std::getenv(name);
    return s && *s ? std::atof(s) : fallback;
}

// The user+system CPU seconds of `pid` so far, or -1.
double CpuSeconds(pid_t pid) {
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

struct RunFigures {
    bool ok = false;
    double firstFrameSeconds = 0;
    double peakKiB = 0;
    double idleCpuPercent = 0;
};

// Starts `exe` in `folder`, times its first frame, measures its idle CPU,
// ends it with SIGTERM and reads its peak memory.
RunFigures Run(const fs::path& exe, const fs::path& folder) {
    RunFigures figures;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return figures;
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        ::setenv("LAUNCHER_FIRST_FRAME_FD", std::to_string(pipeFds[1]).c_str(), 1);
        ::setenv("LAUNCHER_NO_WEBVIEW", "1", 1);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        if (::chdir(folder.c_str()) != 0) _exit(127);
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return figures;
    }
    pollfd wait{pipeFds[0], POLLIN, 0};
    char line[32] = {};
    const bool framed = ::poll(&wait, 1, 30000) == 1 && ::read(pipeFds[0], line, sizeof line - 1) > 0 &&
                        std::string(line) == "first frame\n";
    figures.firstFrameSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(pipeFds[0]);

    if (framed) {
        // Settled: the launcher's server-list worker has given up on the
        // closed port by now; what is left is waiting for the player.
        std::this_thread::sleep_for(std::chrono::duration<double>(EnvSeconds("STARTUP_BENCH_SETTLE_S", 3)));
        const double idle = EnvSeconds("STARTUP_BENCH_IDLE_S", 5);
        const double cpu0 = CpuSeconds(pid);
        const auto at0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(idle));
        const double cpu1 = CpuSeconds(pid);
        const double wall = std::chrono::duration<double>(Clock::now() - at0).count();
        figures.idleCpuPercent = (cpu1 - cpu0) / wall * 100.0;
        figures.ok = cpu0 >= 0 && cpu1 >= 0;
    }

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
    figures.peakKiB = static_cast<double>(usage.ru_maxrss);
    return figures;
}

// A copy of the demo installation that the launcher may write into.
class LauncherFolder {
public:
    LauncherFolder() {
        path_ = fs::temp_directory_path() / ("startup-bench-" + std::to_string(std::random_device{}()));
        fs::copy(fs::path(LAUNCHER_BINARY_DIR) / "demo" / "install", path_, fs::copy_options::recursive);
        fs::remove(path_ / "run.log");
        // A closed loopback port: each fetch is refused at once.
        std::ofstream(path_ / "Do.ini", std::ios::binary)
            << "[Addr]\nServerListUrl1=http://127.0.0.1:9/ServerList.xml\nServerListUrl2=\n";
    }
    ~LauncherFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

void BM_Startup(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no display (run under scripts/with-xvfb)");
        return;
    }
    LauncherFolder folder;
    const fs::path bare = fs::path(LAUNCHER_BINARY_DIR) / "bench" / "BareWindow";
    for (auto _ : state) {
        const RunFigures ours = Run(folder.Path() / "launcher", folder.Path());
        const RunFigures peer = Run(bare, fs::temp_directory_path());
        if (!ours.ok || !peer.ok) {
            state.SkipWithError("no first frame within 30 s");
            return;
        }
        state.counters["frame_ours_s"] = ours.firstFrameSeconds;
        state.counters["frame_peer_s"] = peer.firstFrameSeconds;
        state.counters["peak_ours_MiB"] = ours.peakKiB / 1024;
        state.counters["peak_peer_MiB"] = peer.peakKiB / 1024;
        state.counters["idle_cpu_ours_pct"] = ours.idleCpuPercent;
        state.counters["idle_cpu_peer_pct"] = peer.idleCpuPercent;
    }
}

}  // namespace

BENCHMARK(BM_Startup)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
