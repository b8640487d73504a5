// CPU of the headless launcher while its update thread waits for an update
// server that refuses every connection (a closed loopback port): the check
// fails, the thread paces its retries within its time limit. Waiting must
// cost nothing measurable (goal: below 1 % of a core).

#include "BenchProcess.h"

#include <benchmark/benchmark.h>

namespace {

void BM_UpdateWait(benchmark::State& state) {
    for (auto _ : state) {
        const double percent = bench::HeadlessUpdateWaitCpu("http://127.0.0.1:9/version_newStyle.xml");
        if (percent < 0) {
            state.SkipWithError("the launcher ended before it was measured");
            return;
        }
        state.counters["idle_cpu_ours_pct"] = percent;
    }
}

}  // namespace

BENCHMARK(BM_UpdateWait)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
