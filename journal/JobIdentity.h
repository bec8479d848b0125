#pragma once

// Which command file a job runs: a 128-bit hash (XXH3) of the file's bytes. Two runs of the
// same bytes are the same job; any changed byte makes another job.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tallix {

struct JobIdentity {
    uint64_t high = 0;
    uint64_t low = 0;
    bool operator==(const JobIdentity&) const = default;
};

// 32 lower-case hex digits, high half first.
std::string IdentityText(const JobIdentity& identity);
// The identity of IdentityText's form; nothing for anything else.
std::optional<JobIdentity> ParseIdentityText(std::string_view text);

// Hashes a file's bytes as they are read, chunk by chunk.
class JobIdentityHasher {
  public:
    JobIdentityHasher();
    ~JobIdentityHasher();
    JobIdentityHasher(const JobIdentityHasher&) = delete;
    JobIdentityHasher& operator=(const JobIdentityHasher&) = delete;

    void add(std::string_view bytes);
    // The identity of all bytes added so far.
    JobIdentity identity() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The identity of bytes taken whole.
JobIdentity IdentityOf(std::string_view bytes);

}  // namespace tallix
