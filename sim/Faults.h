#pragma once

#include <cstdint>

namespace tallix {

// A fault that strikes the next `next` events and, besides, every `every`-th event counted
// from the start (0 turns either form off). Deterministic: it depends only on the count.
struct CountedFault {
    int64_t next = 0;
    int64_t every = 0;
    int64_t seen = 0;

    bool enabled() const { return next > 0 || every > 0; }
    // Counts one event; true when the fault strikes it.
    bool strike() {
        ++seen;
        if (next > 0) {
            --next;
            return true;
        }
        return every > 0 && seen % every == 0;
    }
};

// The misbehaviour a test asks of the printer. Counts of "commands" are of command frames
// that arrived intact and were not dropped, executed or refused alike.
struct FaultSettings {
    CountedFault dropAck;               // valid frames executed without ACK
    CountedFault dropFrame;             // valid frames neither acknowledged nor executed
    CountedFault corruptAnswer;         // wake-up answers sent with a wrong checksum
    int noiseBytes = 0;                 // bytes sent before the LF of a wake-up answer...
    CountedFault noiseAnswer{0, 1, 0};  // ...of these answers (by default every one)
    bool mute = false;                  // answer no wake-up
    int64_t muteAfterCommands = -1;     // answer no wake-up once this many commands came
    int64_t muteAfterWakeups = -1;      // answer only the first this many wake-ups
    bool freezeSequence = false;        // execute, but never move the sequence
    int64_t hangupAfter = -1;           // hang up once this many commands came
    int delayMs = 0;                    // every reply (ACK and answer) goes out this much later
    // Besides delayMs, every reply waits a random time in [jitterMinMs, jitterMaxMs], drawn
    // from a generator seeded with jitterSeed, so a run can be repeated exactly.
    int jitterMinMs = 0;
    int jitterMaxMs = 0;
    uint64_t jitterSeed = 1;
};

}  // namespace tallix
