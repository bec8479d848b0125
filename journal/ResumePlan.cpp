#include "journal/ResumePlan.h"

namespace tallix {
namespace {

ResumePlan FullRun(std::string reason) {
    ResumePlan plan;
    plan.reason = std::move(reason);
    return plan;
}

// Line numbers for people count from 1.
std::string LineNumber(uint64_t index) {
    return std::to_string(index + 1);
}

// The counter moved up from b (also across the wrap of 32 bits), as the link compares it.
bool Ahead(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)) > 0;
}

std::string Skipped(uint64_t count) {
    if (count == 0) {
        return "no line answered without sending";
    }
    if (count == 1) {
        return "line 1 answered without sending";
    }
    return "lines 1 to " + std::to_string(count) + " answered without sending";
}

}  // namespace

ResumePlan PlanResume(const std::optional<JobState>& saved, const JobIdentity& identity,
                      std::optional<int32_t> currentSequence, uint64_t lineCount, bool allowed) {
    if (!allowed) {
        return FullRun("--no-resume: the file runs in full as a new job");
    }
    if (!saved) {
        return FullRun("no job of this printer to resume: the file runs in full");
    }
    if (saved->finished) {
        return FullRun("the printer's last job finished: the file runs in full as a new job");
    }
    if (!(saved->job == identity)) {
        return FullRun(
            "the printer's unfinished job is another command file: this one runs in full as a "
            "new job");
    }
    if (!currentSequence) {
        return FullRun("the printer's counter is not known: the file runs in full as a new job");
    }
    const int32_t now = *currentSequence;
    const std::string counters =
        std::to_string(saved->sequence) + " then, " + std::to_string(now) + " now";
    const uint64_t line = saved->nextLine;
    if (line > lineCount || (saved->inFlight && line >= lineCount)) {
        return FullRun("the journal does not fit this command file: the file runs in full");
    }

    ResumePlan plan;
    plan.resume = true;
    if (saved->inFlight && now != saved->sequence && !Ahead(now, saved->sequence)) {
        plan.inFlightUndecided = true;
        plan.firstLine = line;
        plan.reason = "line " + LineNumber(line) + " was in flight and the counter went back (" +
                      counters +
                      "): whether it was executed cannot be told; it is answered as failed and "
                      "not sent, and the journal keeps it for a person to decide (--no-resume "
                      "runs the file in full); " +
                      Skipped(line);
        return plan;
    }
    if (saved->inFlight) {
        const bool executed = now != saved->sequence;
        plan.inFlightExecuted = executed;
        plan.firstLine = executed ? line + 1 : line;
        plan.reason = "resuming: line " + LineNumber(line) + " was in flight and the counter " +
                      (executed ? "moved (" + counters + "): it was executed and is not sent again"
                                : "is unchanged (" + counters +
                                      "): it was not executed and is "
                                      "sent again") +
                      "; " + Skipped(plan.firstLine);
        return plan;
    }
    if (now != saved->sequence) {
        return FullRun("the counter moved since the job stopped (" + counters +
                       "): another program used the printer, so the file runs in full as a new "
                       "job");
    }
    plan.firstLine = line;
    plan.reason = "resuming at line " + LineNumber(line) + " (counter " + std::to_string(now) +
                  " as the job left it); " + Skipped(line);
    return plan;
}

}  // namespace tallix
