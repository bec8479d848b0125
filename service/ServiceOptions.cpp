#include "service/ServiceOptions.h"

#include <charconv>

namespace tallix {
namespace {

std::optional<uint16_t> PortOf(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error) {
    ListenAddress address;
    if (text.rfind("unix:", 0) == 0) {
        address.kind = ListenAddress::Kind::Unix;
        address.path = text.substr(5);
        // sockaddr_un holds 107 bytes and the terminating zero.
        if (address.path.empty() || address.path.size() > 107) {
            error = "--listen " + text + ": the socket path must be 1 to 107 bytes";
            return std::nullopt;
        }
        return address;
    }
    address.kind = ListenAddress::Kind::Tcp;
    std::string_view port;
    if (text.rfind("127.0.0.1:", 0) == 0) {
        address.host = "127.0.0.1";
        port = std::string_view(text).substr(10);
    } else if (text.rfind("[::1]:", 0) == 0) {
        address.host = "::1";
        port = std::string_view(text).substr(6);
    } else {
        error = "--listen " + text +
                ": only unix:PATH, 127.0.0.1:PORT and [::1]:PORT (this machine only)";
        return std::nullopt;
    }
    const std::optional<uint16_t> number = PortOf(port);
    if (!number) {
        error = "--listen " + text + ": the port must be 0 to 65535";
        return std::nullopt;
    }
    address.port = *number;
    return address;
}

std::string ListenAddressText(const ListenAddress& address) {
    if (address.kind == ListenAddress::Kind::Unix) {
        return "unix:" + address.path;
    }
    const std::string host = address.host == "::1" ? "[::1]" : address.host;
    return host + ":" + std::to_string(address.port);
}

bool IsOriginText(const std::string& text) {
    std::string_view rest = text;
    if (rest.rfind("https://", 0) == 0) {
        rest.remove_prefix(8);
    } else if (rest.rfind("http://", 0) == 0) {
        rest.remove_prefix(7);
    } else {
        return false;
    }
    if (rest.empty()) {
        return false;
    }
    for (const char c : rest) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' ||
                             c == '[' || c == ']';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

namespace {

bool IsValueOption(const std::string& name) {
    return name == "--devices" || name == "--state" || name == "--listen" ||
           name == "--token-file" || name == "--allow-origin";
}

// Stores one option's value; false with `error` set when the value is not acceptable.
bool ApplyValueOption(const std::string& name, const std::string& value, ServiceOptions& options,
                      std::string& error) {
    if (name == "--devices") {
        options.devicesFile = value;
    } else if (name == "--state") {
        options.stateFolder = value;
    } else if (name == "--token-file") {
        options.tokenFile = value;
    } else if (name == "--allow-origin") {
        if (!IsOriginText(value)) {
            error = "--allow-origin " + value +
                    ": an origin is scheme, host and port, such as https://till.example:8443";
            return false;
        }
        options.allowOrigins.push_back(value);
    } else {
        const std::optional<ListenAddress> address = ParseListenAddress(value, error);
        if (!address) {
            return false;
        }
        options.listen.push_back(*address);
    }
    return true;
}

// The options must together make a service that can run; false with `error` set otherwise.
bool CheckServiceOptions(const ServiceOptions& options, std::string& error) {
    if (options.devicesFile.empty() || options.stateFolder.empty()) {
        error = "--devices FILE and --state DIR are required";
        return false;
    }
    for (const ListenAddress& address : options.listen) {
        if (address.kind == ListenAddress::Kind::Tcp && options.tokenFile.empty()) {
            error = "a TCP listener needs --token-file: every request on it must carry a token";
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<ServiceOptions> ParseServiceOptions(const std::vector<std::string>& arguments,
                                                  std::string& error) {
    ServiceOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name == "--help" || name == "--version") {
            (name == "--help" ? options.help : options.version) = true;
            continue;
        }
        if (!IsValueOption(name)) {
            error = "unknown option " + name;
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = arguments[++i];
        }
        if (!ApplyValueOption(name, *value, options, error)) {
            return std::nullopt;
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (!CheckServiceOptions(options, error)) {
        return std::nullopt;
    }
    return options;
}

}  // namespace tallix
