#include "tests/service/ServiceProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "tests/support/RunProcess.h"
#include "tests/support/WaitFor.h"

namespace tallix::test {

std::string DevicesXml(const std::vector<ServicePrinter>& printers) {
    std::string xml = "<Data Version=\"1.0\">\n    <DefaultKey/>\n    <Devices>\n";
    for (const ServicePrinter& printer : printers) {
        xml += "        <Device Type=\"VX-37\" Country=\"RO\" Key=\"" + printer.key +
               "\" SerialNumber=\"" + printer.serialNumber + "\" Path=\"" + printer.path +
               "\" Speed=\"9600\" LogicalID=\"1\"/>\n";
    }
    xml += "    </Devices>\n</Data>\n";
    return xml;
}

ServiceProcess::ServiceProcess(const std::string& stateFolder,
                               const std::vector<ServicePrinter>& printers,
                               const std::vector<std::string>& extraArgs) {
    (void)TempDir::WriteFile(dir_.file("devices.xml"), DevicesXml(printers));
    (void)TempDir::WriteFile(dir_.file("tokens"),
                             std::string("# tokens of the tests\n") + kServiceToken + "\n");
    socket_ = dir_.file("tallixd.sock");
    std::vector<std::string> args = {
        TALLIXD_PATH,  "--devices",    dir_.file("devices.xml"), "--state",
        stateFolder,   "--listen",     "unix:" + socket_,        "--listen",
        "127.0.0.1:0", "--token-file", dir_.file("tokens")};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    // Two listeners, two lines.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::count(out_.begin(), out_.end(), '\n') < 2 &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd waiting{out[0], POLLIN, 0};
        if (::poll(&waiting, 1, 200) <= 0) {
            continue;
        }
        char chunk[512];
        const ssize_t got = ::read(out[0], chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        out_.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(out[0]);
    const std::string prefix = "listening on http://127.0.0.1:";
    const std::size_t at = out_.find(prefix);
    if (at != std::string::npos) {
        port_ = std::atoi(out_.c_str() + at + prefix.size());
    }
}

ServiceProcess::~ServiceProcess() {
    Kill();
}

HttpClient ServiceProcess::Tcp() const {
    HttpClient client(port_);
    client.setToken(kServiceToken);
    return client;
}

void ServiceProcess::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

int ServiceProcess::Stop(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    if (!WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, timeout)) {
        return -1;
    }
    pid_ = -1;
    return ExitCodeOf(status);
}

ServiceRefusal RunServiceToEnd(const std::vector<std::string>& args) {
    RunOptions options;
    options.captureStderr = true;
    options.captureStdout = true;
    options.timeout = std::chrono::seconds(30);
    const ProcessResult result = RunProcess(TALLIXD_PATH, args, options);
    return {result.exitCode, result.err, result.out};
}

std::string JobState(const HttpAnswer& answer) {
    const nlohmann::json json = nlohmann::json::parse(answer.body, nullptr, false);
    if (!json.is_object() || !json.contains("state") || !json["state"].is_string()) {
        return "";
    }
    return json["state"].get<std::string>();
}

}  // namespace tallix::test
