#include "journal/JobIdentity.h"

#define XXH_STATIC_LINKING_ONLY  // XXH3_state_t by value
#include <xxhash.h>

#include <cstdio>

namespace tallix {

struct JobIdentityHasher::State {
    XXH3_state_t xxh{};
};

namespace {

JobIdentity FromHash(const XXH128_hash_t& hash) {
    return {hash.high64, hash.low64};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::string IdentityText(const JobIdentity& identity) {
    char text[33];
    (void)std::snprintf(text, sizeof text, "%016llx%016llx",
                        static_cast<unsigned long long>(identity.high),
                        static_cast<unsigned long long>(identity.low));
    return text;
}

std::optional<JobIdentity> ParseIdentityText(std::string_view text) {
    if (text.size() != 32) {
        return std::nullopt;
    }
    JobIdentity identity;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            return std::nullopt;
        }
        uint64_t& half = i < 16 ? identity.high : identity.low;
        half = (half << 4) | static_cast<uint64_t>(digit);
    }
    return identity;
}

JobIdentityHasher::JobIdentityHasher() : state_(std::make_unique<State>()) {
    XXH3_128bits_reset(&state_->xxh);
}

JobIdentityHasher::~JobIdentityHasher() = default;

void JobIdentityHasher::add(std::string_view bytes) {
    if (!bytes.empty()) {
        XXH3_128bits_update(&state_->xxh, bytes.data(), bytes.size());
    }
}

JobIdentity JobIdentityHasher::identity() const {
    return FromHash(XXH3_128bits_digest(&state_->xxh));
}

JobIdentity IdentityOf(std::string_view bytes) {
    return FromHash(XXH3_128bits(bytes.data(), bytes.size()));
}

}  // namespace tallix
