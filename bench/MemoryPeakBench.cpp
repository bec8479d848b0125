// Peak memory of tallix against the size of the files it reads whole: a command file of 64 MiB
// (the largest it takes) and a preferences file. Each case runs tallix once as a process and
// reports, from wait4() (ru_maxrss):
//
//   file_mib        the file's size
//   peak_mib        the process's peak resident memory
//   peak_per_file   peak_mib / file_mib; the target is at most 2
//   growth_per_file (peak_mib - baseline) / file_mib, where the baseline is the same run on a
//                   file of one line: what the file itself costs
//   exit_code       how the run ended
//
// Command files (against tallix-sim, all nine options given): 64 MiB of empty lines, of short
// comment lines ("#"), and of comment lines in Romanian letters (bytes above 0x7F, which grow
// when decoded). Comment and empty lines send nothing and get no result line, so the run is
// the reading and the walk over the lines.
//
// Preferences files (HOME in a temporary folder, only -i and -o given, the entry's port does
// not exist: the run ends after the selection with 10, or with 21 when the file is refused):
// one entry padded with blank space to the size, and entries only. Sizes: 16 MiB (the largest
// that is read) and 1024 MiB.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "posix/UniqueFd.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

#ifndef TALLIX_PATH
#define TALLIX_PATH "tallix"
#endif

constexpr std::size_t kMiB = std::size_t{1024} * 1024;
constexpr std::size_t kCommandFileSize = 64 * kMiB;

// Writes size bytes to path: head, then repeated units of filler, then tail (the filler is
// cut to fit). False when the file could not be written.
bool WriteSizedFile(const std::string& path, const std::string& head, const std::string& filler,
                    const std::string& tail, std::size_t size) {
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd || head.size() + tail.size() > size) {
        return false;
    }
    std::string block;
    while (block.size() < kMiB) {
        block += filler;
    }
    const auto put = [&fd](const char* data, std::size_t length) {
        while (length > 0) {
            const ssize_t done = ::write(fd.get(), data, length);
            if (done <= 0) {
                return false;
            }
            data += done;
            length -= static_cast<std::size_t>(done);
        }
        return true;
    };
    std::size_t left = size - head.size() - tail.size();
    bool ok = put(head.data(), head.size());
    while (ok && left > 0) {
        std::size_t take = std::min(left, block.size());
        take -= take % filler.size();  // whole units only
        if (take == 0) {
            // Less than one unit remains: blanks.
            const std::string blanks(left, ' ');
            ok = put(blanks.data(), blanks.size());
            break;
        }
        ok = put(block.data(), take);
        left -= take;
    }
    return ok && put(tail.data(), tail.size());
}

struct Peak {
    int exitCode = -1;
    double peakMiB = 0;
};

Peak RunTallix(const std::vector<std::string>& args, const std::string& home) {
    test::RunOptions options;
    options.env["HOME"] = home;
    options.env["XDG_STATE_HOME"] = std::nullopt;
    options.timeout = std::chrono::minutes(10);
    const test::ProcessResult result = test::RunProcess(TALLIX_PATH, args, options);
    return {result.exitCode, static_cast<double>(result.peakRssKiB) / 1024.0};
}

void Report(benchmark::State& state, std::size_t size, const Peak& baseline, const Peak& run) {
    const double fileMiB = static_cast<double>(size) / static_cast<double>(kMiB);
    state.counters["file_mib"] = fileMiB;
    state.counters["peak_mib"] = run.peakMiB;
    state.counters["baseline_mib"] = baseline.peakMiB;
    state.counters["peak_per_file"] = run.peakMiB / fileMiB;
    state.counters["growth_per_file"] = (run.peakMiB - baseline.peakMiB) / fileMiB;
    state.counters["exit_code"] = run.exitCode;
}

// The unit each command file repeats.
std::string CommandLineUnit(int shape) {
    switch (shape) {
        case 0:
            return "\n";
        case 1:
            return "#\n";
        default:
            // "# " and "ăîâșț" in Windows-1250, ten times: every letter two bytes in UTF-8.
            return "# " + std::string(10, '\xE3') + std::string(10, '\xEE') +
                   std::string(10, '\xE2') + std::string(10, '\xBA') + std::string(10, '\xFE') +
                   "\r\n";
    }
}

void BM_CommandFilePeak(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(0));
    test::SimProcess sim;
    test::TempDir dir;
    const std::string commands = dir.file("commands.txt");
    if (!sim.ready() || dir.path().empty() ||
        !test::TempDir::WriteFile(dir.file("one.txt"), "# one line\n") ||
        !WriteSizedFile(commands, "", CommandLineUnit(shape), "", kCommandFileSize)) {
        state.SkipWithError("tallix-sim did not start or the command file was not written");
        return;
    }
    const auto args = [&](const std::string& file) {
        return std::vector<std::string>{"-i", file,
                                        "-o", dir.file("result.txt"),
                                        "-t", "VX-37",
                                        "-k", "bench",
                                        "-n", "VX37000001",
                                        "-p", sim.path(),
                                        "-s", std::to_string(test::kSimSpeed),
                                        "-l", "1",
                                        "-c", "RO"};
    };
    Peak baseline;
    Peak run;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        baseline = RunTallix(args(dir.file("one.txt")), dir.path());
        run = RunTallix(args(commands), dir.path());
    }
    Report(state, kCommandFileSize, baseline, run);
}

BENCHMARK(BM_CommandFilePeak)
    ->ArgName("shape")
    ->Arg(0)  // empty lines
    ->Arg(1)  // "#" lines
    ->Arg(2)  // Romanian comment lines
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

const std::string kPreferencesHead =
    "<Data Version=\"1.0\">\n    <DefaultKey>bench</DefaultKey>\n    <Devices>\n";
const std::string kPreferencesTail = "\n    </Devices>\n</Data>\n";
const std::string kEntry =
    "        <Device Type=\"VX-37\" Country=\"RO\" Key=\"bench\" SerialNumber=\"VX37000001\" "
    "Path=\"/nonexistent/ttyBENCH\" Speed=\"9600\" LogicalID=\"1\" />\n";

void BM_PreferencesPeak(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMiB;
    const bool entriesOnly = state.range(1) != 0;
    test::TempDir home;
    const std::string folder = home.file("Library/Preferences");
    const std::string file = folder + "/com.veltra.tallix.xml";
    test::TempDir other;
    const std::string otherFolder = other.file("Library/Preferences");
    const std::string small = kPreferencesHead + kEntry + kPreferencesTail;
    if (home.path().empty() || other.path().empty() ||
        !test::TempDir::WriteFile(home.file("commands.txt"), "# one line\n") ||
        ::mkdir(home.file("Library").c_str(), 0700) != 0 || ::mkdir(folder.c_str(), 0700) != 0 ||
        ::mkdir(other.file("Library").c_str(), 0700) != 0 ||
        ::mkdir(otherFolder.c_str(), 0700) != 0 ||
        !test::TempDir::WriteFile(otherFolder + "/com.veltra.tallix.xml", small) ||
        !WriteSizedFile(file, kPreferencesHead + kEntry, entriesOnly ? kEntry : std::string(" "),
                        kPreferencesTail, size)) {
        state.SkipWithError("the preferences file was not written");
        return;
    }
    const std::vector<std::string> args = {"-i", home.file("commands.txt"), "-o",
                                           home.file("result.txt")};
    Peak baseline;
    Peak run;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        baseline = RunTallix(args, other.path());
        run = RunTallix(args, home.path());
    }
    Report(state, size, baseline, run);
}

BENCHMARK(BM_PreferencesPeak)
    ->ArgNames({"mib", "entries"})
    ->Args({16, 0})
    ->Args({16, 1})
    ->Args({1024, 0})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tallix

BENCHMARK_MAIN();
