#include <gtest/gtest.h>

#include <string>

#include "sim/FiscalPrinter.h"

namespace tallix {
namespace {

class Fiscal : public ::testing::Test {
  protected:
    std::string paper;
    FiscalPrinter printer{"VX37000001", [this](const std::string& b) { paper += b; },
                          [] { return 1700000000.0; }};

    bool run(const std::string& text) { return printer.execute(text).executed; }
    std::string refusal(const std::string& text) {
        const auto result = printer.execute(text);
        return result.executed ? "executed" : result.reason;
    }
};

TEST_F(Fiscal, SaleOpensReceiptAndCashPaymentGivesChange) {
    ASSERT_TRUE(run("L;;PAINE;2.50;2.000;1;1;1;0;0;"));
    ASSERT_TRUE(run("L;;LAPTE;4.99;1.500;1;1;2;0;0;"));  // 7.485 rounds to 7.49
    EXPECT_TRUE(printer.receiptOpen());
    EXPECT_EQ(printer.receiptTotal(), 1249);
    ASSERT_TRUE(run("E;1;2.49;;;;"));
    EXPECT_TRUE(printer.receiptOpen());
    ASSERT_TRUE(run("E;0;20.00;;;;"));
    EXPECT_FALSE(printer.receiptOpen());
    EXPECT_EQ(printer.drawer(), 1000);  // 20.00 in, 10.00 change out
    EXPECT_EQ(printer.day().receipts, 1);
    EXPECT_EQ(printer.day().change, 1000);
    EXPECT_EQ(printer.day().sales[0], 500);
    EXPECT_EQ(printer.day().sales[1], 749);
    EXPECT_EQ(printer.lastReceiptNumber(), 1);
    EXPECT_NE(paper.find("PAINE  2.000 x 2.50"), std::string::npos);
    EXPECT_NE(paper.find("REST"), std::string::npos);
    EXPECT_NE(paper.find("BON FISCAL NR. 0001"), std::string::npos);
    EXPECT_NE(paper.find("SERIE VX37000001"), std::string::npos);
}

TEST_F(Fiscal, PaymentWithoutAmountPaysTheRest) {
    ASSERT_TRUE(run("L;;APA;3.00;1.000;1;1;1;0;0;"));
    ASSERT_TRUE(run("E;1;1.00;;;;"));
    ASSERT_TRUE(run("E;4;;;;;"));
    EXPECT_FALSE(printer.receiptOpen());
    EXPECT_EQ(printer.day().payments[1], 100);
    EXPECT_EQ(printer.day().payments[4], 200);
}

TEST_F(Fiscal, PaymentRefusals) {
    EXPECT_EQ(refusal("E;0;5.00;;;;"), "no receipt open");
    ASSERT_TRUE(run("L;;APA;3.00;1.000;1;1;1;0;0;"));
    EXPECT_EQ(refusal("E;1;5.00;;;;"), "only cash can pay more than the rest");
    EXPECT_EQ(refusal("E;6;;;;;"), "unknown payment type");
    EXPECT_EQ(refusal("E;-1;;;;;"), "unknown payment type");
    EXPECT_EQ(refusal("E;0;0.00;;;;"), "bad amount");
    EXPECT_EQ(refusal("E;0;1.005;;;;"), "bad amount");
    EXPECT_EQ(refusal("E;0;;;;"), "wrong number of fields");
    ASSERT_TRUE(run("E;1;1.00;;;;"));
    // Once paying has begun the receipt takes no more sales or percentages.
    EXPECT_EQ(refusal("L;;APA;3.00;1.000;1;1;1;0;0;"), "payment in progress");
    EXPECT_EQ(refusal("C;0;10.00;;;;"), "payment in progress");
    EXPECT_TRUE(run("E;0;;;;;"));
}

TEST_F(Fiscal, SaleRefusals) {
    EXPECT_EQ(refusal("L;;PAINE;2.50;1.000;1;1;0;0;0;"), "bad VAT group");
    EXPECT_EQ(refusal("L;;PAINE;2.50;1.000;1;1;6;0;0;"), "bad VAT group");
    EXPECT_EQ(refusal("L;;PAINE;0.00;1.000;1;1;1;0;0;"), "bad price");
    EXPECT_EQ(refusal("L;;PAINE;-2.50;1.000;1;1;1;0;0;"), "bad price");
    EXPECT_EQ(refusal("L;;PAINE;2.50;0.000;1;1;1;0;0;"), "bad quantity");
    EXPECT_EQ(refusal("L;;PAINE;inf;1.000;1;1;1;0;0;"), "bad price");
    EXPECT_EQ(refusal("L;;PAINE;2,50;1.000;1;1;1;0;0;"), "bad price");
    EXPECT_EQ(refusal("L;;;2.50;1.000;1;1;1;0;0;"), "empty article name");
    EXPECT_EQ(refusal("L;;" + std::string(21, 'A') + ";2.50;1.000;1;1;1;0;0;"),
              "article name longer than 20");
    EXPECT_EQ(refusal("L;;paine;2.50;1.000;1;1;1;0;0;"),
              "character 0x70 outside the printer's set");
    EXPECT_EQ(refusal("L;;PA;INE;2.50;1.000;1;1;1;0;0;"), "wrong number of fields");
    EXPECT_EQ(refusal("L;;PAINE;2.50;1.000;1;1;1;0;0"), "malformed command");
    EXPECT_EQ(refusal(""), "malformed command");
    EXPECT_EQ(refusal("Q;;;;"), "unknown command");
    EXPECT_FALSE(printer.receiptOpen());
    EXPECT_TRUE(paper.empty());
}

TEST_F(Fiscal, RomanianLettersPrintAsUtf8) {
    ASSERT_TRUE(run("L;;[\\]^_;1.00;1.000;1;1;1;0;0;"));
    EXPECT_NE(paper.find("ĂÂÎȘȚ  1.000 x 1.00"), std::string::npos);
}

TEST_F(Fiscal, PercentOnTheReceiptSoFar) {
    EXPECT_EQ(refusal("C;0;10.00;;;;"), "no receipt open");
    ASSERT_TRUE(run("L;;A;10.00;1.000;1;1;1;0;0;"));
    ASSERT_TRUE(run("L;;B;5.00;1.000;1;1;2;0;0;"));
    EXPECT_EQ(refusal("C;2;10.00;;;;"), "unknown percentage kind");
    EXPECT_EQ(refusal("C;0;100.01;;;;"), "percentage out of range");
    EXPECT_EQ(refusal("C;0;0.00;;;;"), "percentage out of range");
    ASSERT_TRUE(run("C;1;10.00;;;;"));
    EXPECT_EQ(printer.receiptTotal(), 1350);
    ASSERT_TRUE(run("C;0;10.00;;;;"));  // on the discounted sum
    EXPECT_EQ(printer.receiptTotal(), 1485);
    ASSERT_TRUE(run("C;1;100.00;;;;"));
    EXPECT_EQ(printer.receiptTotal(), 0);
    EXPECT_EQ(refusal("C;0;5.00;;;;"), "nothing to apply the percentage to");
    ASSERT_TRUE(run("E;0;;;;;"));  // a receipt of 0.00 closes with its payment
    EXPECT_FALSE(printer.receiptOpen());
    EXPECT_EQ(printer.day().discounts, 150 + 1485);
    EXPECT_EQ(printer.day().surcharges, 135);
    EXPECT_NE(paper.find("REDUCERE 10.00%"), std::string::npos);
    EXPECT_NE(paper.find("MAJORARE 10.00%"), std::string::npos);
}

TEST_F(Fiscal, ReportsAndTheDay) {
    ASSERT_TRUE(run("L;;A;10.00;1.000;1;1;1;0;0;"));
    EXPECT_EQ(refusal("A;;;Z;"), "receipt open");
    EXPECT_EQ(refusal("A;;;X;"), "receipt open");
    ASSERT_TRUE(run("E;0;;;;;"));
    EXPECT_EQ(refusal("A;;;Q;"), "unknown report");
    EXPECT_EQ(refusal("A;;;X"), "malformed command");
    ASSERT_TRUE(run("A;;;X;"));
    EXPECT_EQ(printer.day().receipts, 1);  // X leaves the day as it is
    ASSERT_TRUE(run("A;;;Z;"));
    EXPECT_EQ(printer.day().receipts, 0);
    EXPECT_EQ(printer.day().sales[0], 0);
    EXPECT_EQ(printer.nextZNumber(), 2);
    EXPECT_EQ(printer.drawer(), 1000);  // the cash stays in the drawer
    EXPECT_NE(paper.find("RAPORT X"), std::string::npos);
    EXPECT_NE(paper.find("RAPORT Z NR. 0001"), std::string::npos);
    // An empty day still has its Z report.
    EXPECT_TRUE(run("A;;;Z;"));
    EXPECT_NE(paper.find("RAPORT Z NR. 0002"), std::string::npos);
}

TEST_F(Fiscal, ServiceMoney) {
    EXPECT_EQ(refusal("I;1;0.01;;;;"), "not enough cash in the drawer");
    ASSERT_TRUE(run("I;0;100.00;;;;"));
    ASSERT_TRUE(run("I;1;40.00;;;;"));
    EXPECT_EQ(refusal("I;1;60.01;;;;"), "not enough cash in the drawer");
    EXPECT_EQ(refusal("I;2;1.00;;;;"), "unknown direction");
    EXPECT_EQ(refusal("I;0;0.00;;;;"), "bad amount");
    EXPECT_EQ(printer.drawer(), 6000);
    ASSERT_TRUE(run("L;;A;1.00;1.000;1;1;1;0;0;"));
    EXPECT_EQ(refusal("I;0;1.00;;;;"), "receipt open");
    EXPECT_EQ(printer.day().cashIn, 10000);
    EXPECT_EQ(printer.day().cashOut, 4000);
}

TEST_F(Fiscal, DuplicateOfTheLastReceiptOnce) {
    EXPECT_EQ(refusal("E;2;;;;;"), "no receipt to duplicate");
    ASSERT_TRUE(run("L;;SUC;6.00;1.000;1;1;1;0;0;"));
    ASSERT_TRUE(run("E;2;;;;;"));  // inside a receipt: payment type 2 for the rest
    EXPECT_EQ(printer.day().payments[2], 600);
    paper.clear();
    ASSERT_TRUE(run("E;2;;;;;"));
    EXPECT_NE(paper.find("DUPLICAT"), std::string::npos);
    EXPECT_NE(paper.find("SUC  1.000 x 6.00"), std::string::npos);
    EXPECT_EQ(printer.day().receipts, 1);  // a duplicate registers nothing
    EXPECT_EQ(refusal("E;2;;;;;"), "duplicate already printed");
    EXPECT_EQ(refusal("E;2;1.00;;;;"), "no receipt open");
}

TEST_F(Fiscal, FreeTextInsideAndOutside) {
    ASSERT_TRUE(run("X;;;;;;"));  // five empty rows: nothing to print
    EXPECT_TRUE(paper.empty());
    ASSERT_TRUE(run("X;LINIA 1;;LINIA 3;;;"));
    EXPECT_NE(paper.find("BON NEFISCAL\nLINIA 1\nLINIA 3\n"), std::string::npos);
    ASSERT_TRUE(run("L;;A;1.00;1.000;1;1;1;0;0;"));
    ASSERT_TRUE(run("X;MULTUMIM;;;;;"));
    EXPECT_TRUE(printer.receiptOpen());
    EXPECT_EQ(refusal("X;A;B;C;D;E;F;"), "wrong number of fields");
    EXPECT_EQ(refusal("X;\x7f;;;;;"), "character 0x7F outside the printer's set");
}

}  // namespace
}  // namespace tallix
