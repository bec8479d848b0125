#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/JournalEntry.h"
#include "tests/support/TempDir.h"

namespace tallix::test {

// The line speed tallix-sim hears when it is not given --baud: a host at any other speed gets
// no answer.
inline constexpr int kSimSpeed = 9600;

// Path of the tallix-sim executable of this build.
std::string SimExecutable();

// The virtual printer tallix-sim as a child process, in a fresh temporary folder, started with
// --link <dir>/printer --journal <dir>/journal.jsonl --paper <dir>/paper.txt and the extra
// arguments. The constructor waits for its "ready" line; the destructor stops it.
class SimProcess {
  public:
    explicit SimProcess(const std::vector<std::string>& extraArgs = {},
                        std::chrono::milliseconds readyTimeout = std::chrono::seconds(10));
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // true when the printer announced itself ready.
    bool ready() const { return ready_; }
    // The device path a host opens (the link); empty when not ready.
    const std::string& path() const { return path_; }
    const TempDir& dir() const { return dir_; }
    std::string journalPath() const { return dir_.file("journal.jsonl"); }
    std::string paperPath() const { return dir_.file("paper.txt"); }
    pid_t pid() const { return pid_; }

    // The journal as it stands now (complete lines only).
    std::vector<JournalEntry> journalLines() const;
    // The texts of the command frames the printer executed, in order.
    std::vector<std::string> executedCommands() const;
    // Everything printed on the paper so far.
    std::string paper() const;

    // Sends SIGTERM and waits (up to the timeout, then SIGKILL). Returns the exit code as
    // RunProcess reports it; repeated calls return the first result.
    int stop(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits for the process to end by itself; nullopt when it did not in time.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool running();

  private:
    TempDir dir_;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string path_;
    std::optional<int> exitCode_;
};

}  // namespace tallix::test
