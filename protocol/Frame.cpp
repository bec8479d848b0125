#include "protocol/Frame.h"

#include <cstddef>

#include "protocol/Checksum.h"

namespace tallix {

std::vector<uint8_t> BuildFrame(const uint8_t* text, int length) {
    std::vector<uint8_t> frame;
    frame.reserve(static_cast<std::size_t>(length) + 4);
    frame.push_back(kLF);
    frame.insert(frame.end(), text, text + length);
    frame.push_back(kCR);
    const uint16_t crc = CalculateCrC(frame.data() + 1, length + 1);
    frame.push_back(HIBYTE(crc));
    frame.push_back(LOBYTE(crc));
    return frame;
}

int32_t SequenceFromText(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulate modulo 2^32 so that an over-long number keeps its low 32 bits.
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10U + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (negative) {
        value = 0U - value;
    }
    return static_cast<int32_t>(value);
}

}  // namespace tallix
