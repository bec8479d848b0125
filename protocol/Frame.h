#pragma once

#include <cstdint>
#include <vector>

namespace tallix {

// Control bytes of the printer's link.
constexpr uint8_t kLF = 0x0A;    // first byte of every frame
constexpr uint8_t kCR = 0x0D;    // last byte of a frame's text, covered by the checksum
constexpr uint8_t kACK = 0x06;   // frame received / wake-up answer received
constexpr uint8_t kDC1 = 0x11;   // wake-up request, twice
constexpr uint8_t kDC3 = 0x13;   // link reset, three times
constexpr uint8_t kFill = 0xFF;  // fill byte around frames

// Room for the printer's serial number in a wake-up answer (not terminated when full).
constexpr int kSerialNumberLength = 10;

// What a wake-up answer carries: answer field 0 and answer field 1.
struct WakeUpAnswer {
    char serialNumber[kSerialNumberLength] = {};
    int32_t sequence = 0;
};

// The frame for a text of n bytes, as the host sends a command and the printer its wake-up
// answer: LF, text, CR, then the checksum of text and CR, high byte first. Always n + 4 bytes.
std::vector<uint8_t> BuildFrame(const uint8_t* text, int length);

// The answer's field 1 as the sequence counter: optional leading white space and sign,
// decimal digits up to the first other character; no digits gives 0; the value keeps its
// low 32 bits.
int32_t SequenceFromText(const char* text);

// True when counter a is ahead of b: moved up from b, also across the wrap of 32 bits (by
// less than half the range). A counter behind b (a printer that lost its state) is not.
constexpr bool SequenceAhead(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)) > 0;
}

}  // namespace tallix
