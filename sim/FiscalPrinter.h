#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tallix {

// Outcome of one command text: executed, or refused with a short reason.
struct CommandResult {
    bool executed = false;
    std::string reason;
};

constexpr int kVatGroups = 5;     // groups 1..5, printed as A..E
constexpr int kPaymentTypes = 6;  // types 0..5
constexpr int kMaxItems = 200;    // sales on one receipt

// What the day has registered since the last Z report. Amounts in bani (1/100 leu).
struct DayTotals {
    int receipts = 0;
    std::array<int64_t, kVatGroups> sales{};  // per VAT group, after discounts and surcharges
    int64_t discounts = 0;
    int64_t surcharges = 0;
    std::array<int64_t, kPaymentTypes> payments{};
    int64_t change = 0;
    int64_t cashIn = 0;
    int64_t cashOut = 0;
};

// The receipt being registered.
struct OpenReceipt {
    int number = 0;
    std::string printed;  // everything printed for it, kept for the duplicate
    std::array<int64_t, kVatGroups> groups{};
    int items = 0;
    int64_t paid = 0;
    std::array<int64_t, kPaymentTypes> payments{};
    int64_t discounts = 0;
    int64_t surcharges = 0;
    int64_t total() const;
};

// The fiscal side of the printer: receipts, reports and the cash drawer. It executes command
// texts and prints on the paper; it knows nothing of the line.
class FiscalPrinter {
  public:
    using PaperSink = std::function<void(const std::string& block)>;
    using Clock = std::function<double()>;  // seconds since the Unix epoch

    FiscalPrinter(std::string serial, PaperSink paper, Clock clock);

    CommandResult execute(const std::string& text);

    bool receiptOpen() const { return receipt_.has_value(); }
    int64_t receiptTotal() const;  // 0 when no receipt is open
    int64_t receiptPaid() const { return receipt_ ? receipt_->paid : 0; }
    int64_t drawer() const { return drawer_; }
    const DayTotals& day() const { return day_; }
    int lastReceiptNumber() const { return receiptNumber_; }
    int nextZNumber() const { return zNumber_; }

    // VAT rate of a group (1..5) in hundredths of a percent.
    static int VatRate(int group);
    static std::string PaymentName(int type);

  private:
    CommandResult sale(const std::vector<std::string>& f);
    CommandResult payment(const std::vector<std::string>& f);
    CommandResult freeText(const std::vector<std::string>& f);
    CommandResult percent(const std::vector<std::string>& f);
    CommandResult report(const std::vector<std::string>& f);
    CommandResult serviceMoney(const std::vector<std::string>& f);
    CommandResult duplicate();

    void closeReceipt();
    void print(const std::string& block);
    std::string now() const;
    std::string reportText(bool fiscal) const;

    std::string serial_;
    PaperSink paper_;
    Clock clock_;
    std::optional<OpenReceipt> receipt_;
    std::string lastReceipt_;
    bool lastDuplicated_ = true;  // nothing to duplicate yet
    int receiptNumber_ = 0;
    int zNumber_ = 1;
    DayTotals day_;
    int64_t drawer_ = 0;
};

}  // namespace tallix
