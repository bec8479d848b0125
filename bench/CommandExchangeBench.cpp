// One command exchange, and one wake-up with reset, against tallix-sim on a pseudo-terminal.
// Reported beside the time: the ratio of the wall time to the protocol's floor (the pauses
// and drain time-outs that a successful exchange must wait out), and the CPU time of this
// process (both its threads) as a share of the wall time.

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string>

#include "journal/JobJournal.h"
#include "protocol/CashRegManager.h"
#include "protocol/Timing.h"
#include "tests/support/CpuTime.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

// Runs `once` for every iteration against a fresh simulator and reports the figures.
void Measure(benchmark::State& state, double floorSeconds,
             const std::function<bool(CashRegManager&)>& once) {
    test::SimProcess sim;
    CashRegManager link;
    static const uint8_t kNoMap[256] = {};
    if (!sim.ready() || !link.Open(sim.path(), test::kSimSpeed)) {
        state.SkipWithError("tallix-sim did not start or its line did not open");
        return;
    }
    link.InitializeCR(1, kNoMap, 15);

    int failures = 0;
    const double cpuStart = test::CpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        if (!once(link)) {
            ++failures;
        }
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = test::CpuSeconds() - cpuStart;
    const auto iterations = static_cast<double>(state.iterations());

    state.counters["floor_ms"] = floorSeconds * 1e3;
    state.counters["wall_ms"] = wall / iterations * 1e3;
    state.counters["ratio_to_floor"] = wall / iterations / floorSeconds;
    state.counters["cpu_pct_of_wall"] = 100.0 * cpu / wall;
    state.counters["failures"] = failures;
    link.Close();
}

void BM_CommandExchange(benchmark::State& state) {
    const std::string text = "X;BENCH;;;;;";
    Measure(state, kCommandExchangeFloor, [&](CashRegManager& link) {
        return link.WritePacket(reinterpret_cast<const uint8_t*>(text.data()),
                                static_cast<int>(text.size()));
    });
}

// The same exchange as a batch run makes it: the job journal records the line in flight,
// durably, right before the frame; one line of the job per call.
void BM_CommandExchangeWithJournal(benchmark::State& state) {
    const std::string text = "X;BENCH;;;;;";
    const test::TempDir dir;
    JobJournal journal(dir.file("state/tallix"), "VX37000001", [](const std::string&) {});
    journal.Begin(IdentityOf("bench"), ResumePlan{}, std::nullopt);
    uint64_t line = 0;
    Measure(state, kCommandExchangeFloor, [&](CashRegManager& link) {
        journal.LineStarting(line++);
        const WakeOutcome woken = link.Wake();
        if (!woken) {
            return false;
        }
        journal.FrameComing(woken.answer->sequence);
        const DeliveryOutcome delivered =
            link.Deliver(reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int>(text.size()), true, woken.answer->sequence);
        journal.LineDone(delivered.sequenceAfter);
        return delivered.executed() && journal.usable();
    });
}

void BM_WakeUpWithReset(benchmark::State& state) {
    Measure(state, kWakeUpFloor, [](CashRegManager& link) {
        WakeUpAnswer answer;
        return link.WakeUP(answer);
    });
}

BENCHMARK(BM_CommandExchange)->Iterations(100)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommandExchangeWithJournal)
    ->Iterations(100)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WakeUpWithReset)->Iterations(100)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tallix

BENCHMARK_MAIN();
