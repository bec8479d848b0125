#pragma once

// The link to one VX-37 printer: frames and checksum, reset and wake-up, text conversion
// to the printer's bytes, and the confirmed command exchange.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "protocol/AnswerScanner.h"
#include "protocol/Checksum.h"
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
    // text selects the first RS-232 port whose name begins with it. 8N1 at boudRate.
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
    // Waits until the line has been silent for kSettleQuiet, reading (and counting) whatever
    // comes, then takes every request still unanswered as lost: the next wake-up's answer is
    // one given after this call. For a run that follows a run stopped part-way, whose late
    // answers may still be on the line. False when the line does not fall silent within
    // kSettleLimit.
    bool Settle();
    // Five fill bytes, DC3 DC3 DC3, 0.02 s pause, five fill bytes. False when nothing
    // could be written.
    bool Reset();
    // One wake-up exchange (up to three requests on checksum mismatches). True on a valid
    // answer, however old.
    bool WakeUPExchange(WakeUpAnswer& answer);
    // The ordinal on this line (from 1) of the answer the last WakeUPExchange took; 0 when it
    // took none, or one the scanner did not count.
    int64_t lastAnswerOrdinal() const { return lastAnswer_; }
    // True when that answer is known to have been given to the last wake-up request written,
    // not to an earlier one (which may have named another logical ID). A request that went
    // unanswered earlier on the line leaves later answers unproven: see AnswerScanner.
    bool LastAnswerIsFresh() const;
    // Reset, then up to 201 wake-up exchanges, until one brings an answer given after the last
    // command frame written on this link (or after the link was opened). False at once when
    // the line is gone or never falls silent, and between two exchanges once cancelled.
    bool WakeUP(WakeUpAnswer& answer);
    // The confirmed command exchange. True when the command counts as executed.
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

    // Called in every command exchange once the wake-up before the frame has reported the
    // printer's counter, right before the first byte of the frame is written.
    void setBeforeFrame(std::function<void(int32_t sequenceBefore)> hook) {
        beforeFrame_ = std::move(hook);
    }
    // The counter of the last trusted wake-up answer; none before the first.
    std::optional<int32_t> lastSequence() const { return lastSequence_; }

  private:
    // What makes a wake-up answer count: given to a request written after `mark` requests,
    // or, with `movedFrom`, carrying a counter other than that one.
    struct Trust {
        int64_t mark = 0;
        std::optional<int32_t> movedFrom;
    };
    bool WakeUP(WakeUpAnswer& answer, const Trust& trust);
    // Every read of the link goes through these two, so that the scanner sees every byte.
    int ReadByte(double timeout);
    void TakeBuffered();

    int32_t logical_ID = 0;
    std::unique_ptr<SerialManager> serCom;
    PortError openError_;
    uint8_t RequireNop = 1;
    uint8_t ECR_CHARMAP[256] = {};
    uint64_t string_codepage_ = 0;
    std::function<void(int32_t)> beforeFrame_;
    std::optional<int32_t> lastSequence_;
    AnswerScanner scanner_;
    int64_t frameMark_ = 0;      // requests written before the last command frame
    int64_t lastAnswer_ = 0;     // ordinal of the answer WakeUPExchange took last (0: none)
    bool lineChatters_ = false;  // the last drain met a line that never fell silent
    const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace tallix
