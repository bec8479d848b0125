#pragma once

// What the journal remembers of a printer's current job.

#include <cstdint>

#include "journal/JobIdentity.h"

namespace tallix {

struct JobState {
    JobIdentity job;
    // Lines (indexes into the command file's lines, empty ones included) before nextLine were
    // all processed without a failure.
    uint64_t nextLine = 0;
    // The printer's sequence counter after those lines. With inFlight: the counter seen right
    // before line nextLine's frame was sent.
    int32_t sequence = 0;
    // Line nextLine's frame may have reached the printer; whether it was executed is not
    // known.
    bool inFlight = false;
    // Every line was processed without a failure.
    bool finished = false;

    bool operator==(const JobState&) const = default;
};

}  // namespace tallix
