// tallixd against tallix-sim, measured in one run:
//
//   service_vs_batch     time per line of a 100-line job through the service (POST with
//                        ?wait, from the request to the answer) against a batch run of the
//                        same file on the same printer (process start to exit); target ≤ 1.03
//   four_vs_one          lines per second with four printers printing a 100-line job each at
//                        once, against one printer alone; target ≥ 3.8
//   idle_rss_mib         resident memory of the idle service (VmRSS) after the jobs; ≤ 12 MiB
//   cpu_pct_of_wall      the service's CPU time (all threads) while the four printers print,
//                        as a share of the wall time; target ≤ 2 %

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/service/ServiceProcess.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

constexpr int kReceiptLines = 100;
using Clock = std::chrono::steady_clock;

std::string Receipt() {
    std::string text;
    for (int i = 1; i < kReceiptLines; ++i) {
        text += "49;ARTICOL " + std::to_string(i) + ";0;1;1.00;1;0;0\r\n";
    }
    text += "53;;;0;" + std::to_string(kReceiptLines - 1) + ".00\r\n";
    return text;
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// utime + stime of a process in seconds, from /proc.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double RssMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

void BM_Service(benchmark::State& state) {
    std::vector<std::unique_ptr<test::SimProcess>> sims;
    std::vector<test::ServicePrinter> printers;
    for (int p = 0; p < 4; ++p) {
        const std::string serial = "VX3700000" + std::to_string(p + 1);
        sims.push_back(
            std::make_unique<test::SimProcess>(std::vector<std::string>{"--serial", serial}));
        printers.push_back({"p" + std::to_string(p), sims.back()->path(), serial});
    }
    const test::TempDir dir;
    const test::TempDir stateFolder;
    (void)test::TempDir::WriteFile(dir.file("receipt.txt"), Receipt());
    test::ServiceProcess service(stateFolder.path(), printers);
    if (!service.ready()) {
        state.SkipWithError("tallixd did not start");
        return;
    }
    const test::HttpClient client = service.Unix();
    const std::string receipt = Receipt();
    int failures = 0;
    int key = 0;
    auto post = [&](int printer) {
        const test::HttpAnswer answer =
            client.Request("POST", "/v1/printers/p" + std::to_string(printer) + "/jobs?wait=60",
                           {{"Idempotency-Key", "bench-" + std::to_string(key++)}}, receipt);
        if (answer.status != 200 || answer.body.find("\"exitCode\":0") == std::string::npos) {
            ++failures;
        }
    };
    const std::vector<std::string> batchArgs = {"-i", dir.file("receipt.txt"),
                                                "-o", dir.file("result.txt"),
                                                "-t", "VX-37",
                                                "-k", "bench",
                                                "-n", "VX37000001",
                                                "-p", sims[0]->path(),
                                                "-s", std::to_string(test::kSimSpeed),
                                                "-l", "1",
                                                "-c", "RO"};
    test::RunOptions batchOptions;
    batchOptions.env["XDG_STATE_HOME"] = dir.file("state");

    double serviceSeconds = 0;
    double batchSeconds = 0;
    double fourSeconds = 0;
    double cpu = 0;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        // Alternating, so that both see the same machine.
        auto start = Clock::now();
        if (test::RunProcess(TALLIX_PATH, batchArgs, batchOptions).exitCode != 0) {
            ++failures;
        }
        batchSeconds += Seconds(Clock::now() - start);
        start = Clock::now();
        post(0);
        serviceSeconds += Seconds(Clock::now() - start);

        const double cpuBefore = CpuSeconds(service.pid());
        start = Clock::now();
        std::vector<std::thread> tills;
        for (int p = 0; p < 4; ++p) {
            tills.emplace_back([&, p] { post(p); });
        }
        for (std::thread& till : tills) {
            till.join();
        }
        const double four = Seconds(Clock::now() - start);
        fourSeconds += four;
        cpu += CpuSeconds(service.pid()) - cpuBefore;
    }
    const double idleRss = RssMiB(service.pid());
    const auto runs = static_cast<double>(state.iterations());
    const double oneLinesPerSecond = kReceiptLines * runs / serviceSeconds;
    const double fourLinesPerSecond = 4 * kReceiptLines * runs / fourSeconds;
    state.counters["service_per_line_ms"] = 1e3 * serviceSeconds / runs / kReceiptLines;
    state.counters["batch_per_line_ms"] = 1e3 * batchSeconds / runs / kReceiptLines;
    state.counters["service_vs_batch"] = serviceSeconds / batchSeconds;
    state.counters["four_vs_one"] = fourLinesPerSecond / oneLinesPerSecond;
    state.counters["idle_rss_mib"] = idleRss;
    state.counters["cpu_pct_of_wall"] = 100.0 * cpu / fourSeconds;
    state.counters["failures"] = failures;
}

BENCHMARK(BM_Service)->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tallix

BENCHMARK_MAIN();
