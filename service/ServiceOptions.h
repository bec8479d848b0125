#pragma once

// The command line of tallixd.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallix {

// Where the service listens: a Unix socket or a loopback address with a port (0: any free
// one). Nothing else: this version serves its own machine only.
struct ListenAddress {
    enum class Kind { Unix, Tcp };
    Kind kind = Kind::Unix;
    std::string path;  // Unix: the socket's path
    std::string host;  // Tcp: "127.0.0.1" or "::1"
    uint16_t port = 0;
};

// "unix:PATH", "127.0.0.1:PORT" or "[::1]:PORT"; nothing (with why in error) for anything
// else.
std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error);

// The address as --listen takes it.
std::string ListenAddressText(const ListenAddress& address);

struct ServiceOptions {
    std::string devicesFile;                // --devices
    std::string stateFolder;                // --state
    std::vector<ListenAddress> listen;      // --listen, in order
    std::string tokenFile;                  // --token-file
    std::vector<std::string> allowOrigins;  // --allow-origin
    bool help = false;                      // --help
    bool version = false;                   // --version
};

// Scans arguments (without the program name). Options take their value as the next argument
// or after "=". Nothing, with why in error, for an unknown option, a missing value, a bad
// address or origin, a missing --devices or --state, or a TCP listener without a token file.
// Listeners may be left out only when systemd hands the service its sockets (the caller
// checks).
std::optional<ServiceOptions> ParseServiceOptions(const std::vector<std::string>& arguments,
                                                  std::string& error);

// An origin as browsers send it: scheme "http" or "https", "://", a host, an optional ":port",
// nothing more (no path, no trailing "/").
bool IsOriginText(const std::string& text);

}  // namespace tallix
