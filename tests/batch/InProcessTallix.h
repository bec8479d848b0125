#pragma once

// tallix's main in this process, with the system log caught: for the one line a failed batch
// run leaves there, which a child process would send to syslog.

#include <string>
#include <vector>

#include "batch/Entry.h"
#include "posix/SystemLog.h"

namespace tallix::test {

// Runs TallixMain with args (without the program name).
inline int RunTallixMain(std::vector<std::string> args) {
    args.insert(args.begin(), "tallix");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    return TallixMain(static_cast<int>(args.size()), argv.data());
}

// Catches the system log's lines while it lives.
class SystemLogCatcher {
  public:
    SystemLogCatcher()
        : previous_(SetSystemLogSink([this](const std::string& line) { lines.push_back(line); })) {}
    ~SystemLogCatcher() { (void)SetSystemLogSink(previous_); }
    SystemLogCatcher(const SystemLogCatcher&) = delete;
    SystemLogCatcher& operator=(const SystemLogCatcher&) = delete;

    std::vector<std::string> lines;

  private:
    SystemLogSink previous_;
};

}  // namespace tallix::test
