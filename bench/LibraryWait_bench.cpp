// CPU of the headless launcher while the update library waits inside a
// request: the update server accepts the connection (the kernel completes
// it from the listen backlog) and never answers, so the library sits in its
// transfer until its own time limits. Goal: below 1 % of a core.

#include "BenchProcess.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback listener that never accepts; its port, or 0 on failure.
int SilentListener(int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

void BM_LibraryWait(benchmark::State& state) {
    int fd = -1;
    const int port = SilentListener(fd);
    if (port == 0) {
        state.SkipWithError("no loopback listener");
        return;
    }
    for (auto _ : state) {
        const double percent =
            bench::HeadlessUpdateWaitCpu("http://127.0.0.1:" + std::to_string(port) + "/version_newStyle.xml");
        if (percent < 0) {
            state.SkipWithError("the launcher ended before it was measured");
            break;
        }
        state.counters["idle_cpu_ours_pct"] = percent;
    }
    ::close(fd);
}

}  // namespace

BENCHMARK(BM_LibraryWait)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
