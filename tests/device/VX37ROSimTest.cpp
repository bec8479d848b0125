// The command set against the virtual printer: what it executes and prints.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/VX37RO.h"
#include "tests/support/SimProcess.h"
#include "tests/support/WaitFor.h"

namespace tallix {
namespace {

using test::SimProcess;
using test::WaitFor;

TEST(VX37ROSim, ReceiptIsExecutedInOrderAndPrinted) {
    SimProcess sim({"--logical-id", "7"});
    ASSERT_TRUE(sim.ready());
    VX37RO device;
    ASSERT_TRUE(device.Open(sim.path(), 9600));
    ASSERT_TRUE(device.Initialize(7));
    EXPECT_TRUE(device.Sell_SellItem("P\u00e2ine alb\u0103", 2.5, 2, 1, 1, 1));
    EXPECT_TRUE(device.Sell_SellItem("Lapte", 4.99, 1, 1, 1, 2));
    EXPECT_TRUE(device.Sell_Percent(0, 10));
    EXPECT_TRUE(device.Sell_Payment(0, 20));
    EXPECT_TRUE(device.Other_PrintDubliate());
    // A percentage without an open receipt is refused by the printer: its counter stays.
    EXPECT_FALSE(device.Sell_Percent(1, 5));
    EXPECT_TRUE(device.Report_FiscalDay());
    device.Close();

    const std::vector<std::string> expected = {"L;;P\\INE ALB[;2.50;2.000;1;1;1;0;0;",
                                               "L;;LAPTE;4.99;1.000;1;1;2;0;0;",
                                               "C;0;10.00;;;;",
                                               "E;0;20.00;;;;",
                                               "E;2;;;;;",
                                               "A;;;Z;"};
    std::vector<std::string> executed;
    WaitFor([&] {
        executed = sim.executedCommands();
        return executed.size() >= expected.size();
    });
    EXPECT_EQ(executed, expected);
    EXPECT_NE(sim.paper().find("DUPLICAT"), std::string::npos);
}

TEST(VX37ROSim, SerialNumberComesFromTheWakeUpAlone) {
    SimProcess sim({"--serial", "RO12345678"});
    ASSERT_TRUE(sim.ready());
    VX37RO device;
    ASSERT_TRUE(device.Open(sim.path(), 9600));
    ASSERT_TRUE(device.Initialize(1));
    std::string serial;
    ASSERT_TRUE(device.Oxel_GetSerial(serial));
    EXPECT_EQ(serial, "RO12345678");
    device.Close();
    int wakeUps = 0;
    int frames = 0;
    WaitFor([&] {
        wakeUps = frames = 0;
        for (const auto& entry : sim.journalLines()) {
            wakeUps += entry.kind() == "wakeup" ? 1 : 0;
            frames += entry.kind() == "frame" ? 1 : 0;
        }
        return wakeUps >= 1;
    });
    EXPECT_EQ(wakeUps, 1);
    EXPECT_EQ(frames, 0);
}

TEST(VX37ROSim, SerialNumberLongerThanTenIsCut) {
    SimProcess sim({"--serial", "RO1234567890XY"});
    ASSERT_TRUE(sim.ready());
    VX37RO device;
    ASSERT_TRUE(device.Open(sim.path(), 9600));
    ASSERT_TRUE(device.Initialize(1));
    std::string serial;
    ASSERT_TRUE(device.Oxel_GetSerial(serial));
    EXPECT_EQ(serial, "RO12345678");
}

}  // namespace
}  // namespace tallix
