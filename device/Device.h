#pragma once

// A fiscal printer as the batch run and the set-up window use it: the printer operations, and
// what a job journal needs to follow the command exchanges. VX37RO talks to the real printer;
// tests stand a recording device in for it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/Outcome.h"
#include "protocol/ExchangeOutcome.h"
#include "serial/PortError.h"

namespace tallix {

// What reading the printer's serial number found: the serial number, or why the printer gave
// no usable answer.
struct SerialRead {
    std::optional<std::string> serialNumber;
    WakeFailure failure = WakeFailure::kSilence;  // when there is no serial number
    // The counter the same answer showed.
    std::optional<int32_t> sequence;

    explicit operator bool() const { return serialNumber.has_value(); }
};

class Device {
  public:
    Device() = default;
    virtual ~Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    Device(Device&&) = delete;
    Device& operator=(Device&&) = delete;

    virtual bool Open(const std::string& port, int boudRate) = 0;
    // Why the last Open failed: the port that could not be opened and the reason.
    virtual PortError openError() const = 0;
    virtual void Close() = 0;
    // Installs the logical ID and the printer's character set. No traffic.
    virtual bool Initialize(int logicalID) = 0;
    // A flag another thread sets to give up waiting for the printer: the operation under way
    // fails within one wake-up exchange (a fraction of a second) instead of waiting out its
    // time-outs. nullptr: none. It must outlive the device.
    virtual void SetCancel(const std::atomic<bool>* cancel) = 0;

    // The operations that take numbers or names are Refused, with nothing sent, when these
    // cannot make a valid command: a number that is not finite or makes the text longer than
    // the printer takes, an item name over 130 characters, a kind or direction other than 0
    // or 1.
    virtual Outcome Sell_SellItem(const std::string& item, double singlePrice, double quantity,
                                  int shtand, int stockGroup, int vatGroup) = 0;
    virtual Outcome Sell_Payment(int paymentType, double amount) = 0;
    virtual bool Sell_PrintText(const std::string& row1, const std::string& row2,
                                const std::string& row3, const std::string& row4,
                                const std::string& row5) = 0;
    virtual Outcome Sell_Percent(int kind, double percent) = 0;
    virtual bool Report_FiscalDay() = 0;
    virtual bool Report_NonFiscalDay() = 0;
    // The serial number and counter from a wake-up answer, or why there was none. With
    // afterSilence the line first falls silent and every request still unanswered counts as
    // lost, so that late answers of a run that stopped part-way can no longer pass for the
    // printer's present state.
    virtual SerialRead ReadSerial(bool afterSilence = false) = 0;
    // ReadSerial as a bool; serial is left as it was on failure.
    bool Oxel_GetSerial(std::string& serial) {
        const SerialRead read = ReadSerial();
        if (read.serialNumber) {
            serial = *read.serialNumber;
        }
        return static_cast<bool>(read);
    }
    virtual Outcome Other_ServiceMoneyTransfer(int direction, double amount) = 0;
    virtual bool Other_PrintDubliate() = 0;

    // Waits for the answers still owed on the line (Close does it too). True when the line is
    // left clean: nothing owed, and the printer's counter known after the last command.
    virtual bool LeaveLineClean() = 0;
    // Nobody vouches for the line (an earlier run may have left answers owed): before the next
    // frame the line settles and the counter is read afresh. No traffic now.
    virtual void SettleBeforeNextFrame() = 0;
    // The longest time, in seconds, the printer was seen to take to answer; knowSlowest adds
    // what an earlier run saw of it.
    virtual double SlowestAnswer() const = 0;
    virtual void KnowSlowest(double seconds) = 0;

    // Called in every command exchange once the wake-up before the frame has reported the
    // printer's counter, right before the first byte of the frame is written; nullptr
    // removes it.
    virtual void SetBeforeFrame(std::function<void(int32_t sequenceBefore)> hook) = 0;
    // The printer's counter from the last trusted wake-up answer; none before the first.
    virtual std::optional<int32_t> LastSequence() const = 0;
};

// Creates one device object; called once per run or printer action, on the thread that uses
// the object.
using DeviceFactory = std::function<std::unique_ptr<Device>()>;

}  // namespace tallix
