#pragma once

// The VX-37 (Romanian variant): every printer operation as one typed call that builds a
// command text and runs one command exchange on the link.

#include <cstdint>
#include <memory>
#include <string>

#include "device/Outcome.h"
#include "serial/PortError.h"

namespace tallix {

class CashRegManager;

class VX37RO {
  public:
    VX37RO();
    virtual ~VX37RO();
    VX37RO(const VX37RO&) = delete;
    VX37RO& operator=(const VX37RO&) = delete;

    virtual bool Open(const std::string& port, int boudRate);
    // Why the last Open failed: the port that could not be opened and the reason.
    virtual PortError openError() const;
    virtual void Close();
    // Installs the logical ID, the printer's character map and Windows-1250. No traffic.
    virtual bool Initialize(int logicalID);
    virtual void SetCodePage(uint64_t codePage);

    // The operations that take numbers or names are Refused, with nothing sent, when these
    // cannot make a valid command: a number that is not finite or makes the text longer than
    // the printer takes, an item name over 130 characters, a kind or direction other than 0
    // or 1.
    virtual Outcome Sell_SellItem(const std::string& item, double singlePrice, double quantity,
                                  int shtand, int stockGroup, int vatGroup);
    virtual Outcome Sell_Payment(int paymentType, double amount);
    virtual bool Sell_PrintText(const std::string& row1, const std::string& row2,
                                const std::string& row3, const std::string& row4,
                                const std::string& row5);
    virtual Outcome Sell_Percent(int kind, double percent);
    virtual bool Sell_PrintBarcode(int type, const std::string& data);
    virtual bool Report_FiscalDay();
    virtual bool Report_NonFiscalDay();
    // The serial number from a wake-up answer; serial is left as it was on failure.
    virtual bool Oxel_GetSerial(std::string& serial);
    virtual bool Other_Beep();
    virtual Outcome Other_ServiceMoneyTransfer(int direction, double amount);
    virtual bool Other_PrintDubliate();

    CashRegManager& link() { return *cashRegMan; }

  private:
    std::unique_ptr<CashRegManager> cashRegMan;
};

}  // namespace tallix
