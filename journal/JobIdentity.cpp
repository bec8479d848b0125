#include "journal/JobIdentity.h"

#define XXH_STATIC_LINKING_ONLY  // XXH3_state_t by value
#include <xxhash.h>

#include "posix/Hex.h"

namespace tallix {

struct JobIdentityHasher::State {
    XXH3_state_t xxh{};
};

namespace {

JobIdentity FromHash(const XXH128_hash_t& hash) {
    return {hash.high64, hash.low64};
}

}  // namespace

std::string IdentityText(const JobIdentity& identity) {
    return LowerHex64(identity.high) + LowerHex64(identity.low);
}

std::optional<JobIdentity> ParseIdentityText(std::string_view text) {
    if (text.size() != 32) {
        return std::nullopt;
    }
    const std::optional<uint64_t> high = ParseLowerHex64(text.substr(0, 16));
    const std::optional<uint64_t> low = ParseLowerHex64(text.substr(16));
    if (!high || !low) {
        return std::nullopt;
    }
    return JobIdentity{*high, *low};
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
