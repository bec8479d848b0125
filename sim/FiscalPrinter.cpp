#include "sim/FiscalPrinter.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "sim/CommandFields.h"
#include "sim/PaperText.h"

namespace tallix {

namespace {

constexpr int64_t kMaxPrice = 99999999;     // 999999.99
constexpr int64_t kMaxQuantity = 99999999;  // 99999.999
constexpr int64_t kMaxTotal = 99999999999;  // 999999999.99
constexpr int64_t kMaxPercent = 10000;      // 100.00 %

const char* const kVatLetters = "ABCDE";

std::string Money(int64_t bani) {
    return FormatFixed(bani, 2);
}

// Why a text is not printable on this printer, or empty when it is.
std::string CheckPrinterText(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x5F) {
            char reason[64];
            (void)std::snprintf(reason, sizeof reason, "character 0x%02X outside the printer's set",
                                byte);
            return reason;
        }
    }
    return {};
}

bool AllEmpty(const std::vector<std::string>& f, std::size_t from) {
    for (std::size_t i = from; i < f.size(); ++i) {
        if (!f[i].empty()) {
            return false;
        }
    }
    return true;
}

CommandResult Refuse(std::string reason) {
    return CommandResult{false, std::move(reason)};
}
CommandResult Done() {
    return CommandResult{true, {}};
}

// Round half up of value * numerator / denominator, for non-negative values.
int64_t ScaleRounded(int64_t value, int64_t numerator, int64_t denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

}  // namespace

FiscalPrinter::FiscalPrinter(std::string serial, PaperSink paper, Clock clock)
    : serial_(std::move(serial)), paper_(std::move(paper)), clock_(std::move(clock)) {}

int FiscalPrinter::VatRate(int group) {
    static const int kRates[kVatGroups] = {2100, 1100, 500, 0, 0};
    return group >= 1 && group <= kVatGroups ? kRates[group - 1] : 0;
}

std::string FiscalPrinter::PaymentName(int type) {
    static const char* const kNames[kPaymentTypes] = {
        "NUMERAR", "CARD", "CREDIT", "TICHETE MASĂ", "TICHETE VALORICE", "ALTE METODE"};
    return type >= 0 && type < kPaymentTypes ? kNames[type] : "?";
}

int64_t OpenReceipt::total() const {
    int64_t sum = 0;
    for (const int64_t g : groups) {
        sum += g;
    }
    return sum;
}

int64_t FiscalPrinter::receiptTotal() const {
    return receipt_ ? receipt_->total() : 0;
}

void FiscalPrinter::print(const std::string& block) {
    if (receipt_) {
        receipt_->printed += block;
    }
    if (paper_) {
        paper_(block);
    }
}

std::string FiscalPrinter::now() const {
    const auto seconds = static_cast<std::time_t>(clock_ ? clock_() : 0.0);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    (void)std::strftime(text, sizeof text, "%d-%m-%Y %H:%M", &local);
    return text;
}

CommandResult FiscalPrinter::execute(const std::string& text) {
    const auto fields = SplitFields(text);
    if (!fields || (*fields)[0].size() != 1) {
        return Refuse("malformed command");
    }
    const auto& f = *fields;
    auto expect = [&f](std::size_t count) { return f.size() == count; };
    switch (f[0][0]) {
        case 'L':
            return expect(10) ? sale(f) : Refuse("wrong number of fields");
        case 'E':
            return expect(6) ? payment(f) : Refuse("wrong number of fields");
        case 'X':
            return expect(6) ? freeText(f) : Refuse("wrong number of fields");
        case 'C':
            return expect(6) ? percent(f) : Refuse("wrong number of fields");
        case 'A':
            return expect(4) ? report(f) : Refuse("wrong number of fields");
        case 'I':
            return expect(6) ? serviceMoney(f) : Refuse("wrong number of fields");
        default:
            return Refuse("unknown command");
    }
}

CommandResult FiscalPrinter::sale(const std::vector<std::string>& f) {
    const std::string& name = f[2];
    if (name.empty()) {
        return Refuse("empty article name");
    }
    if (name.size() > 20) {
        return Refuse("article name longer than 20");
    }
    if (auto bad = CheckPrinterText(name); !bad.empty()) {
        return Refuse(bad);
    }
    const auto price = ParseFixed(f[3], 2);
    if (!price || *price <= 0 || *price > kMaxPrice) {
        return Refuse("bad price");
    }
    const auto quantity = ParseFixed(f[4], 3);
    if (!quantity || *quantity <= 0 || *quantity > kMaxQuantity) {
        return Refuse("bad quantity");
    }
    const auto shtand = ParseInteger(f[5]);
    const auto stock = ParseInteger(f[6]);
    if (!shtand || *shtand < 0 || *shtand > 99 || !stock || *stock < 0 || *stock > 99) {
        return Refuse("bad department or stock group");
    }
    const auto vat = ParseInteger(f[7]);
    if (!vat || *vat < 1 || *vat > kVatGroups) {
        return Refuse("bad VAT group");
    }
    if (!ParseInteger(f[8]) || !ParseInteger(f[9])) {
        return Refuse("malformed command");
    }
    if (receipt_ && receipt_->paid > 0) {
        return Refuse("payment in progress");
    }
    if (receipt_ && receipt_->items >= kMaxItems) {
        return Refuse("receipt full");
    }
    const int64_t amount = ScaleRounded(*price, *quantity, 1000);
    if (receiptTotal() + amount > kMaxTotal) {
        return Refuse("total too large");
    }

    if (!receipt_) {
        receipt_.emplace();
        receipt_->number = receiptNumber_ + 1;
        print(Centered("MAGAZIN DEMO SRL") + Centered("STR. PRINCIPALĂ NR. 1, BRAȘOV") +
              Centered("COD FISCAL RO12345678") + Rule('-'));
    }
    receipt_->groups[*vat - 1] += amount;
    ++receipt_->items;
    print(LeftRight(
        PrinterBytesToUtf8(name) + "  " + FormatFixed(*quantity, 3) + " x " + Money(*price),
        Money(amount) + " " + kVatLetters[*vat - 1]));
    return Done();
}

CommandResult FiscalPrinter::payment(const std::vector<std::string>& f) {
    const auto type = ParseInteger(f[1]);
    if (!type || !AllEmpty(f, 3)) {
        return Refuse("malformed command");
    }
    std::optional<int64_t> amount;
    if (!f[2].empty()) {
        amount = ParseFixed(f[2], 2);
        if (!amount) {
            return Refuse("bad amount");
        }
    }
    if (!receipt_) {
        if (*type == 2 && !amount) {
            return duplicate();
        }
        return Refuse("no receipt open");
    }
    if (*type < 0 || *type >= kPaymentTypes) {
        return Refuse("unknown payment type");
    }
    const int64_t rest = receipt_->total() - receipt_->paid;
    const int64_t paid = amount.value_or(rest);
    if (amount && (*amount <= 0 || *amount > kMaxTotal)) {
        return Refuse("bad amount");
    }
    if (paid > rest && *type != 0) {
        return Refuse("only cash can pay more than the rest");
    }
    if (receipt_->paid == 0) {
        std::string block = Rule('-') + LeftRight("TOTAL", Money(receipt_->total()));
        print(block);
    }
    receipt_->paid += paid;
    receipt_->payments[*type] += paid;
    print(LeftRight(PaymentName(*type), Money(paid)));
    if (receipt_->paid >= receipt_->total()) {
        closeReceipt();
    }
    return Done();
}

void FiscalPrinter::closeReceipt() {
    OpenReceipt& r = *receipt_;
    const int64_t change = r.paid - r.total();
    std::string block;
    if (change > 0) {
        block += LeftRight("REST", Money(change));
    }
    block += Rule('-');
    int64_t vatTotal = 0;
    for (int g = 0; g < kVatGroups; ++g) {
        if (r.groups[g] == 0) {
            continue;
        }
        const int rate = VatRate(g + 1);
        const int64_t vat = ScaleRounded(r.groups[g], rate, 10000 + rate);
        vatTotal += vat;
        block += LeftRight(std::string("TVA ") + kVatLetters[g] + " " + FormatFixed(rate, 2) + "%",
                           Money(vat));
    }
    block += LeftRight("TOTAL TVA", Money(vatTotal));
    block += Rule('-');
    char number[32];
    (void)std::snprintf(number, sizeof number, "BON FISCAL NR. %04d", r.number);
    block += LeftRight(number, now());
    char z[32];
    (void)std::snprintf(z, sizeof z, "Z NR. %04d", zNumber_);
    block += LeftRight(z, "SERIE " + serial_);
    block += Centered("BON FISCAL") + Rule('=') + "\n";
    print(block);

    ++day_.receipts;
    for (int g = 0; g < kVatGroups; ++g) {
        day_.sales[g] += r.groups[g];
    }
    for (int t = 0; t < kPaymentTypes; ++t) {
        day_.payments[t] += r.payments[t];
    }
    day_.discounts += r.discounts;
    day_.surcharges += r.surcharges;
    day_.change += change;
    drawer_ += r.payments[0] - change;
    receiptNumber_ = r.number;
    lastReceipt_ = std::move(r.printed);
    lastDuplicated_ = false;
    receipt_.reset();
}

CommandResult FiscalPrinter::duplicate() {
    if (lastReceipt_.empty()) {
        return Refuse("no receipt to duplicate");
    }
    if (lastDuplicated_) {
        return Refuse("duplicate already printed");
    }
    lastDuplicated_ = true;
    print(Centered("*** DUPLICAT ***") + lastReceipt_.substr(0, lastReceipt_.size() - 1) +
          Centered("*** DUPLICAT ***") + Rule('=') + "\n");
    return Done();
}

CommandResult FiscalPrinter::freeText(const std::vector<std::string>& f) {
    std::string block;
    for (std::size_t i = 1; i < f.size(); ++i) {
        if (auto bad = CheckPrinterText(f[i]); !bad.empty()) {
            return Refuse(bad);
        }
        if (!f[i].empty()) {
            block += Wrapped(PrinterBytesToUtf8(f[i]));
        }
    }
    if (!receipt_ && !block.empty()) {
        block = Centered("BON NEFISCAL") + block + Rule('=') + "\n";
    }
    if (!block.empty()) {
        print(block);
    }
    return Done();
}

CommandResult FiscalPrinter::percent(const std::vector<std::string>& f) {
    const auto kind = ParseInteger(f[1]);
    const auto pct = ParseFixed(f[2], 2);
    if (!kind || !pct || !AllEmpty(f, 3)) {
        return Refuse("malformed command");
    }
    if (*kind != 0 && *kind != 1) {
        return Refuse("unknown percentage kind");
    }
    if (*pct <= 0 || *pct > kMaxPercent) {
        return Refuse("percentage out of range");
    }
    if (!receipt_) {
        return Refuse("no receipt open");
    }
    if (receipt_->paid > 0) {
        return Refuse("payment in progress");
    }
    if (receipt_->total() <= 0) {
        return Refuse("nothing to apply the percentage to");
    }
    // Kind 1 takes the percentage off, kind 0 adds it: the host sends a command file's
    // negative percentage as kind 1, so "-10" on the receipt is a 10 % discount.
    const bool discount = *kind == 1;
    int64_t change = 0;
    for (auto& group : receipt_->groups) {
        const int64_t part = ScaleRounded(group, *pct, 10000);
        group += discount ? -part : part;
        change += part;
    }
    if (discount) {
        receipt_->discounts += change;
        print(LeftRight("REDUCERE " + FormatFixed(*pct, 2) + "%", "-" + Money(change)));
    } else {
        receipt_->surcharges += change;
        print(LeftRight("MAJORARE " + FormatFixed(*pct, 2) + "%", "+" + Money(change)));
    }
    print(LeftRight("SUBTOTAL", Money(receipt_->total())));
    return Done();
}

std::string FiscalPrinter::reportText(bool fiscal) const {
    std::string out = Rule('=');
    if (fiscal) {
        char title[32];
        (void)std::snprintf(title, sizeof title, "RAPORT Z NR. %04d", zNumber_);
        out += Centered(title);
    } else {
        out += Centered("RAPORT X");
    }
    out += LeftRight(now(), "SERIE " + serial_);
    out += Rule('-');
    out += LeftRight("BONURI FISCALE", std::to_string(day_.receipts));
    int64_t total = 0;
    int64_t vatTotal = 0;
    for (int g = 0; g < kVatGroups; ++g) {
        const int rate = VatRate(g + 1);
        const int64_t vat = ScaleRounded(day_.sales[g], rate, 10000 + rate);
        out += LeftRight(std::string("TOTAL ") + kVatLetters[g] + " " + FormatFixed(rate, 2) + "%",
                         Money(day_.sales[g]));
        out += LeftRight(std::string("  TVA ") + kVatLetters[g], Money(vat));
        total += day_.sales[g];
        vatTotal += vat;
    }
    out += LeftRight("TOTAL VÂNZĂRI", Money(total));
    out += LeftRight("TOTAL TVA", Money(vatTotal));
    out += LeftRight("REDUCERI", Money(day_.discounts));
    out += LeftRight("MAJORĂRI", Money(day_.surcharges));
    out += Rule('-');
    for (int t = 0; t < kPaymentTypes; ++t) {
        out += LeftRight(PaymentName(t), Money(day_.payments[t]));
    }
    out += LeftRight("REST ACORDAT", Money(day_.change));
    out += LeftRight("INTRODUCERI NUMERAR", Money(day_.cashIn));
    out += LeftRight("EXTRAGERI NUMERAR", Money(day_.cashOut));
    out += LeftRight("NUMERAR ÎN SERTAR", Money(drawer_));
    out += Centered(fiscal ? "BON FISCAL" : "BON NEFISCAL") + Rule('=') + "\n";
    return out;
}

CommandResult FiscalPrinter::report(const std::vector<std::string>& f) {
    if (!f[1].empty() || !f[2].empty() || (f[3] != "X" && f[3] != "Z")) {
        return Refuse(f[3] == "X" || f[3] == "Z" ? "malformed command" : "unknown report");
    }
    if (receipt_) {
        return Refuse("receipt open");
    }
    const bool fiscal = f[3] == "Z";
    print(reportText(fiscal));
    if (fiscal) {
        day_ = DayTotals{};
        ++zNumber_;
        lastReceipt_.clear();  // the day is closed: no duplicate of yesterday's receipt
    }
    return Done();
}

CommandResult FiscalPrinter::serviceMoney(const std::vector<std::string>& f) {
    const auto direction = ParseInteger(f[1]);
    const auto amount = ParseFixed(f[2], 2);
    if (!direction || !amount || !AllEmpty(f, 3)) {
        return Refuse("malformed command");
    }
    if (*direction != 0 && *direction != 1) {
        return Refuse("unknown direction");
    }
    if (*amount <= 0 || *amount > kMaxTotal) {
        return Refuse("bad amount");
    }
    if (receipt_) {
        return Refuse("receipt open");
    }
    if (*direction == 1 && *amount > drawer_) {
        return Refuse("not enough cash in the drawer");
    }
    if (*direction == 0) {
        drawer_ += *amount;
        day_.cashIn += *amount;
    } else {
        drawer_ -= *amount;
        day_.cashOut += *amount;
    }
    print(Centered("BON NEFISCAL") +
          LeftRight(*direction == 0 ? "INTRODUCERE NUMERAR" : "EXTRAGERE NUMERAR", Money(*amount)) +
          LeftRight("NUMERAR ÎN SERTAR", Money(drawer_)) + LeftRight(now(), "SERIE " + serial_) +
          Rule('=') + "\n");
    return Done();
}

}  // namespace tallix
