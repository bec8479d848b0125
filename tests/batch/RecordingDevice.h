#pragma once

// A VX37RO that sends nothing: it records every call as one text and answers from a script,
// so the batch runner's choices can be checked without a printer.

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/VX37RO.h"

namespace tallix::test {

class RecordingDevice : public VX37RO {
  public:
    // calls receives one text per call, e.g. "Sell_Payment(1, 10.00)"; it outlives the device
    // so that a test can read it after the run has released the device.
    explicit RecordingDevice(std::vector<std::string>& calls) : calls_(calls) {}

    // Answers false (kFailed) to every call whose text starts with one of these.
    std::vector<std::string> failing;
    // Answers kRefused to every call of the refusing operations (sale, payment, percentage,
    // service money) whose text starts with one of these.
    std::vector<std::string> refusing;
    std::string serial = "VX37000001";

    bool Open(const std::string& port, int boudRate) override {
        return Record("Open(" + port + ", " + std::to_string(boudRate) + ")");
    }
    void Close() override { (void)Record("Close()"); }
    bool Initialize(int logicalID) override {
        return Record("Initialize(" + std::to_string(logicalID) + ")");
    }
    void SetCodePage(uint64_t codePage) override {
        (void)Record("SetCodePage(" + std::to_string(codePage) + ")");
    }
    Outcome Sell_SellItem(const std::string& item, double singlePrice, double quantity, int shtand,
                          int stockGroup, int vatGroup) override {
        return Refusable("Sell_SellItem(" + item + ", " + Fixed(singlePrice) + ", " +
                         Fixed(quantity) + ", " + std::to_string(shtand) + ", " +
                         std::to_string(stockGroup) + ", " + std::to_string(vatGroup) + ")");
    }
    Outcome Sell_Payment(int paymentType, double amount) override {
        return Refusable("Sell_Payment(" + std::to_string(paymentType) + ", " + Fixed(amount) +
                         ")");
    }
    bool Sell_PrintText(const std::string& row1, const std::string& row2, const std::string& row3,
                        const std::string& row4, const std::string& row5) override {
        return Record("Sell_PrintText(" + row1 + "|" + row2 + "|" + row3 + "|" + row4 + "|" + row5 +
                      ")");
    }
    Outcome Sell_Percent(int kind, double percent) override {
        return Refusable("Sell_Percent(" + std::to_string(kind) + ", " + Fixed(percent) + ")");
    }
    bool Sell_PrintBarcode(int type, const std::string& data) override {
        return Record("Sell_PrintBarcode(" + std::to_string(type) + ", " + data + ")");
    }
    bool Report_FiscalDay() override { return Record("Report_FiscalDay()"); }
    bool Report_NonFiscalDay() override { return Record("Report_NonFiscalDay()"); }
    bool Oxel_GetSerial(std::string& serialOut) override {
        if (!Record("Oxel_GetSerial()")) {
            return false;
        }
        serialOut = serial;
        return true;
    }
    bool Other_Beep() override { return Record("Other_Beep()"); }
    Outcome Other_ServiceMoneyTransfer(int direction, double amount) override {
        return Refusable("Other_ServiceMoneyTransfer(" + std::to_string(direction) + ", " +
                         Fixed(amount) + ")");
    }
    bool Other_PrintDubliate() override { return Record("Other_PrintDubliate()"); }

  private:
    static std::string Fixed(double value) {
        char text[64];
        (void)std::snprintf(text, sizeof text, "%.3f", value);
        return text;
    }
    static bool Starts(const std::string& call, const std::vector<std::string>& prefixes) {
        for (const std::string& prefix : prefixes) {
            if (call.rfind(prefix, 0) == 0) {
                return true;
            }
        }
        return false;
    }
    bool Record(const std::string& call) {
        calls_.push_back(call);
        return !Starts(call, failing);
    }
    Outcome Refusable(const std::string& call) {
        if (Starts(call, refusing)) {
            calls_.push_back(call);
            return Outcome::kRefused;
        }
        return Record(call);
    }
    std::vector<std::string>& calls_;
};

}  // namespace tallix::test
