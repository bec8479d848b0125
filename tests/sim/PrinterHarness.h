#pragma once

#include <string>
#include <vector>

#include "protocol/Frame.h"
#include "sim/VirtualPrinter.h"
#include "tests/support/JournalEntry.h"

namespace tallix::test {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes FrameOf(const std::string& text) {
    return BuildFrame(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
}

inline Bytes WakeUpRequest(const std::string& id = "01") {
    return Bytes{kDC1, kDC1, static_cast<uint8_t>(id[0]), static_cast<uint8_t>(id[1])};
}

// A virtual printer driven in-process, with its journal and paper kept in memory and a clock
// that moves only when the test moves it (now, in seconds).
class PrinterHarness {
  public:
    explicit PrinterHarness(PrinterSettings settings = {}, FaultSettings faults = {})
        : printer(
              settings, faults, [this](const std::string& line) { lines.push_back(line); },
              [this](const std::string& block) { paper += block; }, [this] { return now; }) {}

    // Sends bytes and returns everything the printer answered, in order.
    Bytes send(const Bytes& bytes) {
        Bytes out;
        lastReplies = printer.feed(bytes);
        for (const auto& reply : lastReplies) {
            out.insert(out.end(), reply.bytes.begin(), reply.bytes.end());
            lastDelayMs = reply.delayMs;
        }
        return out;
    }
    Bytes wake(const std::string& id = "01") { return send(WakeUpRequest(id)); }
    Bytes command(const std::string& text) { return send(FrameOf(text)); }
    // true when the frame was acknowledged and executed (the sequence moved).
    bool execute(const std::string& text) {
        const int32_t before = printer.sequence();
        return command(text) == Bytes{kACK} && printer.sequence() != before;
    }

    std::vector<JournalEntry> journal() const { return ParseJournal(joined()); }
    JournalEntry last(const std::string& kind) const {
        JournalEntry found;
        for (const auto& entry : journal()) {
            if (entry.kind() == kind) {
                found = entry;
            }
        }
        return found;
    }

    double now = 1700000000.0;
    std::vector<std::string> lines;
    std::string paper;
    int lastDelayMs = -1;
    std::vector<Reply> lastReplies;  // the replies of the last send, as the printer gave them
    VirtualPrinter printer;

  private:
    std::string joined() const {
        std::string all;
        for (const auto& line : lines) {
            all += line + "\n";
        }
        return all;
    }
};

}  // namespace tallix::test
