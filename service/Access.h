#pragma once

// Who may call the service: tokens for TCP listeners, the origins whose web pages may call
// it, and the Host names it answers to.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallix {

// The tokens of a token file: one per line, "#" starts a comment, blanks around a token are
// dropped. Nothing (with why in error) when the file cannot be read or holds no token.
std::optional<std::vector<std::string>> LoadTokens(const std::string& path, std::string& error);

// The Authorization header value carries "Bearer " and one of tokens (compared in time that
// does not depend on where a guess differs).
bool BearerAllowed(std::string_view authorization, const std::vector<std::string>& tokens);

// A Host header that names this machine: "localhost", "127.0.0.1" or "[::1]", each with an
// optional ":port". Any other name could be a DNS name rebound to 127.0.0.1 by a web page.
bool IsLoopbackHost(std::string_view host);

// 1 to 128 characters of letters, digits, ".", "_", ":" and "-".
bool IsIdempotencyKey(std::string_view key);

}  // namespace tallix
