#pragma once

// The lines of a result file read back, for the job's JSON view and for the worker's decisions
// whether a run stopped because the printer fell silent and whether it may have left a receipt
// open.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallix {

// One result line: "49";"0";"No error"; and, after a paid payment, an empty extra field.
struct ResultEntry {
    int32_t command = 0;
    int32_t messageNumber = 0;
    std::string message;
    std::optional<std::string> extra;
};

// Every complete line (ending in a line feed); a line still being written is left out.
std::vector<ResultEntry> ParseResultLines(std::string_view bytes);

// What the lines say about the run that wrote them.
struct ResultSummary {
    bool anyFailure = false;  // a line reports a failure (it set the run's failure flag)
    bool unanswered = false;  // a line is "No printer response": the printer fell silent or
                              // did not take the command
    // A line the printer may have executed: one it answered without setting the failure flag
    // ("No error", or a look-up that found nothing), or one it left unanswered (it may have
    // executed it before it fell silent). A run without any such line left the printer as it
    // found it.
    bool anyExecuted = false;
};
ResultSummary Summarize(const std::vector<ResultEntry>& lines);

}  // namespace tallix
