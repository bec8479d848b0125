#pragma once

// tallix as a process against tallix-sim, for the end-to-end tests of whole batch runs: the
// nine options on the command line (so no preferences file is read), a home folder of the
// test's own, and what the run left behind.

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

#ifndef TALLIX_PATH
#define TALLIX_PATH "tallix"
#endif

namespace tallix::test {

// The options of a run on the printer at port with every one of the nine texts given.
inline std::vector<std::string> NineOptions(const std::string& commandFile,
                                            const std::string& resultFile, const std::string& port,
                                            int speed = kSimSpeed) {
    return {"-i",   commandFile, "-o",         resultFile, "-t", "VX-37", "-k",
            "test", "-n",        "VX37000001", "-p",       port, "-s",    std::to_string(speed),
            "-l",   "1",         "-c",         "RO"};
}

struct TallixOutcome {
    int exitCode = -1;
    int termSignal = 0;  // the signal that ended the run, 0 when it exited
    bool timedOut = false;
    std::string out;
    std::string err;
};

// The environment of a run with HOME in home: the job journal then lives in
// <home>/.local/state/tallix, whatever the test runner's XDG_STATE_HOME says.
inline RunOptions TallixEnvironment(const std::string& home) {
    RunOptions options;
    options.env["HOME"] = home;
    options.env["XDG_STATE_HOME"] = std::nullopt;
    return options;
}

// Runs tallix with args and HOME in home; killed after timeout (a hang guard, not a time
// that the run is expected to keep). started gets the process ID once the run has started.
inline TallixOutcome RunTallix(const std::vector<std::string>& args, const std::string& home,
                               std::chrono::milliseconds timeout = std::chrono::seconds(180),
                               std::function<void(pid_t)> started = {}) {
    RunOptions options = TallixEnvironment(home);
    options.captureStdout = true;
    options.captureStderr = true;
    options.timeout = timeout;
    options.started = std::move(started);
    const ProcessResult result = RunProcess(TALLIX_PATH, args, options);
    return {result.exitCode, result.termSignal, result.timedOut, result.out, result.err};
}

// The same run, also reporting the child's peak resident memory in KiB.
struct MeasuredRun {
    int exitCode = -1;
    long peakRssKiB = 0;
};
inline MeasuredRun RunTallixMeasured(const std::vector<std::string>& args,
                                     const std::string& home) {
    RunOptions options = TallixEnvironment(home);
    options.timeout = std::chrono::minutes(10);
    const ProcessResult result = RunProcess(TALLIX_PATH, args, options);
    return {result.exitCode, result.peakRssKiB};
}

// Lines of a text, without their line feeds.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace tallix::test
