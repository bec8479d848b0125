#include "protocol/WakeUpAnswerParse.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "protocol/TextConversion.h"
#include "protocol/Timing.h"

namespace tallix {

static_assert(kSerialFieldLength == kSerialNumberLength, "field 0 fills serialNumber");

bool ParseWakeUpAnswer(const uint8_t* text, int length, bool requireSequence, WakeUpAnswer& out) {
    if (text == nullptr || length < 0) {
        return false;
    }
    // A terminated copy, so that the field search stops at the end of what was received.
    std::vector<uint8_t> source(static_cast<std::size_t>(length) + 1, 0);
    std::copy_n(text, length, source.begin());

    std::memset(out.serialNumber, 0, sizeof out.serialNumber);
    if (!ChopField(0, source.data(), length, reinterpret_cast<uint8_t*>(out.serialNumber),
                   kSerialFieldLength)) {
        return false;
    }
    uint8_t sequence[kSequenceFieldLength + 1] = {};
    if (!ChopField(1, source.data(), length, sequence, kSequenceFieldLength)) {
        return !requireSequence;
    }
    out.sequence = SequenceFromText(reinterpret_cast<const char*>(sequence));
    return true;
}

}  // namespace tallix
