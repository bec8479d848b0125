#include "tests/support/SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <thread>

#include "tests/support/RunProcess.h"

namespace tallix::test {

std::string SimExecutable() {
#ifdef TALLIX_SIM_PATH
    return TALLIX_SIM_PATH;
#else
    return "tallix-sim";
#endif
}

SimProcess::SimProcess(const std::vector<std::string>& extraArgs,
                       std::chrono::milliseconds readyTimeout) {
    if (dir_.path().empty()) {
        return;
    }
    std::vector<std::string> argvText = {SimExecutable(), "--link",      dir_.file("printer"),
                                         "--journal",     journalPath(), "--paper",
                                         paperPath()};
    argvText.insert(argvText.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    argv.reserve(argvText.size() + 1);
    for (auto& arg : argvText) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        return;
    }

    // Read standard output until the "ready PATH" line, the end of output, or the deadline.
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + readyTimeout;
    while (received.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        const int n = poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        char buffer[512];
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(got));
    }
    close(out[0]);
    const std::string prefix = "ready ";
    const std::size_t eol = received.find('\n');
    if (eol != std::string::npos && received.compare(0, prefix.size(), prefix) == 0) {
        path_ = received.substr(prefix.size(), eol - prefix.size());
        ready_ = true;
    }
}

SimProcess::~SimProcess() {
    stop();
}

std::vector<JournalEntry> SimProcess::journalLines() const {
    return ParseJournal(TempDir::ReadFile(journalPath()));
}

std::vector<std::string> SimProcess::executedCommands() const {
    std::vector<std::string> commands;
    for (const auto& entry : journalLines()) {
        if (entry.kind() == "frame" && entry.flag("executed")) {
            commands.push_back(entry.text());
        }
    }
    return commands;
}

std::string SimProcess::paper() const {
    return TempDir::ReadFile(paperPath());
}

bool SimProcess::running() {
    if (pid_ <= 0 || exitCode_) {
        return false;
    }
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        exitCode_ = ExitCodeOf(status);
        return false;
    }
    return true;
}

std::optional<int> SimProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return exitCode_;
}

int SimProcess::stop(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) {
        return -1;
    }
    if (running()) {
        kill(pid_, SIGTERM);
        if (!waitForExit(timeout)) {
            kill(pid_, SIGKILL);
            int status = 0;
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            exitCode_ = ExitCodeOf(status);
        }
    }
    return exitCode_.value_or(-1);
}

}  // namespace tallix::test
