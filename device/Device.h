#pragma once

// A fiscal printer as the batch run, the printer service and the set-up window use it. Each
// printer operation is two things: a command (the text the operation builds from its data) and
// the confirmed exchange that sends it, in two steps (Wake reads the printer's counter, Deliver
// sends the frame given that counter). The job runner calls them one by one, so that it can
// record the line in its journal between the two steps; the operations by their documented
// names (Sell_SellItem, ...) are the same steps in one call. VX37RO talks to the real printer;
// tests stand a recording device in for it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/Outcome.h"
#include "device/PrinterCommand.h"
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

    // The commands of the printer operations. A command without text (refused) is what an
    // operation that takes numbers or names builds when these cannot make a valid command: a
    // number that is not finite or makes the text longer than the printer takes, an item name
    // over 130 characters, a kind or direction other than 0 or 1. No traffic.
    virtual PrinterCommand SellItemCommand(const std::string& item, double singlePrice,
                                           double quantity, int shtand, int stockGroup,
                                           int vatGroup) const = 0;
    virtual PrinterCommand PaymentCommand(int paymentType, double amount) const = 0;
    // Never refused: the free-text area is sized to its rows.
    virtual PrinterCommand PrintTextCommand(const std::string& row1, const std::string& row2,
                                            const std::string& row3, const std::string& row4,
                                            const std::string& row5) const = 0;
    virtual PrinterCommand PercentCommand(int kind, double percent) const = 0;
    virtual PrinterCommand FiscalDayCommand() const = 0;
    virtual PrinterCommand NonFiscalDayCommand() const = 0;
    virtual PrinterCommand ServiceMoneyTransferCommand(int direction, double amount) const = 0;
    virtual PrinterCommand PrintDuplicateCommand() const = 0;

    // The first step of a confirmed exchange: the printer's serial number and present counter,
    // or why there is none.
    virtual WakeOutcome Wake() = 0;
    // The second step: sends command, given the counter the Wake right before it read (with no
    // other call between). Nothing is sent for a refused command or without that Wake.
    virtual DeliveryOutcome Deliver(const PrinterCommand& command, int32_t sequenceBefore) = 0;

    // Wake, then Deliver: kDone when the printer executed command, kRefused (nothing sent) when
    // it has no text, kFailed otherwise.
    Outcome Send(const PrinterCommand& command);

    // The printer operations by their documented names: each sends its command.
    Outcome Sell_SellItem(const std::string& item, double singlePrice, double quantity, int shtand,
                          int stockGroup, int vatGroup) {
        return Send(SellItemCommand(item, singlePrice, quantity, shtand, stockGroup, vatGroup));
    }
    Outcome Sell_Payment(int paymentType, double amount) {
        return Send(PaymentCommand(paymentType, amount));
    }
    bool Sell_PrintText(const std::string& row1, const std::string& row2, const std::string& row3,
                        const std::string& row4, const std::string& row5) {
        return static_cast<bool>(Send(PrintTextCommand(row1, row2, row3, row4, row5)));
    }
    Outcome Sell_Percent(int kind, double percent) { return Send(PercentCommand(kind, percent)); }
    bool Report_FiscalDay() { return static_cast<bool>(Send(FiscalDayCommand())); }
    bool Report_NonFiscalDay() { return static_cast<bool>(Send(NonFiscalDayCommand())); }
    Outcome Other_ServiceMoneyTransfer(int direction, double amount) {
        return Send(ServiceMoneyTransferCommand(direction, amount));
    }
    bool Other_PrintDubliate() { return static_cast<bool>(Send(PrintDuplicateCommand())); }

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
};

// Creates one device object; called once per run or printer action, on the thread that uses
// the object.
using DeviceFactory = std::function<std::unique_ptr<Device>()>;

}  // namespace tallix
