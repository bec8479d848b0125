#include "tests/support/RunProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace tallix::test {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// The argument vector of program with args; argvText keeps the texts that it points into.
std::vector<char*> ArgumentVector(const std::string& program, const std::vector<std::string>& args,
                                  std::vector<std::string>& argvText) {
    argvText.clear();
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(argvText.size() + 1);
    for (auto& arg : argvText) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    return argv;
}

// In the forked child: the environment and folder of options, standard input from inFd (or
// /dev/null when it is < 0), output to outFd and errFd when >= 0; then the program. Only
// async-signal-safe calls until exec, apart from setenv/unsetenv which are fine here because
// the test process forks from one thread at a time.
[[noreturn]] void ExecChild(const std::vector<char*>& argv, const RunOptions& options, int inFd,
                            int outFd, int errFd) {
    for (const auto& [name, value] : options.env) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    if (!options.workingDir.empty() && chdir(options.workingDir.c_str()) != 0) {
        _exit(127);
    }
    if (inFd >= 0) {
        dup2(inFd, STDIN_FILENO);
    } else {
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
        }
    }
    if (outFd >= 0) {
        dup2(outFd, STDOUT_FILENO);
    }
    if (errFd >= 0) {
        dup2(errFd, STDERR_FILENO);
    }
    // The child starts as from a terminal: default actions, nothing blocked (a test runner
    // started in the background may ignore SIGINT).
    for (const int sig : {SIGPIPE, SIGINT, SIGHUP, SIGTERM}) {
        signal(sig, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const RunOptions& options) {
    ProcessResult result;
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    int inPipe[2] = {-1, -1};
    if ((options.captureStdout && pipe2(outPipe, O_CLOEXEC) != 0) ||
        (options.captureStderr && pipe2(errPipe, O_CLOEXEC) != 0) ||
        (options.stdinText && pipe2(inPipe, O_CLOEXEC) != 0)) {
        for (int* fds : {outPipe, errPipe, inPipe}) {
            CloseFd(fds[0]);
            CloseFd(fds[1]);
        }
        return result;
    }

    std::vector<std::string> argvText;
    const std::vector<char*> argv = ArgumentVector(program, args, argvText);

    const pid_t pid = fork();
    if (pid == 0) {
        ExecChild(argv, options, options.stdinText ? inPipe[0] : -1,
                  options.captureStdout ? outPipe[1] : -1, options.captureStderr ? errPipe[1] : -1);
    }
    CloseFd(outPipe[1]);
    CloseFd(errPipe[1]);
    CloseFd(inPipe[0]);
    if (pid < 0) {
        CloseFd(outPipe[0]);
        CloseFd(errPipe[0]);
        CloseFd(inPipe[1]);
        return result;
    }

    if (options.started) {
        options.started(pid);
    }
    std::string input = options.stdinText.value_or("");
    std::size_t written = 0;
    if (inPipe[1] >= 0) {
        fcntl(inPipe[1], F_SETFL, fcntl(inPipe[1], F_GETFL) | O_NONBLOCK);
        if (input.empty()) {
            CloseFd(inPipe[1]);
        }
    }

    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    int status = 0;
    rusage usage{};
    bool exited = false;
    while (true) {
        std::vector<pollfd> fds;
        if (outPipe[0] >= 0) {
            fds.push_back({outPipe[0], POLLIN, 0});
        }
        if (errPipe[0] >= 0) {
            fds.push_back({errPipe[0], POLLIN, 0});
        }
        if (inPipe[1] >= 0) {
            fds.push_back({inPipe[1], POLLOUT, 0});
        }
        if (fds.empty()) {
            // Nothing left to move: wait for the child, checking the deadline.
            const pid_t done = wait4(pid, &status, WNOHANG, &usage);
            if (done == pid) {
                exited = true;
                break;
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        const int waitMs = fds.empty() ? 5 : static_cast<int>(std::min<long long>(left, 100));
        if (fds.empty()) {
            poll(nullptr, 0, waitMs);
            continue;
        }
        if (poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR) {
            break;
        }
        for (const auto& p : fds) {
            if (p.revents == 0) {
                continue;
            }
            if (p.fd == inPipe[1]) {
                const ssize_t n = write(p.fd, input.data() + written, input.size() - written);
                if (n > 0) {
                    written += static_cast<std::size_t>(n);
                }
                if (n < 0 || written == input.size()) {
                    CloseFd(inPipe[1]);
                }
                continue;
            }
            char buffer[4096];
            const ssize_t n = read(p.fd, buffer, sizeof buffer);
            std::string& sink = (p.fd == outPipe[0]) ? result.out : result.err;
            if (n > 0) {
                sink.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                if (p.fd == outPipe[0]) {
                    CloseFd(outPipe[0]);
                } else {
                    CloseFd(errPipe[0]);
                }
            }
        }
    }
    CloseFd(outPipe[0]);
    CloseFd(errPipe[0]);
    CloseFd(inPipe[1]);
    if (!exited) {
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
    }
    result.exitCode = ExitCodeOf(status);
    result.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    result.peakRssKiB = usage.ru_maxrss;
    return result;
}

BackgroundProcess::BackgroundProcess(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const RunOptions& options) {
    std::vector<std::string> argvText;
    const std::vector<char*> argv = ArgumentVector(program, args, argvText);
    pid_ = fork();
    if (pid_ == 0) {
        ExecChild(argv, options, -1, -1, -1);
    }
}

BackgroundProcess::~BackgroundProcess() {
    if (running()) {
        kill(SIGKILL);
        (void)wait(std::chrono::seconds(10));
    }
}

bool BackgroundProcess::running() {
    if (pid_ <= 0 || exitCode_) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = ExitCodeOf(status);
        return false;
    }
    return true;
}

void BackgroundProcess::kill(int signal) {
    if (running()) {
        ::kill(pid_, signal);
    }
}

std::optional<int> BackgroundProcess::wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        poll(nullptr, 0, 1);
    }
    return exitCode_;
}

}  // namespace tallix::test
