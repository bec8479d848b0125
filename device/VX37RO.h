#pragma once

// The VX-37 (Romanian variant): every printer operation as one typed call that builds a
// command text and runs one command exchange on the link.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/Device.h"
#include "device/Outcome.h"
#include "serial/PortError.h"

namespace tallix {

class CashRegManager;

// The device type that names this printer in the preferences, on the command line and in
// the set-up window.
inline constexpr const char* kDeviceTypeVX37 = "VX-37";

class VX37RO final : public Device {
  public:
    VX37RO();
    ~VX37RO() override;
    VX37RO(const VX37RO&) = delete;
    VX37RO& operator=(const VX37RO&) = delete;
    VX37RO(VX37RO&&) = delete;
    VX37RO& operator=(VX37RO&&) = delete;

    bool Open(const std::string& port, int boudRate) override;
    PortError openError() const override;
    void Close() override;
    // Installs the logical ID, the printer's character map and Windows-1250. No traffic.
    bool Initialize(int logicalID) override;
    void SetCancel(const std::atomic<bool>* cancel) override;
    void SetCodePage(uint64_t codePage);

    Outcome Sell_SellItem(const std::string& item, double singlePrice, double quantity, int shtand,
                          int stockGroup, int vatGroup) override;
    Outcome Sell_Payment(int paymentType, double amount) override;
    bool Sell_PrintText(const std::string& row1, const std::string& row2, const std::string& row3,
                        const std::string& row4, const std::string& row5) override;
    Outcome Sell_Percent(int kind, double percent) override;
    // The printer prints no bar codes and has no beeper here: both always fail.
    bool Sell_PrintBarcode(int type, const std::string& data);
    bool Report_FiscalDay() override;
    bool Report_NonFiscalDay() override;
    SerialRead ReadSerial(bool afterSilence = false) override;
    bool Other_Beep();
    Outcome Other_ServiceMoneyTransfer(int direction, double amount) override;
    bool Other_PrintDubliate() override;

    bool LeaveLineClean() override;
    void SettleBeforeNextFrame() override;
    double SlowestAnswer() const override;
    void KnowSlowest(double seconds) override;
    void SetBeforeFrame(std::function<void(int32_t sequenceBefore)> hook) override;
    std::optional<int32_t> LastSequence() const override;

  private:
    std::unique_ptr<CashRegManager> cashRegMan;
    std::function<void(int32_t)> beforeFrame_;
};

// Makes a VX37RO on the real line.
DeviceFactory VX37ROFactory();

}  // namespace tallix
