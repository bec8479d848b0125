#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "sim/Faults.h"
#include "sim/FiscalPrinter.h"
#include "sim/JournalLine.h"
#include "sim/LinkParser.h"

namespace tallix {

struct PrinterSettings {
    std::string serial = "VX37000001";
    int logicalId = 1;     // answered wake-up ID, 0..99
    int32_t sequence = 1;  // the counter's first value
};

// Bytes the printer sends back, not before delayMs after the bytes that caused them. Replies
// go out in the order they were caused, unless detached: a detached reply (the copy of an
// answer given twice, answer-shaped noise) goes out at its own time, between the others,
// neither waiting for them nor holding them back.
struct Reply {
    std::vector<uint8_t> bytes;
    int delayMs = 0;
    bool detached = false;
};

// The virtual VX-37: link parser, faults, fiscal printer and journal together. Feed it what
// the host sent; it returns what to send back and reports every event to the journal sink as
// one JSON line. Deterministic for a given clock.
class VirtualPrinter {
  public:
    using LineSink = std::function<void(const std::string& line)>;

    VirtualPrinter(PrinterSettings settings, const FaultSettings& faults, LineSink journalSink,
                   FiscalPrinter::PaperSink paper, const FiscalPrinter::Clock& clock);

    std::vector<Reply> feed(const uint8_t* bytes, std::size_t count);
    std::vector<Reply> feed(const std::vector<uint8_t>& bytes) {
        return feed(bytes.data(), bytes.size());
    }
    // Reports noise still pending (call when the line goes quiet and before ending).
    void flush();
    // The host set its line to another speed; heard: it matches the printer's.
    void hostSpeed(int64_t speed, bool heard);
    // Writes the closing journal line.
    void stop(const std::string& why);
    // The printer is back (switched on again, cable plugged in): every fault is off from now
    // on; the fiscal state and the counter stay. Not after a hang-up, which ends the process.
    void recover();

    // True once the printer hung up (--hangup-after); it then ignores everything.
    bool hungUp() const { return hungUp_; }
    int32_t sequence() const { return sequence_; }
    int64_t commands() const { return commands_; }
    const FiscalPrinter& fiscal() const { return fiscal_; }

    // The two characters a wake-up request must carry for this logical ID.
    static std::string WakeUpId(int logicalId);
    // The answer frame for a serial number and sequence: LF, text, CR, checksum.
    static std::vector<uint8_t> AnswerFrame(const std::string& serial, int32_t sequence);

  private:
    void handle(const LinkEvent& event, std::vector<Reply>& replies);
    void wakeUp(const LinkEvent& event, std::vector<Reply>& replies);
    void frame(const LinkEvent& event, std::vector<Reply>& replies);
    // An intact frame that was not dropped: acknowledged (or not), executed or refused.
    void command(const std::string& text, JournalLine& line, std::vector<Reply>& replies);
    // Why a wake-up for this ID goes unanswered; empty when it is answered.
    std::string silenceReason();
    // Answer-shaped bytes with a wrong checksum after a request, when that fault strikes.
    void falseAnswer(const char* after, std::vector<Reply>& replies);
    // The counter after an executed command: now, or once the lag has passed.
    void moveSequence();
    // Applies the late counter moves whose time has come.
    void applyDueMoves();
    void setSequence(int32_t value, const char* reason);
    void journal(const std::string& line);
    double time() const;
    // How late the next reply goes out: the fixed delay plus its share of jitter.
    int replyDelayMs();

    PrinterSettings settings_;
    FaultSettings faults_;
    LineSink journal_;
    FiscalPrinter::Clock clock_;
    FiscalPrinter fiscal_;
    LinkParser parser_;
    int32_t sequence_;
    int64_t commands_ = 0;
    int64_t answered_ = 0;
    int64_t intactFrames_ = 0;
    bool hungUp_ = false;
    std::deque<double> dueMoves_;  // times at which the counter moves on (--sequence-lag-ms)
    std::mt19937_64 jitter_;
    Draws falseDelays_;
};

}  // namespace tallix
