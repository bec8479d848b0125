#pragma once

// The VX-37 (Romanian variant): every printer operation as the command text it builds from
// its data, and the two steps of the link's confirmed exchange that send one.

#include <cstdint>
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

    PrinterCommand SellItemCommand(const std::string& item, double singlePrice, double quantity,
                                   int shtand, int stockGroup, int vatGroup) const override;
    PrinterCommand PaymentCommand(int paymentType, double amount) const override;
    PrinterCommand PrintTextCommand(const std::string& row1, const std::string& row2,
                                    const std::string& row3, const std::string& row4,
                                    const std::string& row5) const override;
    PrinterCommand PercentCommand(int kind, double percent) const override;
    PrinterCommand FiscalDayCommand() const override;
    PrinterCommand NonFiscalDayCommand() const override;
    PrinterCommand ServiceMoneyTransferCommand(int direction, double amount) const override;
    PrinterCommand PrintDuplicateCommand() const override;
    // The printer prints no bar codes and has no beeper here: both always fail.
    bool Sell_PrintBarcode(int type, const std::string& data);
    bool Other_Beep();

    WakeOutcome Wake() override;
    DeliveryOutcome Deliver(const PrinterCommand& command, int32_t sequenceBefore) override;
    SerialRead ReadSerial(bool afterSilence = false) override;

    bool LeaveLineClean() override;
    void SettleBeforeNextFrame() override;
    double SlowestAnswer() const override;
    void KnowSlowest(double seconds) override;

  private:
    std::unique_ptr<CashRegManager> cashRegMan;
};

// Makes a VX37RO on the real line.
DeviceFactory VX37ROFactory();

}  // namespace tallix
