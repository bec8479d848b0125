#pragma once

// What a printer operation did with its command: the printer executed it, it was sent (or
// sending was tried) and failed, or it was refused before anything was sent because its
// arguments cannot make a valid command text. A refusal means the caller's data must change;
// a failure says nothing about the data.

#include <cstdint>

namespace tallix {

class Outcome {
  public:
    enum Kind : uint8_t { kDone, kFailed, kRefused };

    // Implicit on purpose: true is kDone and false kFailed, what an operation that cannot
    // refuse answers, and a kind converts as it is.
    constexpr Outcome(bool done) : kind_(done ? kDone : kFailed) {}
    constexpr Outcome(Kind kind) : kind_(kind) {}

    // Only kDone is true.
    constexpr explicit operator bool() const { return kind_ == kDone; }
    constexpr Kind kind() const { return kind_; }
    constexpr bool refused() const { return kind_ == kRefused; }

  private:
    Kind kind_;
};

}  // namespace tallix
