// tallix --detect as its users run it, against tallix-sim. The slowest port is a line where
// nobody answers: every speed with every usual logical ID (the default entry's, here 5, then
// 1 and 0), 15 probes of a reset and one wake-up each. One run gives:
//
//   one_port_s / floor_s   wall time of the whole process for one silent port, against the
//                          least time its 15 probes wait (protocol/Timing.h); target 4 s
//   parallel_ratio         wall time for four ports (three silent, a printer at 115200 baud
//                          with ID 0, the last usual step) against one silent port; ports are
//                          probed at once, so this stays near 1
//   failures               runs whose exit code or output was wrong

#include <sys/stat.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "device/DetectionPlan.h"
#include "protocol/Timing.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

#ifndef TALLIX_PATH
#define TALLIX_PATH "tallix"
#endif

// A probe that goes unanswered: the reset's pause, the drain, then every read waiting for the
// answer's line feed.
constexpr double kSilentProbeFloor =
    kResetPause + kDrainTimeout + kLineFeedReads * kAnswerByteTimeout;
constexpr int kUsualIDs = 3;

struct Run {
    bool ok = false;
    double wallSeconds = 0;
};

Run Detect(const std::vector<std::string>& ports, const std::string& home,
           const std::string& expected) {
    test::RunOptions options;
    options.env["HOME"] = home;
    options.captureStdout = true;
    options.timeout = std::chrono::minutes(2);
    std::vector<std::string> args = {"--detect"};
    args.insert(args.end(), ports.begin(), ports.end());
    const auto start = std::chrono::steady_clock::now();
    const test::ProcessResult result = test::RunProcess(TALLIX_PATH, args, options);
    Run run;
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = result.exitCode == (expected.empty() ? 1 : 0) && result.out == expected;
    return run;
}

void BM_DetectPorts(benchmark::State& state) {
    test::SimProcess silent1({"--mute"});
    test::SimProcess silent2({"--mute"});
    test::SimProcess silent3({"--mute"});
    test::SimProcess printer({"--serial", "BENCH00000", "--logical-id", "0", "--baud", "115200"});
    test::TempDir home;
    const bool homeReady =
        mkdir(home.file("Library").c_str(), 0755) == 0 &&
        mkdir(home.file("Library/Preferences").c_str(), 0755) == 0 &&
        test::TempDir::WriteFile(home.file("Library/Preferences/com.veltra.tallix.xml"),
                                 R"(<Data><DefaultKey>k</DefaultKey><Devices>)"
                                 R"(<Device Key="k" LogicalID="5"/></Devices></Data>)");
    if (!silent1.ready() || !silent2.ready() || !silent3.ready() || !printer.ready() ||
        !homeReady) {
        state.SkipWithError("tallix-sim did not start or the home folder was not made");
        return;
    }
    const std::string found = printer.path() + "\t115200\t0\tBENCH00000\n";

    double one = 0;
    double four = 0;
    int failures = 0;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        const Run single = Detect({silent1.path()}, home.path(), "");
        const Run all = Detect({silent1.path(), silent2.path(), printer.path(), silent3.path()},
                               home.path(), found);
        failures += (single.ok ? 0 : 1) + (all.ok ? 0 : 1);
        one += single.wallSeconds;
        four += all.wallSeconds;
    }
    const auto iterations = static_cast<double>(state.iterations());
    const double floor =
        static_cast<double>(kDetectionSpeeds.size() * kUsualIDs) * kSilentProbeFloor;
    state.counters["one_port_s"] = one / iterations;
    state.counters["four_ports_s"] = four / iterations;
    state.counters["floor_s"] = floor;
    state.counters["ratio_to_floor"] = one / iterations / floor;
    state.counters["parallel_ratio"] = four / one;
    state.counters["failures"] = failures;
}

BENCHMARK(BM_DetectPorts)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tallix

BENCHMARK_MAIN();
