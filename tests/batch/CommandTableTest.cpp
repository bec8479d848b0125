// The command table against what it describes: the printer operations that really check the
// counter, the field bounds the dispatch applies, the numbers that execute nothing.

#include "batch/CommandTable.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "device/VX37RO.h"
#include "tests/protocol/RawPrinter.h"
#include "tests/support/RecordingDevice.h"

namespace tallix {
namespace {

// A line of each command that the printer executes; a row without one fails the test below.
const std::map<int32_t, std::string>& SampleLines() {
    static const std::map<int32_t, std::string> samples = {
        {49, "49;Bread;0;2;1.50;1;0;0"},
        {51, "51"},
        {53, "53;;;1;10.00"},
        {54, "54;a;b;c;d;e"},
        {69, "69;2"},
        {70, "70;1;25.00;x"},
        {109, "109"},
        {200, "200;-5;"},
    };
    return samples;
}

// A printer that acknowledges every frame and answers every wake-up but never moves its
// counter: a command counts as done on it only when its exchange does not check the counter.
TEST(CommandTable, CounterCheckIsWhatThePrinterOperationDoes) {
    test::RawPrinter printer;
    ASSERT_FALSE(printer.path().empty());
    printer.onFrame([](int, const std::string&, int&) { return test::Bytes{0x06}; });
    VX37RO device;
    ASSERT_TRUE(device.Open(printer.path(), 9600));
    ASSERT_TRUE(device.Initialize(1));
    for (const CommandSpec& command : Commands()) {
        const auto sample = SampleLines().find(command.number);
        ASSERT_NE(sample, SampleLines().end()) << "no sample line for " << command.number;
        const int framesBefore = printer.frames();
        const std::optional<int32_t> code = DispatchCommand(device, CommandLine(sample->second));
        EXPECT_GT(printer.frames(), framesBefore) << sample->second;
        EXPECT_EQ(code, command.checksCounter ? kCodeFailed : kCodeDone) << sample->second;
    }
    device.Close();
}

// One field short of a command's bounds (and one over, where it has an upper one) calls
// nothing on the printer and gives what the table says.
TEST(CommandTable, FieldBoundsAreAppliedBeforeThePrinterIsCalled) {
    for (const CommandSpec& command : Commands()) {
        std::vector<std::string> lines;
        if (command.minFields > 1) {
            lines.push_back(std::to_string(command.number) +
                            std::string(command.minFields - 2, ';'));
        }
        if (command.maxFields != kAnyFieldCount) {
            lines.push_back(std::to_string(command.number) + std::string(command.maxFields, ';'));
        }
        for (const std::string& text : lines) {
            test::DeviceScript script;
            test::RecordingDevice device(script);
            const std::optional<int32_t> code = DispatchCommand(device, CommandLine(text));
            EXPECT_TRUE(script.calls().empty()) << text;
            if (command.wrongFieldCount == WrongFieldCount::kSyntaxError) {
                EXPECT_EQ(code, kCodeSyntaxError) << text;
            } else {
                EXPECT_EQ(code, std::nullopt) << text;
            }
        }
    }
}

TEST(CommandTable, NumbersOutsideTheTableExecuteNothing) {
    for (const int32_t number : {0, -49, 48, 50, 52, 55, 68, 71, 108, 110, 199, 201, 5005}) {
        EXPECT_EQ(FindCommand(number), nullptr) << number;
        EXPECT_FALSE(MaySendCommand(number)) << number;
    }
    for (const CommandSpec& command : Commands()) {
        ASSERT_NE(FindCommand(command.number), nullptr) << command.number;
        EXPECT_EQ(FindCommand(command.number)->name, command.name);
        EXPECT_TRUE(MaySendCommand(command.number)) << command.number;
    }
}

}  // namespace
}  // namespace tallix
