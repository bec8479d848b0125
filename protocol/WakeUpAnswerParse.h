#pragma once

#include <cstdint>

#include "protocol/Frame.h"

namespace tallix {

// Fills answer from the text of a wake-up answer frame (length bytes, CR included; fields are
// looked for only up to its first zero byte). serialNumber is zeroed and receives field 0, at
// most 10 bytes; field 1, at most 20 bytes, becomes sequence. False when field 0 is missing,
// or field 1 is missing and requireSequence is set; sequence is then left as it was.
bool ParseWakeUpAnswer(const uint8_t* text, int length, bool requireSequence, WakeUpAnswer& out);

}  // namespace tallix
