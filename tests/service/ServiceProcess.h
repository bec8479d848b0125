#pragma once

// tallixd as a child process for the tests: a devices file naming simulated printers, a state
// folder that outlives restarts, a Unix socket and a loopback port with a token.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/HttpClient.h"
#include "tests/support/TempDir.h"

namespace tallix::test {

inline constexpr const char* kServiceToken = "test-token-0123456789";

struct ServicePrinter {
    std::string key;
    std::string path;          // the printer's device
    std::string serialNumber;  // the entry's SerialNumber ("" for none)
};

// The devices file's XML for printers.
std::string DevicesXml(const std::vector<ServicePrinter>& printers);

class ServiceProcess {
  public:
    // Starts tallixd on the devices of printers with its state in stateFolder and waits for
    // its "listening on" lines.
    ServiceProcess(const std::string& stateFolder, const std::vector<ServicePrinter>& printers,
                   const std::vector<std::string>& extraArgs = {});
    ~ServiceProcess();  // SIGKILL when it still runs
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    bool ready() const { return port_ > 0; }
    pid_t pid() const { return pid_; }
    int port() const { return port_; }
    const std::string& socketPath() const { return socket_; }
    // Standard output as far as read (the "listening on" lines).
    const std::string& announced() const { return out_; }

    HttpClient Unix() const { return HttpClient(socket_); }
    HttpClient Tcp() const;

    void Kill();  // SIGKILL, reaped
    // SIGTERM and wait: the exit code (-1 when it did not end in time).
    int Stop(std::chrono::milliseconds timeout = std::chrono::seconds(30));

  private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
    std::string socket_;
    std::string out_;
};

// What a tallixd command line gives when it does not start: exit code and standard error.
struct ServiceRefusal {
    int exitCode = -1;
    std::string err;
    std::string out;
};
ServiceRefusal RunServiceToEnd(const std::vector<std::string>& args);

// The JSON field "state" of a job view ("" when there is none).
std::string JobState(const HttpAnswer& answer);

}  // namespace tallix::test
