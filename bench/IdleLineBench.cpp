// What waiting costs: the processor time this process spends while a reader waits out a
// one-second readByte on a silent line, and on a line whose far end has hung up. A reader or
// reading thread that spun instead of sleeping in poll would burn most of the second.

#include <benchmark/benchmark.h>

#include <memory>

#include "serial/SerialManager.h"
#include "tests/serial/PtyPair.h"
#include "tests/support/CpuTime.h"

namespace tallix {
namespace {

constexpr double kWaitSeconds = 1.0;

void MeasureWait(benchmark::State& state, bool hungUp) {
    test::PtyPair pty;
    SerialManager port;
    if (!pty.ok() || port.open(pty.path(), 9600, 8, 0, 1) < 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    if (hungUp) {
        pty.closeMaster();
    }
    double cpu = 0;
    int unexpected = 0;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        const double before = test::CpuSeconds();
        if (port.readByte(kWaitSeconds) != -1) {
            ++unexpected;
        }
        cpu += test::CpuSeconds() - before;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["cpu_pct_of_wait"] = 100.0 * cpu / (iterations * kWaitSeconds);
    state.counters["failures"] = unexpected;
    port.close();
}

void BM_WaitOnSilentLine(benchmark::State& state) {
    MeasureWait(state, false);
}

void BM_WaitOnHungUpLine(benchmark::State& state) {
    MeasureWait(state, true);
}

BENCHMARK(BM_WaitOnSilentLine)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaitOnHungUpLine)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallix

BENCHMARK_MAIN();
