#include "tests/support/HttpClient.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>

namespace tallix::test {
namespace {

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

std::string HttpAnswer::header(const std::string& lowerCaseName) const {
    const auto found = headers.find(lowerCaseName);
    return found == headers.end() ? std::string() : found->second;
}

int HttpClient::Connect() const {
    if (!unixPath_.empty()) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, unixPath_.c_str(), sizeof address.sun_path - 1);
        if (fd < 0 ||
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (fd >= 0) {
                ::close(fd);
            }
            return -1;
        }
        return fd;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(tcpPort_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    return fd;
}

std::string HttpClient::Format(const std::string& method, const std::string& target,
                               const std::vector<std::pair<std::string, std::string>>& headers,
                               const std::string& body) const {
    std::string bytes = method + " " + target + " HTTP/1.1\r\n";
    bool host = false;
    for (const auto& [name, value] : headers) {
        host = host || Lower(name) == "host";
    }
    if (!host) {
        bytes += "Host: localhost\r\n";
    }
    if (!token_.empty()) {
        bytes += "Authorization: Bearer " + token_ + "\r\n";
    }
    for (const auto& [name, value] : headers) {
        bytes += name + ": " + value + "\r\n";
    }
    if (!body.empty() || method == "POST") {
        bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    bytes += "Connection: close\r\n\r\n";
    bytes += body;
    return bytes;
}

HttpAnswer HttpClient::Request(const std::string& method, const std::string& target,
                               const std::vector<std::pair<std::string, std::string>>& headers,
                               const std::string& body) const {
    return Raw(Format(method, target, headers, body), std::chrono::seconds(90));
}

HttpAnswer HttpClient::Raw(const std::string& bytes, std::chrono::milliseconds timeout) const {
    const int fd = Connect();
    if (fd < 0) {
        return {};
    }
    // The service may answer and close before it has read everything (a refused request):
    // what it sent is read in any case.
    (void)SendAll(fd, bytes.data(), bytes.size());
    const std::string answer = ReadUntilClosed(fd, timeout, nullptr);
    ::close(fd);
    return ParseAnswer(answer);
}

void HttpClient::SendCut(const std::string& bytes, std::size_t count) const {
    const int fd = Connect();
    if (fd < 0) {
        return;
    }
    (void)SendAll(fd, bytes.data(), std::min(count, bytes.size()));
    // A reset rather than an orderly close when the request is cut: nothing lingers.
    const linger abort{1, 0};
    (void)::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(fd);
}

std::string ReadUntilClosed(int fd, std::chrono::milliseconds timeout, bool* closed) {
    std::string bytes;
    if (closed != nullptr) {
        *closed = false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char chunk[16384];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (closed != nullptr) {
                *closed = true;
            }
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

HttpAnswer ParseAnswer(const std::string& bytes) {
    HttpAnswer answer;
    const std::size_t end = bytes.find("\r\n\r\n");
    if (bytes.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) {
        return answer;
    }
    std::size_t line = bytes.find("\r\n");
    const int status = std::atoi(bytes.substr(9, 3).c_str());
    while (line < end) {
        const std::size_t next = bytes.find("\r\n", line + 2);
        const std::string field = bytes.substr(line + 2, next - line - 2);
        const std::size_t colon = field.find(':');
        if (colon != std::string::npos) {
            std::string value = field.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') {
                value.erase(0, 1);
            }
            answer.headers.emplace(Lower(field.substr(0, colon)), value);
        }
        line = next;
    }
    answer.body = bytes.substr(end + 4);
    if (answer.headers.count("content-length") != 0) {
        const std::size_t length = std::stoul(answer.headers["content-length"]);
        if (answer.body.size() < length) {
            return answer;  // cut off: no complete answer
        }
        answer.body.resize(length);
    }
    answer.status = status;
    return answer;
}

}  // namespace tallix::test
