#pragma once

// A device that records every call as one text ("Sell_Payment(1, 10.000)") and answers from a
// script instead of a printer, so that the batch run, the set-up actions and the fuzz targets
// can be checked without a line. It opens nothing itself; a script may have it pass the calls
// on to a real device (for example one on the virtual printer's line).

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
    Outcome Sell_SellItem(const std::string& item, double singlePrice, double quantity, int shtand,
                          int stockGroup, int vatGroup) override {
        return Refusable("Sell_SellItem(" + item + ", " + Fixed(singlePrice) + ", " +
                             Fixed(quantity) + ", " + std::to_string(shtand) + ", " +
                             std::to_string(stockGroup) + ", " + std::to_string(vatGroup) + ")",
                         [&](Device& d) {
                             return d.Sell_SellItem(item, singlePrice, quantity, shtand, stockGroup,
                                                    vatGroup);
                         });
    }
    Outcome Sell_Payment(int paymentType, double amount) override {
        return Refusable("Sell_Payment(" + std::to_string(paymentType) + ", " + Fixed(amount) + ")",
                         [&](Device& d) { return d.Sell_Payment(paymentType, amount); });
    }
    bool Sell_PrintText(const std::string& row1, const std::string& row2, const std::string& row3,
                        const std::string& row4, const std::string& row5) override {
        return Answer(
            "Sell_PrintText(" + row1 + "|" + row2 + "|" + row3 + "|" + row4 + "|" + row5 + ")",
            [&](Device& d) { return d.Sell_PrintText(row1, row2, row3, row4, row5); });
    }
    Outcome Sell_Percent(int kind, double percent) override {
        return Refusable("Sell_Percent(" + std::to_string(kind) + ", " + Fixed(percent) + ")",
                         [&](Device& d) { return d.Sell_Percent(kind, percent); });
    }
    bool Report_FiscalDay() override {
        return Answer("Report_FiscalDay()", [](Device& d) { return d.Report_FiscalDay(); });
    }
    bool Report_NonFiscalDay() override {
        return Answer("Report_NonFiscalDay()", [](Device& d) { return d.Report_NonFiscalDay(); });
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
    Outcome Other_ServiceMoneyTransfer(int direction, double amount) override {
        return Refusable(
            "Other_ServiceMoneyTransfer(" + std::to_string(direction) + ", " + Fixed(amount) + ")",
            [&](Device& d) { return d.Other_ServiceMoneyTransfer(direction, amount); });
    }
    bool Other_PrintDubliate() override {
        return Answer("Other_PrintDubliate()", [](Device& d) { return d.Other_PrintDubliate(); });
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

    // Kept (or passed on), not recorded: a recording device writes no frames of its own.
    void SetBeforeFrame(std::function<void(int32_t sequenceBefore)> hook) override {
        if (forward_) {
            forward_->SetBeforeFrame(std::move(hook));
        }
    }
    std::optional<int32_t> LastSequence() const override {
        return forward_ ? forward_->LastSequence() : script_.sequence;
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
    template <typename Call>
    Outcome Refusable(std::string call, const Call& passOn) {
        if (script_.Refuses(call)) {
            (void)script_.Record(std::move(call));
            return Outcome::kRefused;
        }
        if (!script_.Record(std::move(call))) {
            return Outcome::kFailed;
        }
        return forward_ ? passOn(*forward_) : Outcome(Outcome::kDone);
    }

    DeviceScript& script_;
    std::unique_ptr<Device> forward_;
    bool open_ = false;
    bool openFailed_ = false;
};

inline DeviceFactory DeviceScript::factory() {
    return [this] { return std::make_unique<RecordingDevice>(*this); };
}

}  // namespace tallix::test
