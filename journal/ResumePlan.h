#pragma once

// Whether a run continues the printer's unfinished job or runs its command file in full: a
// pure decision on what the journal holds, which file this is and where the printer's
// counter stands now.

#include <cstdint>
#include <optional>
#include <string>

#include "journal/JobState.h"

namespace tallix {

struct ResumePlan {
    // Continue the saved job (it stays the printer's job); otherwise this run starts a new one.
    bool resume = false;
    // Lines before it are answered as done without being sent; 0 for a full run.
    uint64_t firstLine = 0;
    // The saved job's line in flight: whether the moved counter showed it executed (it is
    // then answered without being sent) or not (it is sent again). Nothing when none was.
    std::optional<bool> inFlightExecuted;
    // With resume: the counter went back below the remembered one, which tells nothing about
    // line firstLine, the line in flight. It is answered as failed without being sent, and
    // the journal is left as it is, to be decided by someone who looks at the paper.
    bool inFlightUndecided = false;
    // One sentence for the line trace.
    std::string reason;
};

// saved: the journal's state, nothing when there is no (valid) journal. currentSequence: the
// counter read from the printer just now, before anything was sent; nothing when unknown.
// lineCount: the lines of this command file. allowed: false for --no-resume.
//
// The saved job resumes only when it is unfinished, has this file's identity, fits the file,
// and the counter tells what happened: with a line in flight, a counter that moved up since the
// remembered value means the line was executed, an unchanged one that it was not, and a lower
// one (a printer that lost its state) nothing, so the line is left undecided; with no
// line in flight the counter must not have moved at all (else another program used the
// printer in between and nothing of the saved state can be trusted).
ResumePlan PlanResume(const std::optional<JobState>& saved, const JobIdentity& identity,
                      std::optional<int32_t> currentSequence, uint64_t lineCount, bool allowed);

}  // namespace tallix
