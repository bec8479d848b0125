#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tallix::test {

struct RunOptions {
    // Environment changes for the child: a value sets the variable, nullopt removes it.
    std::map<std::string, std::optional<std::string>> env;
    bool captureStdout = false;
    bool captureStderr = false;
    // Working folder of the child; empty keeps the caller's.
    std::string workingDir;
    // Text given on standard input; without it the child's input is /dev/null.
    std::optional<std::string> stdinText;
    // The child is killed (SIGKILL) when it runs longer.
    std::chrono::milliseconds timeout = std::chrono::seconds(120);
    // Called with the child's process ID once it runs (before it is waited for), so that
    // a test can send it a signal while another thread waits in RunProcess.
    std::function<void(pid_t)> started;
};

struct ProcessResult {
    // Exit status; 128 + signal number when a signal ended it; -1 when it could not start.
    int exitCode = -1;
    // The signal that ended the child; 0 when it exited by itself.
    int termSignal = 0;
    bool timedOut = false;
    std::string out;        // captured standard output (when asked for)
    std::string err;        // captured standard error (when asked for)
    double cpuSeconds = 0;  // the child's user and system time, all its threads
    long peakRssKiB = 0;    // the child's peak resident memory
};

// A wait status as an exit code: the exit status, 128 + the signal number when a signal ended
// the process, -1 otherwise.
int ExitCodeOf(int status);

// Runs program (a path, or a name looked up in PATH) with args (without argv[0]) and waits
// for it to end.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const RunOptions& options = {});

// A child started without waiting for it, for tests that signal it while it runs. Of
// options, env and workingDir count; its standard streams are /dev/null (input) and the
// caller's. The destructor kills (SIGKILL) and reaps a child that still runs.
class BackgroundProcess {
  public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // -1 when it could not be started.
    pid_t pid() const { return pid_; }
    // False once it has ended (and it is then reaped).
    bool running();
    // Sends signal while it runs.
    void kill(int signal);
    // Waits for it to end: its exit code as ExitCodeOf gives it, nothing when it still runs
    // at the timeout.
    std::optional<int> wait(std::chrono::milliseconds timeout);

  private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

}  // namespace tallix::test
