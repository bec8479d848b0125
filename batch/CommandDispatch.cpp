#include "batch/CommandDispatch.h"

#include "config/Numbers.h"
#include "device/Device.h"
#include "journal/JobJournal.h"
#include "protocol/Windows1250.h"

namespace tallix {
namespace {

constexpr double kPercentLimit = 99.99;

// A command refused before anything was sent has data the printer cannot take: the caller
// must mend the line, not wait for the printer.
int32_t CodeOf(Outcome outcome) {
    switch (outcome.kind()) {
        case Outcome::kDone:
            return kCodeDone;
        case Outcome::kRefused:
            return kCodeSyntaxError;
        case Outcome::kFailed:
            break;
    }
    return kCodeFailed;
}

}  // namespace

bool MaySendCommand(int32_t commandNumber) {
    switch (commandNumber) {
        case 49:
        case 51:
        case 53:
        case 54:
        case 69:
        case 70:
        case 109:
        case 200:
            return true;
        default:
            return false;
    }
}

std::optional<int32_t> DispatchCommand(Device& device, const CommandLine& line) {
    const std::size_t fields = line.fieldCount();
    switch (line.commandNumber()) {
        case 49:
            // Fields 2, 6 and 7 must be there but say nothing the printer needs.
            if (fields < 8) {
                return kCodeSyntaxError;
            }
            return CodeOf(device.Sell_SellItem(line.text(1), line.decimal(4), line.decimal(3), 1, 1,
                                               line.integer(5)));
        case 51:
            return CodeOf(device.Sell_Payment(4, 0.0));
        case 53:
            if (fields < 5) {
                return kCodeSyntaxError;
            }
            return CodeOf(device.Sell_Payment(line.integer(3), line.decimal(4)));
        case 54:
            if (fields < 6) {
                return kCodeSyntaxError;
            }
            return CodeOf(device.Sell_PrintText(line.text(1), line.text(2), line.text(3),
                                                line.text(4), line.text(5)));
        case 69: {
            // A Z report closes the fiscal day for good: it must come from a written 0, never
            // from text that merely reads as 0 ("X", "", "0x2").
            const std::optional<int32_t> report =
                fields < 2 ? std::nullopt : LeadingInt(line.field(1));
            if (!report) {
                return kCodeSyntaxError;
            }
            switch (*report) {
                case 0:
                    return CodeOf(device.Report_FiscalDay());
                case 2:
                    return CodeOf(device.Report_NonFiscalDay());
                default:
                    return std::nullopt;
            }
        }
        case 70:
            if (fields != 4) {
                return std::nullopt;
            }
            return CodeOf(device.Other_ServiceMoneyTransfer(line.integer(1), line.decimal(2)));
        case 109:
            return CodeOf(device.Other_PrintDubliate());
        case 200: {
            if (fields < 3) {
                return kCodeSyntaxError;
            }
            const double percent = line.decimal(1);
            if (percent < -kPercentLimit || percent > kPercentLimit) {
                return kCodeSyntaxError;
            }
            // Negative is a discount (kind 1), anything else a surcharge (kind 0).
            if (percent < 0) {
                return CodeOf(device.Sell_Percent(1, -percent));
            }
            return CodeOf(device.Sell_Percent(0, percent));
        }
        default:
            return std::nullopt;
    }
}

bool ExecuteCommandLines(Device& device, ResultFile& result, const CommandLines& lines,
                         const StopRequested& stop) {
    CommandRun run;
    run.stop = stop;
    return ExecuteCommandLines(device, result, lines, run);
}

bool ExecuteCommandLines(Device& device, ResultFile& result, const CommandLines& lines,
                         CommandRun& run) {
    run.finished = false;
    int32_t lastCode = kCodeDone;
    bool failed = false;
    CommandLines::Cursor cursor(lines);
    for (std::size_t index = 0; const std::optional<std::string_view> bytes = cursor.next();
         ++index) {
        if (bytes->empty()) {
            continue;
        }
        if (run.stop && run.stop()) {
            return true;
        }
        const std::string text = DecodeWindows1250(*bytes);
        const CommandLine line(text);
        int32_t code = kCodeSkippedAfterFailure;
        if (index < run.firstLine) {
            // Done by an earlier run, which answered it as done: no earlier line had failed.
            code = kCodeDone;
        } else if (!failed) {
            if (run.journal != nullptr) {
                run.journal->LineStarting(index, MaySendCommand(line.commandNumber()));
            }
            // A line that executes nothing keeps the last code, which is still kCodeDone:
            // any other code has stopped the run already.
            lastCode = DispatchCommand(device, line).value_or(lastCode);
            code = lastCode;
            if (run.journal != nullptr) {
                if (code == kCodeDone) {
                    run.journal->LineDone(device.LastSequence());
                } else {
                    run.journal->LineFailed();
                }
            }
        }
        if (Responce(result, line.commandNumber(), code, failed) != kResponceOk) {
            return false;
        }
    }
    run.finished = !failed;
    return true;
}

}  // namespace tallix
