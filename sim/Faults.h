#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tallix {

// Random draws that repeat exactly for a seed on every library and platform (splitmix64):
// a test that names a seed gets the same faults at the same events every time.
class Draws {
  public:
    Draws() = default;
    explicit Draws(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31U);
    }
    // A value in [low, high] (low when high is not above it).
    int64_t between(int64_t low, int64_t high) {
        if (high <= low) {
            return low;
        }
        return low + static_cast<int64_t>(next() % static_cast<uint64_t>(high - low + 1));
    }

  private:
    uint64_t state_ = 0;
};

// A fault that strikes the next `next` events, every `every`-th event counted from the start,
// the events numbered in `at` (from 1), and each event with a chance of `percent` in 100
// drawn from `draws` (0 or empty turns a form off). Deterministic: it depends only on the
// count and, for the chance, on the seed of its draws.
struct CountedFault {
    int64_t next = 0;
    int64_t every = 0;
    int64_t seen = 0;
    std::vector<int64_t> at;
    int percent = 0;
    Draws draws;

    // A fault that strikes every k-th event.
    static CountedFault Every(int64_t k) {
        CountedFault fault;
        fault.every = k;
        return fault;
    }
    // A fault that strikes the next n events.
    static CountedFault Next(int64_t n) {
        CountedFault fault;
        fault.next = n;
        return fault;
    }

    bool enabled() const { return next > 0 || every > 0 || !at.empty() || percent > 0; }
    // Counts one event; true when the fault strikes it.
    bool strike() {
        ++seen;
        // The chance is drawn for every event, so that the other forms never shift its draws.
        const bool chance = percent > 0 && draws.between(1, 100) <= percent;
        if (next > 0) {
            --next;
            return true;
        }
        return (every > 0 && seen % every == 0) ||
               std::find(at.begin(), at.end(), seen) != at.end() || chance;
    }
};

// The misbehaviour a test asks of the printer. Counts of "commands" are of command frames
// that arrived intact and were not dropped, executed or refused alike.
struct FaultSettings {
    CountedFault dropAck;        // valid frames executed without ACK
    CountedFault dropFrame;      // valid frames neither acknowledged nor executed
    CountedFault refuseFrame;    // commands acknowledged but refused, not executed
    CountedFault corruptAnswer;  // wake-up answers sent with a wrong checksum
    int noiseBytes = 0;          // bytes sent before the LF of a wake-up answer...
    CountedFault noiseAnswer =
        CountedFault::Every(1);  // ...of these answers (by default every one)
    CountedFault dropAnswer;     // wake-ups for this ID that never get an answer
    CountedFault doubleAnswer;   // wake-up answers sent twice...
    int doubleGapMs = 100;       // ...the copy this long after the first was due
    // Answer-shaped bytes with a wrong checksum after these requests (wake-ups for this ID
    // and intact frames), a random falseMinMs..falseMaxMs after the request.
    CountedFault falseAnswer;
    int falseMinMs = 0;
    int falseMaxMs = 0;
    int64_t setSequenceAt = 0;       // at this intact frame (dropped or not, from 1)...
    int32_t setSequenceTo = 1;       // ...the counter becomes this value
    int sequenceLagMs = 0;           // an executed command moves the counter this much later
    bool mute = false;               // answer no wake-up
    int64_t muteAfterCommands = -1;  // answer no wake-up once this many commands came
    int64_t muteAfterWakeups = -1;   // answer only the first this many wake-ups
    bool freezeSequence = false;     // execute, but never move the sequence
    int64_t hangupAfter = -1;        // hang up once this many commands came
    int delayMs = 0;                 // every reply (ACK and answer) goes out this much later
    // Besides delayMs, every reply waits a random time in [jitterMinMs, jitterMaxMs]. The
    // jitter and every random fault draw from generators seeded with seed, so a run can be
    // repeated exactly.
    int jitterMinMs = 0;
    int jitterMaxMs = 0;
    uint64_t seed = 1;
};

}  // namespace tallix
