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
    // The run that wrote this record closed the line with no answer owed and the printer's
    // counter known after its last command; every record written while a run goes on says
    // false. A later run that does not find it true lets the line settle before it trusts
    // an answer.
    bool lineClean = false;
    // The longest time the printer was seen to take to answer, in milliseconds.
    int32_t slowestMs = 0;

    bool operator==(const JobState&) const = default;
};

}  // namespace tallix
