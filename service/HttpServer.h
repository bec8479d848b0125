#pragma once

// The HTTP/1.1 side of tallixd: listeners on Unix sockets and loopback ports, one I/O thread,
// every read with a deadline, and the limits that keep one client from locking others out.
// What a request gets is the Api's decision.

#include <memory>
#include <string>
#include <vector>

#include "service/Api.h"
#include "service/ServiceOptions.h"

namespace tallix {

constexpr std::size_t kConnectionLimit = 64;

class HttpServer {
  public:
    explicit HttpServer(Api& api);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Opens a listener (a Unix socket gets mode 0660; a stale socket file is replaced).
    bool Listen(const ListenAddress& address, std::string& error);
    // Takes a listening socket that systemd passed; TCP ones must be bound to a loopback
    // address. tcp tells which kind it was, where its address as ListenAddressText gives it.
    bool Adopt(int fd, bool& tcp, std::string& where, std::string& error);
    // "listening on http://127.0.0.1:PORT" or "listening on unix:PATH", one per listener.
    std::vector<std::string> Announcements() const;

    // Serves until SIGTERM, SIGINT or Stop().
    void Run();
    // From any thread.
    void Stop();
    // From any thread: the job's state changed; answers that wait for it look again.
    void JobChanged(const std::string& id);

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace tallix
