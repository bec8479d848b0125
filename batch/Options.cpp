#include "batch/Options.h"

#include "batch/ExitCodes.h"
#include "config/Numbers.h"
#include "config/Paths.h"

namespace tallix {
namespace {

enum class Option { CommandFile, ResultFile, Type, Key, Port, Speed, LogicalID, Country, Serial };

// The option spelled by the whole argument, in the order i, o, t, k, p, s, l, c, n.
bool Recognise(const std::string& argument, Option& option) {
    if (argument.size() != 2 || argument[0] != '-') {
        return false;
    }
    switch (argument[1]) {
        case 'i':
        case 'I':
            option = Option::CommandFile;
            return true;
        case 'o':
        case 'O':
            option = Option::ResultFile;
            return true;
        case 't':
        case 'T':
            option = Option::Type;
            return true;
        case 'k':
        case 'K':
            option = Option::Key;
            return true;
        case 'p':
        case 'P':
            option = Option::Port;
            return true;
        case 's':
        case 'S':
            option = Option::Speed;
            return true;
        case 'l':
        case 'L':
            option = Option::LogicalID;
            return true;
        case 'c':
        case 'C':
            option = Option::Country;
            return true;
        case 'n':
        case 'N':
            option = Option::Serial;
            return true;
        default:
            return false;
    }
}

void Store(Options& options, Option option, const std::string& value) {
    switch (option) {
        case Option::CommandFile:
            options.commandFilePath = StandardizePath(value);
            break;
        case Option::ResultFile:
            options.resultFilePath = StandardizePath(value);
            break;
        case Option::Type:
            options.deviceType = value;
            break;
        case Option::Key:
            options.deviceKey = value;
            break;
        case Option::Port:
            options.portName = value;
            break;
        case Option::Speed:
            options.speedText = value;
            options.speed = ParseLeadingInt(value);
            break;
        case Option::LogicalID:
            options.logicalIDText = value;
            options.logicalID = ParseLeadingInt(value);
            break;
        case Option::Country:
            options.country = value;
            break;
        case Option::Serial:
            options.serialNumber = value;
            break;
    }
}

}  // namespace

bool Options::IsComplete() const {
    return !commandFilePath.empty() && !resultFilePath.empty() && !deviceType.empty() &&
           !deviceKey.empty() && !serialNumber.empty() && !portName.empty() && !speedText.empty() &&
           !logicalIDText.empty() && !country.empty();
}

Mode ChooseMode(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return Mode::Setup;
    }
    if (arguments.size() == 1) {
        const std::string& only = arguments[0];
        if (only.rfind("-psn", 0) == 0) {
            return Mode::Setup;
        }
        if (only == "--help") {
            return Mode::Help;
        }
        if (only == "--version") {
            return Mode::Version;
        }
        if (only == "--list-ports") {
            return Mode::ListPorts;
        }
    }
    if (arguments[0] == "--detect") {
        return Mode::Detect;
    }
    return Mode::Batch;
}

Options ScanOptions(const std::vector<std::string>& arguments) {
    Options options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--trace") {
            if (i + 1 < arguments.size() && !arguments[i + 1].empty() &&
                arguments[i + 1][0] != '-') {
                options.traceFilePath = StandardizePath(arguments[++i]);
            }
            continue;
        }
        if (arguments[i] == "--no-resume") {
            options.resume = false;
            continue;
        }
        Option option{};
        if (!Recognise(arguments[i], option)) {
            continue;
        }
        const bool hasValue =
            i + 1 < arguments.size() && (arguments[i + 1].empty() || arguments[i + 1][0] != '-');
        if (hasValue) {
            Store(options, option, arguments[i + 1]);
            ++i;
        } else if (option == Option::Serial) {
            options.serialNumberOnly = true;
        }
    }
    if (!arguments.empty() && (arguments.back() == "-n" || arguments.back() == "-N")) {
        options.serialNumberOnly = true;
    }
    return options;
}

int ValidateOptions(const Options& options) {
    if (options.commandFilePath.empty()) {
        return kExitNoCommandFile;
    }
    if (options.resultFilePath.empty()) {
        return kExitNoResultFile;
    }
    return kExitOk;
}

}  // namespace tallix
