#include "service/Access.h"

#include <fstream>

namespace tallix {
namespace {

constexpr std::size_t kIdempotencyKeyLimit = 128;

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameSecret(std::string_view given, std::string_view token) {
    if (token.empty()) {
        return false;
    }
    unsigned char difference = given.size() == token.size() ? 0 : 1;
    for (std::size_t i = 0; i < given.size(); ++i) {
        difference |= static_cast<unsigned char>(given[i] ^ token[i % token.size()]);
    }
    return difference == 0;
}

}  // namespace

std::optional<std::vector<std::string>> LoadTokens(const std::string& path, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "--token-file " + path + ": cannot be read";
        return std::nullopt;
    }
    std::vector<std::string> tokens;
    std::string line;
    while (std::getline(file, line)) {
        std::string_view text = line;
        text = text.substr(0, text.find('#'));
        text = TrimBlanks(text);
        if (!text.empty()) {
            tokens.emplace_back(text);
        }
    }
    if (tokens.empty()) {
        error = "--token-file " + path + ": holds no token";
        return std::nullopt;
    }
    return tokens;
}

bool BearerAllowed(std::string_view authorization, const std::vector<std::string>& tokens) {
    constexpr std::string_view kScheme = "Bearer ";
    if (authorization.substr(0, kScheme.size()) != kScheme) {
        return false;
    }
    const std::string_view given = TrimBlanks(authorization.substr(kScheme.size()));
    bool allowed = false;
    for (const std::string& token : tokens) {
        allowed = SameSecret(given, token) || allowed;
    }
    return !given.empty() && allowed;
}

bool IsLoopbackHost(std::string_view host) {
    std::string_view name = host;
    if (!name.empty() && name.front() == '[') {
        const std::size_t close = name.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        const std::string_view rest = name.substr(close + 1);
        name = name.substr(0, close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return false;
        }
    } else if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
        name = name.substr(0, colon);
    }
    return name == "localhost" || name == "127.0.0.1" || name == "[::1]";
}

bool IsIdempotencyKey(std::string_view key) {
    if (key.empty() || key.size() > kIdempotencyKeyLimit) {
        return false;
    }
    for (const char c : key) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '.' || c == '_' || c == ':' || c == '-';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

}  // namespace tallix
