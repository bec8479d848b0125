#pragma once

// The messages of the result file: for each device error code the message number and text that
// its result line carries, and whether the code stops the rest of the job.

#include <cstdint>
#include <string_view>

namespace tallix {

struct ResultMessage {
    int32_t number;
    std::string_view text;
    bool stopsLaterLines;
};

// The message of code on a line with commandNumber. A code the table does not list carries
// its own number and "Error code". The few codes that leave a command without a message (5012
// and 5017 on free text, 5015 on sales, payments and free text) read as "No error", and their
// command runs on as after a success.
ResultMessage MessageFor(int32_t commandNumber, int32_t code);

// Whether a line answered with code stops the job: every later line is then answered "Error
// in previous command" without being sent.
bool StopsLaterLines(int32_t commandNumber, int32_t code);

}  // namespace tallix
