#pragma once

// The link to one VX-37 printer: frames and checksum, reset and wake-up, text conversion
// to the printer's bytes, and the confirmed command exchange.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/AnswerScanner.h"
#include "protocol/Checksum.h"
#include "protocol/ExchangeOutcome.h"
#include "protocol/Frame.h"
#include "serial/PortError.h"
#include "serial/SerialManager.h"

namespace tallix {

// The inherited SerialManager side only lists ports, and only its port listing is reachable
// from outside; all line traffic goes through serCom.
class CashRegManager : private SerialManager {
  public:
    using SerialManager::findRS232Ports;
    using SerialManager::pathAtIndex;
    using SerialManager::streamAtIndex;

    CashRegManager();
    ~CashRegManager() override;

    // A port text that begins with "/" is a device node and is opened directly; any other
    // text selects the first RS-232 port whose name begins with it. 8N1 at boudRate. An empty
    // text names no port: nothing is listed, opened or written (NoPortGiven).
    bool Open(const std::string& port, int boudRate);
    // Why the last Open failed (kept after Close); nothing failed after a successful one.
    const PortError& openError() const { return openError_; }
    void Close();
    bool InitializeCR(int logicalID, const uint8_t charMap[256], uint64_t codePage);
    uint64_t string_codepage() const { return string_codepage_; }
    void setString_codepage(uint64_t codePage) { string_codepage_ = codePage; }

    // count fill bytes (1 to 1024) in one write; SendFF() sends five.
    void SendFF(int count);
    void SendFF();
    // Reads and discards until the line has been silent for 0.01 s. False when the line did
    // not fall silent within kDrainLimit or kDrainLimitBytes: it counts as dead.
    bool ClearReadBuf();
    // Waits until the line has been silent for longer than the slowest answer seen, and at
    // least kSettleQuiet, reading (and counting) whatever comes; then no answer to an earlier
    // request is still on its way, and the next wake-up takes the first answer it gets as the
    // printer's present state. For a line that nobody can show was left clean. False when the
    // line does not fall silent in time.
    bool Settle();
    // Waits for the answers still owed to requests written on this line, until none is owed or
    // the line has been silent for longer than the slowest answer seen. True when the line is
    // left clean: nothing owed, and the counter known (no command whose effect may still show).
    // Close does it too; on a printer that answered every request at once it waits nothing.
    bool LeaveLineClean();
    // The longest time the printer was seen to take to answer, in seconds: the time from the
    // latest request written to a valid answer. known: what an earlier run saw of this printer.
    double slowestAnswer() const { return slowest_; }
    // The line is not vouched for: the next wake-up settles it first. No traffic now.
    void settleBeforeNextFrame() { freshNeeded_ = true; }
    void knowSlowest(double seconds);
    // Five fill bytes, DC3 DC3 DC3, 0.02 s pause, five fill bytes. False when nothing
    // could be written.
    bool Reset();
    // One wake-up exchange (up to three requests on checksum mismatches). True on a valid
    // answer, however old.
    bool WakeUPExchange(WakeUpAnswer& answer);
    // The ordinal on this line (from 1) of the answer the last WakeUPExchange took; 0 when it
    // took none.
    int64_t lastAnswerOrdinal() const { return lastAnswer_; }
    // True when that answer was counted as given to the last wake-up request written. A hint
    // only: an answer given twice counts twice.
    bool LastAnswerIsFresh() const;
    // The first step of a command exchange. Reset, then up to 201 wake-up exchanges, until one
    // brings an answer that can show the printer's present counter: one not below the counter
    // the link knows (after a settle first, when a command's effect on the counter is not
    // known). Fails at once when the line is gone or never falls silent, and between two
    // exchanges once cancelled; the outcome says why.
    WakeOutcome Wake();
    // Wake, after letting the line settle (see Settle): for a line an earlier run may have
    // left with answers owed, before its counter decides anything.
    WakeOutcome WakeAfterSilence();
    // Wake, as a bool; answer is left as it was on failure.
    bool WakeUP(WakeUpAnswer& answer);
    // For a printer found by one wake-up answer: lets the line fall quiet, then wakes it again
    // for a time bounded by the slowest answer seen. True when it answered after the silence,
    // so to a request of this link at this speed and logical ID.
    bool ConfirmAnswer(WakeUpAnswer& answer);
    // The second step: delivers the frame of text (length bytes) given the counter the Wake
    // right before it read (nothing is sent unless it was that Wake, with no other traffic
    // between). checkSequence: "executed" needs a moved counter; without it (the day reports)
    // an answer after the frame will do. See CommandExchange.cpp for what counts as evidence.
    DeliveryOutcome Deliver(const uint8_t* text, int length, bool checkSequence,
                            int32_t sequenceBefore);
    // The confirmed command exchange: Wake, then Deliver. True when the command counts as
    // executed.
    bool WritePacket(const uint8_t* text, int length, bool checkSequence);
    bool WritePacket(const uint8_t* text, int length);

    // text (UTF-8) to printer bytes through the code page and ECR_CHARMAP; at most 254
    // bytes and at most destinationLen; writes no terminator.
    void MacToChill(const std::string& text, uint8_t* destination, int destinationLen) const;
    static bool ChopField(int index, const uint8_t* source, int sourceLength, uint8_t* destination,
                          int destinationLength);

    static uint16_t CalculateCrC(const uint8_t* bytes, int length) {
        return tallix::CalculateCrC(bytes, length);
    }
    static uint8_t HIBYTE(uint16_t value) { return tallix::HIBYTE(value); }
    static uint8_t LOBYTE(uint16_t value) { return tallix::LOBYTE(value); }

    int logicalID() const { return logical_ID; }

    // A flag another thread may set to stop the wake-ups of this link (and so every exchange
    // built on them) before their next exchange; nullptr: none. It must outlive the link.
    void setCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

    // The counter the printer holds as far as the link knows; none before the first answer,
    // after a silence, and while a command's effect on it is not known.
    std::optional<int32_t> lastSequence() const { return known_; }

  private:
    using Clock = std::chrono::steady_clock;
    using Accept = std::function<bool(const WakeUpAnswer&)>;
    enum class Silence { Reached, Acknowledged, Dead };

    // Reset, then wake-up exchanges until one brings an answer that accept takes: at most 201,
    // for at most lookFor seconds when that is above 0, and until maxPassed valid answers were
    // passed over when that is above 0. passed: the valid answers not taken.
    bool WakeUPTaking(WakeUpAnswer& answer, const Accept& accept, double lookFor, int maxPassed,
                      int* passed = nullptr);
    // The wake-up exchanges of Wake, with the answer the exchange takes as the present counter.
    bool WakeUPPresent(WakeUpAnswer& answer);
    // Why a wake-up that began when bytesBefore bytes had been read took no answer.
    WakeFailure WhyNoAnswer(uint64_t bytesBefore) const;
    // Deliver's frame until it is acknowledged, or executed with its ACK lost (nothing); any
    // other end of the exchange is the outcome returned.
    std::optional<DeliveryOutcome> SendFrame(const std::vector<uint8_t>& frame,
                                             int32_t oldSequence);
    // Deliver's closing wake-up, once the frame was acknowledged (or never was).
    DeliveryOutcome CloseExchange(int32_t oldSequence, bool checkSequence);
    // Reads until the line has been silent for quiet seconds (Reached), or with stopOnAck
    // until an acknowledgement outside any frame arrives (Acknowledged); Dead when the line is
    // gone or does not fall silent within kSettleLimit more.
    Silence WaitForSilence(double quiet, bool stopOnAck);
    // After a silence: every request still unanswered is lost, the next answer is fresh.
    void LineIsQuiet();
    double QuietNeeded() const;
    // Every read of the link goes through these two, so that the scanner sees every byte.
    int ReadByte(double timeout);
    void TakeBuffered();
    void Scanned(uint8_t byte);

    int32_t logical_ID = 0;
    std::unique_ptr<SerialManager> serCom;
    PortError openError_;
    uint8_t RequireNop = 1;
    uint8_t ECR_CHARMAP[256] = {};
    uint64_t string_codepage_ = 0;
    AnswerScanner scanner_;
    std::optional<int32_t> known_;  // see lastSequence()
    bool freshNeeded_ = false;      // a command's effect on the counter is not known
    double slowest_ = 0;            // see slowestAnswer()
    Clock::time_point lastRequestAt_{};
    int64_t frameMark_ = 0;           // requests written before the last command frame
    int64_t lastAnswer_ = 0;          // ordinal of the answer WakeUPExchange took last (0: none)
    bool lineChatters_ = false;       // the last drain met a line that never fell silent
    std::optional<int32_t> wokenAt_;  // the counter the last Wake read, until other traffic
    uint64_t bytesRead_ = 0;          // every byte read on this line
    bool withoutCounter_ = false;     // a valid answer without its counter came in this Wake
    const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace tallix
