#pragma once

// A small HTTP/1.1 client on plain sockets, for the tests of tallixd: whole requests, raw
// bytes, and connections cut at a chosen byte. One connection per request.

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tallix::test {

struct HttpAnswer {
    int status = 0;                              // 0 when no complete answer came
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    std::string header(const std::string& lowerCaseName) const;
};

// Where the service listens: "unix:PATH" or a TCP port on 127.0.0.1.
class HttpClient {
  public:
    explicit HttpClient(std::string unixPath) : unixPath_(std::move(unixPath)) {}
    explicit HttpClient(int tcpPort) : tcpPort_(tcpPort) {}

    // Adds "Authorization: Bearer token" to every request.
    void setToken(std::string token) { token_ = std::move(token); }

    HttpAnswer Request(const std::string& method, const std::string& target,
                       const std::vector<std::pair<std::string, std::string>>& headers = {},
                       const std::string& body = {}) const;

    // The request's bytes as Request sends them (Host: localhost, Connection: close,
    // Content-Length when a body is given).
    std::string Format(const std::string& method, const std::string& target,
                       const std::vector<std::pair<std::string, std::string>>& headers,
                       const std::string& body) const;

    // Sends bytes, then reads the answer until the service closes (or timeout).
    HttpAnswer Raw(const std::string& bytes,
                   std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

    // Sends the first count bytes and closes the connection at once.
    void SendCut(const std::string& bytes, std::size_t count) const;

    // A connected socket (-1 when the connection failed); the caller closes it.
    int Connect() const;

  private:
    std::string unixPath_;
    int tcpPort_ = 0;
    std::string token_;
};

// Parses an answer's bytes: status line, headers and the body (Content-Length or to the end).
HttpAnswer ParseAnswer(const std::string& bytes);

// Reads from fd until the peer closes or timeout; what came. closed (when given) tells
// whether the peer closed.
std::string ReadUntilClosed(int fd, std::chrono::milliseconds timeout, bool* closed);

}  // namespace tallix::test
