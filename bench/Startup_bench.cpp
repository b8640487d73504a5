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

#include "BenchProcess.h"

#include <benchmark/benchmark.h>
#include <poll.h>

namespace {

using namespace bench;

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
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return figures;
    const auto start = Clock::now();
    const pid_t pid = StartProgram(exe, folder,
                                   {{"LAUNCHER_FIRST_FRAME_FD", std::to_string(pipeFds[1])}, {"LAUNCHER_NO_WEBVIEW", "1"}},
                                   pipeFds[1]);
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
        SleepSeconds(EnvSeconds("STARTUP_BENCH_SETTLE_S", 3));
        figures.idleCpuPercent = CpuPercentOver(pid, EnvSeconds("STARTUP_BENCH_IDLE_S", 5));
        figures.ok = figures.idleCpuPercent >= 0;
    }

    const rusage usage = StopProgram(pid);
    figures.peakKiB = static_cast<double>(usage.ru_maxrss);
    return figures;
}

void BM_Startup(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no display (run under scripts/with-xvfb)");
        return;
    }
    // Closed loopback ports: each fetch is refused at once.
    DemoCopy folder("[Addr]\nServerListUrl1=http://127.0.0.1:9/ServerList.xml\nServerListUrl2=\n");
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
