#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tallix {

// What the printer's side of the link recognised in the bytes from the host.
struct LinkEvent {
    enum class Kind {
        Reset,      // three DC3 in a row
        WakeUp,     // DC1 DC1 and two characters; text holds the two characters
        Frame,      // LF, text, CR, two checksum bytes; text without the CR
        Discarded,  // a frame that was cut off (reason says why); text holds its start
        Noise,      // bytes outside any frame; text holds the first of them, count all
    };
    Kind kind = Kind::Noise;
    std::string text;
    bool crcOk = false;     // Frame only
    std::string reason;     // Discarded only
    std::size_t count = 0;  // Noise: how many bytes
};

// Byte-by-byte parser of what a host sends to the printer. It never fails: anything it cannot
// place is reported as noise or as a discarded frame, and it starts over on the next LF, DC1
// or reset.
class LinkParser {
  public:
    // Longest frame text kept; a longer one is discarded. The longest text a host builds is a
    // free-text command: "X;" and five rows of up to 254 bytes, each closed by ";".
    static constexpr std::size_t kMaxText = 1280;
    // Noise bytes kept for the journal (all are counted).
    static constexpr std::size_t kNoiseKept = 64;

    void feed(uint8_t byte, std::vector<LinkEvent>& events);
    // Reports noise collected so far (call when the line goes quiet or at the end).
    void flush(std::vector<LinkEvent>& events);

  private:
    enum class State { Idle, Dc1, WakeId, Text, Checksum };

    // One byte in each state; a DC3 in any state but Checksum.
    void idle(uint8_t byte, std::vector<LinkEvent>& events);
    void dc1(uint8_t byte, std::vector<LinkEvent>& events);
    void wakeId(uint8_t byte, std::vector<LinkEvent>& events);
    void text(uint8_t byte, std::vector<LinkEvent>& events);
    void checksum(uint8_t byte, std::vector<LinkEvent>& events);
    void dc3(std::vector<LinkEvent>& events);
    void addNoise(uint8_t byte);
    // Turns an unfinished wake-up request into noise.
    void abandonRequest();
    void discard(const char* reason, std::vector<LinkEvent>& events);

    State state_ = State::Idle;
    int dc3Run_ = 0;
    std::string text_;
    uint8_t crcHigh_ = 0;
    bool haveCrcHigh_ = false;
    std::string noise_;
    std::size_t noiseCount_ = 0;
};

}  // namespace tallix
