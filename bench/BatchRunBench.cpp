// tallix as its callers run it: a process on a command file against tallix-sim. One run of a
// receipt of 100 command lines (99 sales and the payment) gives every figure:
//
//   per_line_ms / floor_ms   wall time of the whole run per command line, against the least
//                            time one command exchange waits (protocol/Timing.h)
//   cpu_pct_of_wall          CPU time of the tallix process (both its threads) as a share of
//                            the run's wall time
//   peak_rss_mib             the process's peak resident memory
//
// CPU and memory are the child's own, from wait4() (the per-child form of RUSAGE_CHILDREN).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/Timing.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

constexpr int kReceiptLines = 100;

#ifndef TALLIX_PATH
#define TALLIX_PATH "tallix"
#endif

std::string ReceiptCommandFile() {
    std::string text;
    for (int i = 1; i < kReceiptLines; ++i) {
        text += "49;ARTICOL " + std::to_string(i) + ";0;1;1.00;1;0;0\r\n";
    }
    text += "53;;;0;" + std::to_string(kReceiptLines - 1) + ".00\r\n";
    return text;
}

struct ChildRun {
    int exitCode = -1;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakRssMiB = 0;
};

// stateFolder: the job journal's XDG_STATE_HOME, so that it lies beside the receipt.
ChildRun RunTallix(const std::vector<std::string>& args, const std::string& stateFolder) {
    test::RunOptions options;
    options.env["XDG_STATE_HOME"] = stateFolder;
    options.timeout = std::chrono::minutes(10);
    const auto start = std::chrono::steady_clock::now();
    const test::ProcessResult result = test::RunProcess(TALLIX_PATH, args, options);
    ChildRun run;
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.exitCode = result.exitCode;
    run.cpuSeconds = result.cpuSeconds;
    run.peakRssMiB = static_cast<double>(result.peakRssKiB) / 1024.0;  // ru_maxrss is in KiB
    return run;
}

void BM_BatchReceipt100(benchmark::State& state) {
    test::SimProcess sim;
    test::TempDir dir;
    if (!sim.ready() || dir.path().empty() ||
        !test::TempDir::WriteFile(dir.file("receipt.txt"), ReceiptCommandFile())) {
        state.SkipWithError("tallix-sim did not start or the command file was not written");
        return;
    }
    // All nine options given: the preferences file is not consulted.
    const std::vector<std::string> args = {"-i", dir.file("receipt.txt"),
                                           "-o", dir.file("result.txt"),
                                           "-t", "VX-37",
                                           "-k", "bench",
                                           "-n", "VX37000001",
                                           "-p", sim.path(),
                                           "-s", std::to_string(test::kSimSpeed),
                                           "-l", "1",
                                           "-c", "RO"};

    double wall = 0;
    double cpu = 0;
    double peak = 0;
    int failures = 0;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        const ChildRun run = RunTallix(args, dir.file("state"));
        const std::string result = test::TempDir::ReadFile(dir.file("result.txt"));
        size_t answered = 0;
        for (size_t at = result.find("\"No error\""); at != std::string::npos;
             at = result.find("\"No error\"", at + 1)) {
            ++answered;
        }
        if (run.exitCode != 0 || answered != kReceiptLines) {
            ++failures;
        }
        wall += run.wallSeconds;
        cpu += run.cpuSeconds;
        peak = std::max(peak, run.peakRssMiB);
    }
    const auto iterations = static_cast<double>(state.iterations());
    const double perLine = wall / iterations / kReceiptLines;
    state.counters["floor_ms"] = kCommandExchangeFloor * 1e3;
    state.counters["per_line_ms"] = perLine * 1e3;
    state.counters["ratio_to_floor"] = perLine / kCommandExchangeFloor;
    state.counters["cpu_pct_of_wall"] = 100.0 * cpu / wall;
    state.counters["peak_rss_mib"] = peak;
    state.counters["failures"] = failures;
    state.counters["executed"] = static_cast<double>(sim.executedCommands().size());
}

BENCHMARK(BM_BatchReceipt100)->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tallix

BENCHMARK_MAIN();
