#include "batch/CommandDispatch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "batch/ExitCodes.h"
#include "batch/ResultFile.h"
#include "batch/RunSequence.h"
#include "tests/support/RecorderOptions.h"
#include "tests/support/RecordingDevice.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::DeviceScript;
using test::RecordingDevice;
using test::TempDir;
using Calls = std::vector<std::string>;

// Runs a decoded command text on a recording device; keeps what it called and wrote.
struct Dispatched {
    explicit Dispatched(const std::string& text, std::vector<std::string> failing = {},
                        std::vector<std::string> refusing = {}) {
        DeviceScript script;
        script.failing = std::move(failing);
        script.refusing = std::move(refusing);
        RecordingDevice device(script);
        std::optional<ResultFile> file = ResultFile::Open(dir.file("result.txt"));
        EXPECT_TRUE(file.has_value());
        answered = ExecuteCommandLines(device, *file, CommandLines(text));
        file->Close();
        calls = script.calls();
        result = TempDir::ReadFile(dir.file("result.txt"));
    }
    TempDir dir;
    Calls calls;
    bool answered = false;
    std::string result;
};

std::string Ok(int command) {
    return "\"" + std::to_string(command) + "\";\"0\";\"No error\";" +
           (command == 53 ? "\"\";" : "") + "\n";
}
std::string Line(int command, int number, const std::string& text) {
    return "\"" + std::to_string(command) + "\";\"" + std::to_string(number) + "\";\"" + text +
           "\";\n";
}
std::string SyntaxError(int command) {
    return Line(command, 21, "Syntax error");
}
std::string Skipped(int command) {
    return Line(command, 9, "Error in previous command");
}

TEST(CommandDispatch, EachCommandCallsItsOperationWithTheFieldsOfTheTable) {
    const Dispatched run(
        "49;Bread;0;2;1.50;1;0;0\n"
        "\"49\";\"Bread\";\"0\";\"2\";\"1.50\";\"1\";\"0\";\"0\";extra\n"
        "51\n"
        "53;;;1;10.00\n"
        "53;x;y;3;7.5;ignored\n"
        "54;r1;r2;r3;r4;r5\n"
        "69;0\n"
        "69;2\n"
        "70;1;25.00;x\n"
        "109\n"
        "200;-5;\n"
        "200;12.5;\n");
    EXPECT_TRUE(run.answered);
    EXPECT_EQ(run.calls, (Calls{
                             "Sell_SellItem(Bread, 1.500, 2.000, 1, 1, 1)",
                             "Sell_SellItem(Bread, 1.500, 2.000, 1, 1, 1)",
                             "Sell_Payment(4, 0.000)",
                             "Sell_Payment(1, 10.000)",
                             "Sell_Payment(3, 7.500)",
                             "Sell_PrintText(r1|r2|r3|r4|r5)",
                             "Report_FiscalDay()",
                             "Report_NonFiscalDay()",
                             "Other_ServiceMoneyTransfer(1, 25.000)",
                             "Other_PrintDubliate()",
                             "Sell_Percent(1, 5.000)",
                             "Sell_Percent(0, 12.500)",
                         }));
    EXPECT_EQ(run.result, Ok(49) + Ok(49) + Ok(51) + Ok(53) + Ok(53) + Ok(54) + Ok(69) + Ok(69) +
                              Ok(70) + Ok(109) + Ok(200) + Ok(200));
}

TEST(CommandDispatch, LinesThatExecuteNothingAreAnsweredAsDone) {
    // 69 with another report, 70 without exactly four fields, unknown and negative numbers;
    // lines with command number 0 (empty after trimming, blanks, comments) leave no line.
    const Dispatched run("69;1\n70;1;25.00\n70;1;25.00;x;y\n48;x\n-3\n\r\n   \n# note;49\n\n");
    EXPECT_TRUE(run.calls.empty());
    EXPECT_EQ(run.result, Ok(69) + Ok(70) + Ok(70) + Ok(48) + Ok(-3));
}

TEST(CommandDispatch, PercentageBoundsAreInclusive) {
    const Dispatched run("200;99.99;\n200;-99.99;\n200;0;\n200;-0;\n");
    EXPECT_EQ(run.calls, (Calls{"Sell_Percent(0, 99.990)", "Sell_Percent(1, 99.990)",
                                "Sell_Percent(0, 0.000)", "Sell_Percent(0, 0.000)"}));
    for (const char* outside : {"200;100;\n", "200;-99.991;\n", "200;1e400;\n", "200;-5\n"}) {
        const Dispatched refused(std::string(outside) + "109\n");
        EXPECT_TRUE(refused.calls.empty()) << outside;
        EXPECT_EQ(refused.result, SyntaxError(200) + Skipped(109)) << outside;
    }
    // "inf" and "nan" are no numbers: they read as 0.
    EXPECT_EQ(Dispatched("200;inf;\n200;nan;\n").calls,
              (Calls{"Sell_Percent(0, 0.000)", "Sell_Percent(0, 0.000)"}));
}

TEST(CommandDispatch, MissingFieldsAreASyntaxErrorThatStopsTheFile) {
    for (const char* shortLine : {"49;Bread;0;2;1.50;1;0", "53;;;1", "54;a;b;c;d", "200;5", "69"}) {
        const Dispatched run(std::string(shortLine) + "\n109\n51\n");
        const int command = CommandLine(shortLine).commandNumber();
        EXPECT_TRUE(run.calls.empty()) << shortLine;
        EXPECT_EQ(run.result, SyntaxError(command) + Skipped(109) + Skipped(51)) << shortLine;
    }
}

// A Z report closes the fiscal day for good: only a field 1 that begins with digits (after
// blanks and a sign) runs a report; text that merely reads as 0 is a syntax error.
TEST(CommandDispatch, Command69RunsAReportOnlyFromWrittenDigits) {
    const Dispatched reports("69; 0\n69;+2\n69;-0\n69;\"2\"\n69;2 X\n69;0;x\n");
    EXPECT_EQ(reports.calls,
              (Calls{"Report_FiscalDay()", "Report_NonFiscalDay()", "Report_FiscalDay()",
                     "Report_NonFiscalDay()", "Report_NonFiscalDay()", "Report_FiscalDay()"}));
    EXPECT_EQ(reports.result, Ok(69) + Ok(69) + Ok(69) + Ok(69) + Ok(69) + Ok(69));

    const Dispatched others("69;5\n69;-2\n69;1\n69;20\n");
    EXPECT_TRUE(others.calls.empty());
    EXPECT_EQ(others.result, Ok(69) + Ok(69) + Ok(69) + Ok(69));

    for (const char* noNumber :
         {"69;X", "69;", "69;x2", "69;0x2", "69;0X0", "69; ", "69;\"\"", "69;-", "69;Z"}) {
        const Dispatched run(std::string(noNumber) + "\n109\n");
        EXPECT_TRUE(run.calls.empty()) << noNumber;
        EXPECT_EQ(run.result, SyntaxError(69) + Skipped(109)) << noNumber;
    }
}

TEST(CommandDispatch, AFailedOperationStopsEverythingAfterIt) {
    const Dispatched run(
        "49;Bread;0;2;1.50;1;0;0\n53;;;0;3.00\n# comment\n109\n\n70;1;5;x\n69;1\n7\n",
        {"Sell_Payment"});
    EXPECT_TRUE(run.answered);
    EXPECT_EQ(run.calls,
              (Calls{"Sell_SellItem(Bread, 1.500, 2.000, 1, 1, 1)", "Sell_Payment(0, 3.000)"}));
    EXPECT_EQ(run.result, Ok(49) + Line(53, 1, "No printer response") + Skipped(109) + Skipped(70) +
                              Skipped(69) + Skipped(7));
}

// A line the device refused before sending anything has data to mend: "Syntax error", and
// the run stops as after any failure. A line that was sent and failed stays "No printer
// response".
TEST(CommandDispatch, ARefusedOperationIsASyntaxErrorThatStopsTheFile) {
    const std::string after = "109\n51\n";
    for (const auto& [line, operation] : std::vector<std::pair<std::string, std::string>>{
             {"49;Bread;0;2;1e400;1;0;0\n", "Sell_SellItem"},
             {"53;;;1;1e300\n", "Sell_Payment"},
             {"70;2;25.00;x\n", "Other_ServiceMoneyTransfer"},
             {"200;5;\n", "Sell_Percent"}}) {
        const Dispatched refused(line + after, {}, {operation});
        const int command = CommandLine(line).commandNumber();
        EXPECT_EQ(refused.calls.size(), 1U) << line;
        EXPECT_EQ(refused.result, SyntaxError(command) + Skipped(109) + Skipped(51)) << line;

        const Dispatched failed(line + after, {operation});
        EXPECT_EQ(failed.result,
                  Line(command, 1, "No printer response") + Skipped(109) + Skipped(51))
            << line;
    }
}

TEST(CommandDispatch, ASemicolonInsideQuotesMovesTheRows) {
    const Dispatched run("54;\"a;b\";c;d;e;f\n");
    EXPECT_EQ(run.calls, (Calls{"Sell_PrintText(a|b|c|d|e)"}));
}

TEST(CommandDispatch, AResultLineThatCannotBeWrittenEndsTheRunAtOnce) {
    DeviceScript script;
    RecordingDevice device(script);
    std::optional<ResultFile> full = ResultFile::Open("/dev/full");
    if (!full) {
        GTEST_SKIP() << "no /dev/full";
    }
    EXPECT_FALSE(ExecuteCommandLines(device, *full, CommandLines("51\n109\n")));
    EXPECT_EQ(script.calls(), (Calls{"Sell_Payment(4, 0.000)"}));
}

// A stop asked for between two lines: the lines before it are run and answered, none after.
TEST(CommandDispatch, AStopBetweenLinesEndsTheRunWithEveryCommandSentAnswered) {
    DeviceScript script;
    RecordingDevice device(script);
    TempDir dir;
    std::optional<ResultFile> file = ResultFile::Open(dir.file("result.txt"));
    ASSERT_TRUE(file);
    int asked = 0;
    EXPECT_TRUE(ExecuteCommandLines(device, *file, CommandLines("51\n\n# note\n109\n51\n51\n"),
                                    [&] { return ++asked > 3; }));
    file->Close();
    EXPECT_EQ(script.calls(), (Calls{"Sell_Payment(4, 0.000)", "Other_PrintDubliate()"}));
    EXPECT_EQ(TempDir::ReadFile(dir.file("result.txt")), Ok(51) + Ok(109));
}

// A job continued from line 3: the lines before it are answered as done and not sent, even
// where the printer would now fail them; the run goes on as usual after them.
TEST(CommandDispatch, AContinuedJobAnswersTheLinesDoneBeforeWithoutSendingThem) {
    DeviceScript script;
    RecordingDevice device(script);
    script.failing = {"Sell_Payment"};
    TempDir dir;
    std::optional<ResultFile> file = ResultFile::Open(dir.file("result.txt"));
    ASSERT_TRUE(file);
    CommandRun run;
    run.firstLine = 3;
    EXPECT_TRUE(
        ExecuteCommandLines(device, *file, CommandLines("51\n\n# note\n109\n51\n109\n"), run));
    file->Close();
    EXPECT_EQ(script.calls(), (Calls{"Other_PrintDubliate()", "Sell_Payment(4, 0.000)"}));
    EXPECT_EQ(TempDir::ReadFile(dir.file("result.txt")),
              Ok(51) + Ok(109) + Line(51, 1, "No printer response") + Skipped(109));
    EXPECT_FALSE(run.finished);

    run.firstLine = 1;
    script.failing.clear();
    file = ResultFile::Open(dir.file("result.txt"));
    ASSERT_TRUE(file);
    EXPECT_TRUE(ExecuteCommandLines(device, *file, CommandLines("51\n109\n"), run));
    EXPECT_TRUE(run.finished);
}

// The run sequence on a recording device: the stages, their order and the clean-up.
class RunBatchOnRecorder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(TempDir::WriteFile(commands, "51\n109\n"));
        options = test::RecorderOptions(commands, result, "19200", " 7x");
    }
    int RunJob() { return RunBatch(options, script.factory()); }
    TempDir dir;
    std::string commands = dir.file("commands.txt");
    std::string result = dir.file("result.txt");
    Options options;
    DeviceScript script;
};

TEST_F(RunBatchOnRecorder, AWholeRunOpensInitialisesReadsTheSerialRunsAndCloses) {
    EXPECT_EQ(RunJob(), kExitOk);
    EXPECT_EQ(script.calls(),
              (Calls{"Open(/dev/printer, 19200)", "Initialize(7)", "Oxel_GetSerial()",
                     "Sell_Payment(4, 0.000)", "Other_PrintDubliate()", "Close()"}));
    EXPECT_EQ(TempDir::ReadFile(result), Ok(51) + Ok(109));
}

TEST_F(RunBatchOnRecorder, DeviceStageFailuresLeaveTheResultFileAlone) {
    ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
    options.deviceType = "vx-37";
    EXPECT_EQ(RunJob(), kExitWrongDeviceType);
    EXPECT_TRUE(script.calls().empty());

    options.deviceType = "VX-37";
    script.failing = {"Open"};
    PortError openError;
    EXPECT_EQ(RunBatch(options, script.factory(), {}, {}, &openError), kExitOpenFailed);
    EXPECT_EQ(script.calls(), (Calls{"Open(/dev/printer, 19200)"}));  // no Close without an Open
    EXPECT_EQ(openError, script.openFailure) << "the device's reason reaches the caller";

    script.clearCalls();
    script.failing = {"Initialize"};
    EXPECT_EQ(RunJob(), kExitInitializeFailed);
    EXPECT_EQ(script.calls(), (Calls{"Open(/dev/printer, 19200)", "Initialize(7)", "Close()"}));

    script.clearCalls();
    script.failing = {"Oxel_GetSerial"};
    EXPECT_EQ(RunJob(), kExitSerialNumberFailed);
    EXPECT_EQ(script.calls(),
              (Calls{"Open(/dev/printer, 19200)", "Initialize(7)", "Oxel_GetSerial()", "Close()"}));
    EXPECT_EQ(TempDir::ReadFile(result), "old\n");
}

// Exit 2 says which of silence, bytes that never formed an answer and a hung-up line it was.
TEST_F(RunBatchOnRecorder, SerialNumberFailureCarriesWhyThePrinterGaveNoAnswer) {
    script.failing = {"Oxel_GetSerial"};
    const std::vector<std::pair<WakeFailure, std::string>> rows = {
        {WakeFailure::kSilence, "no answer: check the printer is on, the speed and the logical ID"},
        {WakeFailure::kNoValidAnswer, "no valid answer: wrong speed or noise on the line"},
        {WakeFailure::kHungUp, "the line hung up"},
    };
    for (const auto& [failure, text] : rows) {
        script.wakeFailure = failure;
        std::string reason;
        EXPECT_EQ(RunBatch(options, script.factory(), {}, {}, nullptr, &reason),
                  kExitSerialNumberFailed);
        EXPECT_EQ(reason, text);
    }
}

TEST_F(RunBatchOnRecorder, SerialNumberOnlyWritesTheSerialAndNeverReadsTheCommandFile) {
    options.serialNumberOnly = true;
    options.commandFilePath = dir.file("missing.txt");
    EXPECT_EQ(RunJob(), kExitOk);
    EXPECT_EQ(TempDir::ReadFile(result), "AB12345678");
    EXPECT_EQ(script.calls().back(), "Close()");

    options.resultFilePath = "/dev/full";
    EXPECT_EQ(RunJob(), kExitResultWriteFailed);
}

TEST_F(RunBatchOnRecorder, AStopBeforeTheResultStageLeavesTheResultFileAlone) {
    ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
    const auto job = [this](int stopAtQuestion) {
        int asked = 0;
        return RunBatch(options, script.factory(), [&] { return ++asked >= stopAtQuestion; });
    };
    EXPECT_EQ(job(1), kExitOpenFailed);
    EXPECT_TRUE(script.calls().empty()) << "the port was not even opened";
    EXPECT_EQ(job(2), kExitResultFileFailed);
    EXPECT_EQ(script.calls(),
              (Calls{"Open(/dev/printer, 19200)", "Initialize(7)", "Oxel_GetSerial()", "Close()"}));
    EXPECT_EQ(TempDir::ReadFile(result), "old\n");
}

TEST_F(RunBatchOnRecorder, CommandAndResultFileTheSameGive20BeforeEmptyingIt) {
    options.resultFilePath = commands;
    EXPECT_EQ(RunJob(), kExitResultFileFailed);
    EXPECT_EQ(TempDir::ReadFile(commands), "51\n109\n");
    EXPECT_EQ(script.calls().back(), "Close()");
    // The serial number alone reads no command file: nothing to protect.
    options.serialNumberOnly = true;
    EXPECT_EQ(RunJob(), kExitOk);
    EXPECT_EQ(TempDir::ReadFile(commands), "AB12345678");
}

TEST_F(RunBatchOnRecorder, CommandFileFailuresComeAfterTheResultFileIsEmptied) {
    ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
    options.commandFilePath = dir.file("missing.txt");
    EXPECT_EQ(RunJob(), kExitCommandFileFailed);
    EXPECT_EQ(TempDir::ReadFile(result), "");
    EXPECT_EQ(script.calls().back(), "Close()");

    ASSERT_TRUE(TempDir::WriteFile(result, "old\n"));
    ASSERT_TRUE(TempDir::WriteFile(commands, ""));
    options.commandFilePath = commands;
    EXPECT_EQ(RunJob(), kExitCommandFileEmpty);
    EXPECT_EQ(TempDir::ReadFile(result), "");
}

}  // namespace
}  // namespace tallix
