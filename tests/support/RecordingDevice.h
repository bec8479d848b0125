#pragma once

// A device that records every call as one text ("Sell_Payment(1, 10.000)") and answers from a
// script instead of a printer, so that the batch run, the set-up actions and the fuzz targets
// can be checked without a line. It opens nothing itself; a script may have it pass the calls
// on to a real device (for example one on the virtual printer's line).

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/Device.h"
#include "device/Outcome.h"
#include "serial/PortError.h"

namespace tallix::test {

// What the recording devices of one script answer, and what they were asked. Every device the
// factory makes shares it; it outlives them, so a test reads it after a run has released its
// device. The answers are set before a run; the record may be read from any thread.
class DeviceScript {
  public:
    // A call whose text starts with one of these fails (false, kFailed).
    std::vector<std::string> failing;
    // A call of the refusing operations (sale, payment, percentage, service money) whose text
    // starts with one of these is kRefused.
    std::vector<std::string> refusing;
    // The call with this number (from 1, over every device of the script) fails; 0: none.
    int failAtCall = 0;
    // What Oxel_GetSerial gives when the calls are not passed on.
    std::string serial = "AB12345678";
    // The counter the serial number's answer shows when the calls are not passed on.
    std::optional<int32_t> sequence;
    // Why a serial number read that the script fails found no answer.
    WakeFailure wakeFailure = WakeFailure::kSilence;
    // What openError gives after an Open that failed, when the calls are not passed on.
    PortError openFailure{PortFailure::Missing, ENOENT, "/dev/printer"};
    // Called (when set) as a device without a line delivers a command: the recorded call and
    // the counter the wake-up before it read. Lets a test look at the disk at that moment.
    std::function<void(const std::string& call, int32_t sequenceBefore)> onDeliver;
    // When set, each device makes one device with it and passes every call that the script
    // does not fail on to that one, answering what it answers.
    DeviceFactory forwardTo;

    std::vector<std::string> calls() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void clearCalls() {
        const std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }
    int created() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return created_;
    }
    int released() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return released_;
    }

    // Makes recording devices of this script.
    DeviceFactory factory();

    // The device side: each call is recorded; true when the script lets it succeed.
    bool Record(std::string call) {
        const std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
        const std::string& recorded = calls_.back();
        const bool failAt = failAtCall > 0 && calls_.size() == static_cast<std::size_t>(failAtCall);
        return !failAt && !Starts(recorded, failing);
    }
    bool Refuses(const std::string& call) const { return Starts(call, refusing); }
    void NoteCreated() {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++created_;
    }
    void NoteReleased(bool stillOpen) {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++released_;
        if (stillOpen) {
            calls_.emplace_back("released while open");
        }
    }

  private:
    static bool Starts(const std::string& call, const std::vector<std::string>& prefixes) {
        for (const std::string& prefix : prefixes) {
            if (call.rfind(prefix, 0) == 0) {
                return true;
            }
        }
        return false;
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    int created_ = 0;
    int released_ = 0;
};

class RecordingDevice final : public Device {
  public:
    explicit RecordingDevice(DeviceScript& script)
        : script_(script), forward_(script.forwardTo ? script.forwardTo() : nullptr) {
        script_.NoteCreated();
    }
    ~RecordingDevice() override { script_.NoteReleased(open_); }
    RecordingDevice(const RecordingDevice&) = delete;
    RecordingDevice& operator=(const RecordingDevice&) = delete;
    RecordingDevice(RecordingDevice&&) = delete;
    RecordingDevice& operator=(RecordingDevice&&) = delete;

    bool Open(const std::string& port, int boudRate) override {
        open_ = Answer("Open(" + port + ", " + std::to_string(boudRate) + ")",
                       [&](Device& d) { return d.Open(port, boudRate); });
        openFailed_ = !open_;
        return open_;
    }
    PortError openError() const override {
        if (forward_) {
            return forward_->openError();
        }
        return openFailed_ ? script_.openFailure : PortError{};
    }
    void Close() override {
        (void)script_.Record("Close()");
        open_ = false;
        if (forward_) {
            forward_->Close();
        }
    }
    bool Initialize(int logicalID) override {
        return Answer("Initialize(" + std::to_string(logicalID) + ")",
                      [&](Device& d) { return d.Initialize(logicalID); });
    }
    // The commands record the operation they stand for ("Sell_Payment(1, 10.000)"); a call the
    // script fails fails at the Wake that follows, before anything reaches a forwarded line.
    PrinterCommand SellItemCommand(const std::string& item, double singlePrice, double quantity,
                                   int shtand, int stockGroup, int vatGroup) const override {
        return Build(kRefusable,
                     "Sell_SellItem(" + item + ", " + Fixed(singlePrice) + ", " + Fixed(quantity) +
                         ", " + std::to_string(shtand) + ", " + std::to_string(stockGroup) + ", " +
                         std::to_string(vatGroup) + ")",
                     [&](const Device& d) {
                         return d.SellItemCommand(item, singlePrice, quantity, shtand, stockGroup,
                                                  vatGroup);
                     });
    }
    PrinterCommand PaymentCommand(int paymentType, double amount) const override {
        return Build(kRefusable,
                     "Sell_Payment(" + std::to_string(paymentType) + ", " + Fixed(amount) + ")",
                     [&](const Device& d) { return d.PaymentCommand(paymentType, amount); });
    }
    PrinterCommand PrintTextCommand(const std::string& row1, const std::string& row2,
                                    const std::string& row3, const std::string& row4,
                                    const std::string& row5) const override {
        return Build(
            !kRefusable,
            "Sell_PrintText(" + row1 + "|" + row2 + "|" + row3 + "|" + row4 + "|" + row5 + ")",
            [&](const Device& d) { return d.PrintTextCommand(row1, row2, row3, row4, row5); });
    }
    PrinterCommand PercentCommand(int kind, double percent) const override {
        return Build(kRefusable,
                     "Sell_Percent(" + std::to_string(kind) + ", " + Fixed(percent) + ")",
                     [&](const Device& d) { return d.PercentCommand(kind, percent); });
    }
    PrinterCommand FiscalDayCommand() const override {
        return Build(!kRefusable, "Report_FiscalDay()",
                     [](const Device& d) { return d.FiscalDayCommand(); });
    }
    PrinterCommand NonFiscalDayCommand() const override {
        return Build(!kRefusable, "Report_NonFiscalDay()",
                     [](const Device& d) { return d.NonFiscalDayCommand(); });
    }
    PrinterCommand ServiceMoneyTransferCommand(int direction, double amount) const override {
        return Build(
            kRefusable,
            "Other_ServiceMoneyTransfer(" + std::to_string(direction) + ", " + Fixed(amount) + ")",
            [&](const Device& d) { return d.ServiceMoneyTransferCommand(direction, amount); });
    }
    PrinterCommand PrintDuplicateCommand() const override {
        return Build(!kRefusable, "Other_PrintDubliate()",
                     [](const Device& d) { return d.PrintDuplicateCommand(); });
    }

    // Not recorded: the command before them was. Without a line, the printer answers at once
    // with the script's serial number and counter and executes every command.
    WakeOutcome Wake() override {
        WakeOutcome woken;
        woken.failure = script_.wakeFailure;
        if (std::exchange(failNext_, false)) {
            return woken;
        }
        if (forward_) {
            return forward_->Wake();
        }
        woken.answer.emplace();
        const std::size_t n = std::min(script_.serial.size(), sizeof woken.answer->serialNumber);
        std::copy_n(script_.serial.begin(), n, woken.answer->serialNumber);
        woken.answer->sequence = script_.sequence.value_or(0);
        return woken;
    }
    DeliveryOutcome Deliver(const PrinterCommand& command, int32_t sequenceBefore) override {
        if (forward_) {
            const PrinterCommand forwarded = std::exchange(forwardCommand_, {});
            return forward_->Deliver(forwarded.valid() ? forwarded : command, sequenceBefore);
        }
        DeliveryOutcome delivered;
        delivered.sequenceBefore = sequenceBefore;
        if (script_.onDeliver && command.valid()) {
            script_.onDeliver(*command.text, sequenceBefore);
        }
        if (command.valid()) {
            delivered.delivery = Delivery::kExecuted;
            delivered.sequenceAfter = script_.sequence;
        } else {
            delivered.failure = DeliveryFailure::kBadText;
        }
        return delivered;
    }

    SerialRead ReadSerial(bool afterSilence = false) override {
        SerialRead read;
        read.failure = script_.wakeFailure;
        if ((afterSilence && !script_.Record("Settle()")) || !script_.Record("Oxel_GetSerial()")) {
            return read;
        }
        if (forward_) {
            return forward_->ReadSerial(afterSilence);
        }
        read.serialNumber = script_.serial;
        read.sequence = script_.sequence;
        return read;
    }

    // Passed on, not recorded: they change nothing on the printer.
    bool LeaveLineClean() override { return !forward_ || forward_->LeaveLineClean(); }
    void SettleBeforeNextFrame() override {
        if (forward_) {
            forward_->SettleBeforeNextFrame();
        }
    }
    double SlowestAnswer() const override { return forward_ ? forward_->SlowestAnswer() : 0; }
    void KnowSlowest(double seconds) override {
        if (forward_) {
            forward_->KnowSlowest(seconds);
        }
    }

    // Passed on, not recorded: a recording device has no line to stop.
    void SetCancel(const std::atomic<bool>* cancel) override {
        if (forward_) {
            forward_->SetCancel(cancel);
        }
    }

  private:
    static std::string Fixed(double value) {
        char text[64];
        (void)std::snprintf(text, sizeof text, "%.3f", value);
        return text;
    }
    template <typename Call>
    bool Answer(std::string call, const Call& passOn) {
        if (!script_.Record(std::move(call))) {
            return false;
        }
        return !forward_ || static_cast<bool>(passOn(*forward_));
    }
    static constexpr bool kRefusable = true;
    // The command of a call: recorded; refused (no text) when the script refuses a refusable
    // call; when forwarded, the forward device's own command is kept for Deliver and its
    // refusal stands.
    template <typename Make>
    PrinterCommand Build(bool refusable, std::string call, const Make& make) const {
        if (refusable && script_.Refuses(call)) {
            (void)script_.Record(std::move(call));
            return {};
        }
        failNext_ = !script_.Record(call);
        if (forward_) {
            forwardCommand_ = make(*forward_);
            if (!forwardCommand_.valid()) {
                return {};
            }
            return PrinterCommand{call, forwardCommand_.checkSequence};
        }
        return PrinterCommand{call, true};
    }

    DeviceScript& script_;
    std::unique_ptr<Device> forward_;
    mutable bool failNext_ = false;          // the script fails the command just built
    mutable PrinterCommand forwardCommand_;  // the forward device's command just built
    bool open_ = false;
    bool openFailed_ = false;
};

inline DeviceFactory DeviceScript::factory() {
    return [this] { return std::make_unique<RecordingDevice>(*this); };
}

}  // namespace tallix::test
