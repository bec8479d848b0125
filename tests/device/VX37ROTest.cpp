// The device command set against a scripted printer: the command texts that reach the line,
// and the calls that must send nothing.

#include "device/VX37RO.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "protocol/CashRegManager.h"
#include "tests/protocol/RawPrinter.h"

namespace tallix {
namespace {

using test::Bytes;
using test::RawPrinter;

constexpr double kInf = std::numeric_limits<double>::infinity();

class VX37ROCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(printer.path().empty());
        ASSERT_TRUE(device.Open(printer.path(), 9600));
        ASSERT_TRUE(device.Initialize(1));
    }
    void TearDown() override { device.Close(); }

    // The one frame text that the last call sent.
    std::string LastText() {
        const std::vector<std::string> texts = printer.frameTexts();
        return texts.empty() ? std::string("<nothing>") : texts.back();
    }

    // True when nothing but one wake-up with reset has reached the printer: whatever was
    // called before sent nothing.
    bool OnlyOneWakeUpOnTheLine() {
        std::string serial;
        if (!device.Oxel_GetSerial(serial)) {
            return false;
        }
        printer.waitForBytes(30);
        return printer.received().size() == 30 && printer.frames() == 0 && printer.wakeUps() == 1;
    }

    RawPrinter printer;
    VX37RO device;
};

TEST_F(VX37ROCommands, CommandTextsOfEveryOperation) {
    struct Case {
        std::function<Outcome(VX37RO&)> call;
        const char* text;
    };
    const std::vector<Case> cases = {
        {[](VX37RO& d) { return d.Sell_SellItem("bread", 2.5, 1, 1, 1, 2); },
         "L;;BREAD;2.50;1.000;1;1;2;0;0;"},
        {[](VX37RO& d) { return d.Sell_SellItem("Lapte 1,5%", 4.99, 0.25, 1, 3, -1); },
         "L;;LAPTE 1,5%;4.99;0.250;1;3;-1;0;0;"},
        {[](VX37RO& d) { return d.Sell_Payment(4, 0.0); }, "E;4;;;;;"},
        {[](VX37RO& d) { return d.Sell_Payment(1, 10); }, "E;1;10.00;;;;"},
        {[](VX37RO& d) { return d.Sell_Payment(-3, -1.5); }, "E;-3;-1.50;;;;"},
        {[](VX37RO& d) { return d.Sell_Percent(1, 10); }, "C;1;10.00;;;;"},
        {[](VX37RO& d) { return d.Sell_Percent(0, 7.5); }, "C;0;7.50;;;;"},
        {[](VX37RO& d) { return d.Other_ServiceMoneyTransfer(0, 50.5); }, "I;0;50.50;;;;"},
        {[](VX37RO& d) { return d.Other_ServiceMoneyTransfer(1, 20); }, "I;1;20.00;;;;"},
        {[](VX37RO& d) { return d.Other_PrintDubliate(); }, "E;2;;;;;"},
        {[](VX37RO& d) { return d.Report_NonFiscalDay(); }, "A;;;X;"},
        {[](VX37RO& d) { return d.Report_FiscalDay(); }, "A;;;Z;"},
        {[](VX37RO& d) { return d.Sell_PrintText("Multumim", "", "a;b", "", "Tab\there"); },
         "X;MULTUMIM;;A;B;;TAB HERE;"},
        {[](VX37RO& d) { return d.Sell_PrintText("", "", "", "", ""); }, "X;;;;;;"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.call(device)) << c.text;
        EXPECT_EQ(LastText(), c.text);
    }
    EXPECT_EQ(printer.frames(), static_cast<int>(cases.size()));
}

TEST_F(VX37ROCommands, AmountsAreRoundedFromTheStoredValue) {
    ASSERT_TRUE(device.Sell_Payment(1, 2.675));
    EXPECT_EQ(LastText(), "E;1;2.67;;;;");
    ASSERT_TRUE(device.Sell_Payment(1, 0.125));
    EXPECT_EQ(LastText(), "E;1;0.12;;;;");
    ASSERT_TRUE(device.Sell_Payment(1, 0.001));
    EXPECT_EQ(LastText(), "E;1;0.00;;;;");
    ASSERT_TRUE(device.Sell_SellItem("X", 0.005, 0.0005, 1, 1, 1));
    EXPECT_EQ(LastText(), "L;;X;0.01;0.001;1;1;1;0;0;");  // both stored just above the tie
}

TEST_F(VX37ROCommands, NamesAreCutToTwentyCapitalsAndRomanianLetters) {
    ASSERT_TRUE(device.Sell_SellItem("abcdefghijklmnopqrstuvwxy", 1, 1, 1, 1, 1));
    EXPECT_EQ(LastText(), "L;;ABCDEFGHIJKLMNOPQRST;1.00;1.000;1;1;1;0;0;");
    // a with circumflex, and the comma-below and cedilla forms of s and t alike.
    ASSERT_TRUE(device.Sell_SellItem("P\u00e2ine 1 kg", 1, 1, 1, 1, 1));
    EXPECT_EQ(LastText(), "L;;P\\INE 1 KG;1.00;1.000;1;1;1;0;0;");
    ASSERT_TRUE(
        device.Sell_SellItem("\u0102\u00e2\u00ee\u0219\u021b\u015e\u0163\u00e9", 1, 1, 1, 1, 1));
    EXPECT_EQ(LastText(), "L;;[\\]^_^_ ;1.00;1.000;1;1;1;0;0;");
    ASSERT_TRUE(device.Sell_PrintText("\u021bar\u0103", "\u00ceNCHIS", "", "", ""));
    EXPECT_EQ(LastText(), "X;_AR[;]NCHIS;;;;");
}

TEST_F(VX37ROCommands, NameOf130CharactersIsTakenAnd131Refused) {
    // Counted in characters: 130 two-byte letters are 260 bytes of UTF-8.
    std::string name130;
    for (int i = 0; i < 130; ++i) {
        name130 += "\u0103";
    }
    ASSERT_TRUE(device.Sell_SellItem(name130, 1, 1, 1, 1, 1));
    EXPECT_EQ(LastText(), "L;;" + std::string(20, '[') + ";1.00;1.000;1;1;1;0;0;");
    ASSERT_TRUE(device.Sell_SellItem(std::string(130, 'a'), 1, 1, 1, 1, 1));
    const int frames = printer.frames();
    EXPECT_TRUE(device.Sell_SellItem(std::string(131, 'a'), 1, 1, 1, 1, 1).refused());
    EXPECT_TRUE(device.Sell_SellItem(name130 + "a", 1, 1, 1, 1, 1).refused());
    ASSERT_TRUE(device.Other_PrintDubliate());
    EXPECT_EQ(printer.frames(), frames + 1);
    EXPECT_EQ(LastText(), "E;2;;;;;");
}

// Refused, not failed: the data must change, the printer has heard nothing.
TEST_F(VX37ROCommands, RefusedArgumentsSendNothing) {
    EXPECT_TRUE(device.Sell_Percent(2, 10).refused());
    EXPECT_TRUE(device.Sell_Percent(-1, 10).refused());
    EXPECT_TRUE(device.Other_ServiceMoneyTransfer(2, 10).refused());
    EXPECT_TRUE(device.Other_ServiceMoneyTransfer(-1, 10).refused());
    EXPECT_TRUE(device.Sell_SellItem(std::string(131, 'b'), 1, 1, 1, 1, 1).refused());
    EXPECT_TRUE(device.Sell_SellItem("bread", std::nan(""), 1, 1, 1, 1).refused());
    EXPECT_TRUE(device.Sell_SellItem("bread", 1, kInf, 1, 1, 1).refused());
    EXPECT_TRUE(device.Sell_Payment(1, kInf).refused());
    EXPECT_TRUE(device.Sell_Payment(1, std::nan("")).refused());
    EXPECT_TRUE(device.Sell_Percent(0, -kInf).refused());
    EXPECT_TRUE(device.Other_ServiceMoneyTransfer(1, std::nan("")).refused());
    // Texts over 199 bytes: "E;1;" and 1e200 in fixed point are far more.
    EXPECT_TRUE(device.Sell_Payment(1, 1e200).refused());
    EXPECT_TRUE(device.Sell_SellItem("bread", 1e180, 1, 1, 1, 1).refused());
    EXPECT_TRUE(device.Sell_Percent(1, 1e190).refused());
    EXPECT_TRUE(device.Other_ServiceMoneyTransfer(0, 1e190).refused());
    EXPECT_FALSE(device.Sell_PrintBarcode(1, "5941234567890"));
    EXPECT_FALSE(device.Other_Beep());
    EXPECT_TRUE(OnlyOneWakeUpOnTheLine());
}

TEST_F(VX37ROCommands, LongestAcceptedTextIs199Bytes) {
    // "E;1;" + digits + ".00;;;;" is 11 bytes besides the digits.
    const double digits188 = 2e187;  // 188 integer digits in fixed point
    const double digits189 = 2e188;
    ASSERT_TRUE(device.Sell_Payment(1, digits188));
    EXPECT_EQ(LastText().size(), 199U);
    const int frames = printer.frames();
    EXPECT_TRUE(device.Sell_Payment(1, digits189).refused());
    EXPECT_EQ(printer.frames(), frames);
}

TEST_F(VX37ROCommands, GetSerialSendsNoCommand) {
    printer.onWakeUp([](int, const std::string&, int& sequence) {
        return RawPrinter::AnswerFrame("RO12345678;" + std::to_string(sequence) + ";");
    });
    std::string serial = "old";
    ASSERT_TRUE(device.Oxel_GetSerial(serial));
    EXPECT_EQ(serial, "RO12345678");
    printer.waitForBytes(30);
    EXPECT_EQ(printer.received().size(), 30U);
    EXPECT_EQ(printer.frames(), 0);
}

TEST_F(VX37ROCommands, DailyReportsDoNotNeedTheCounterToMove) {
    printer.onFrame([](int, const std::string&, int&) { return Bytes{0x06}; });
    EXPECT_TRUE(device.Report_FiscalDay());
    EXPECT_TRUE(device.Report_NonFiscalDay());
    // Sent and not confirmed: failed, not refused.
    EXPECT_EQ(device.Sell_Payment(1, 1).kind(), Outcome::kFailed);
}

TEST(VX37ROClosed, EveryCallFailsWithoutAPort) {
    VX37RO device;
    EXPECT_FALSE(device.Open("/dev/no-such-node", 9600));
    EXPECT_TRUE(device.Initialize(3));
    std::string serial = "kept";
    EXPECT_FALSE(device.Oxel_GetSerial(serial));
    EXPECT_EQ(serial, "kept");
    EXPECT_EQ(device.Sell_Payment(1, 1).kind(), Outcome::kFailed);
    EXPECT_FALSE(device.Report_FiscalDay());
    device.Close();
}

}  // namespace
}  // namespace tallix
