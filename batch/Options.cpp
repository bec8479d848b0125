#include "batch/Options.h"

#include <string_view>

#include "batch/ExitCodes.h"
#include "config/Numbers.h"
#include "config/Paths.h"

namespace tallix {
namespace {

// One option of the command line. A two-character name ("-i") is also recognised in upper
// case ("-I"); a longer one only as written.
struct OptionRule {
    const char* name;
    // Whether the option looks at the next argument for a value. Only one that does not begin
    // with "-" is taken, and an empty one only when emptyValue is set.
    bool takesValue;
    bool emptyValue;
    // Called with the value taken, and without one when none is there (nullptr: nothing).
    void (*store)(Options& options, const std::string& value);
    void (*bare)(Options& options);
};

constexpr OptionRule kRules[] = {
    {"-i", true, true,
     [](Options& o, const std::string& v) { o.commandFilePath = StandardizePath(v); }, nullptr},
    {"-o", true, true,
     [](Options& o, const std::string& v) { o.resultFilePath = StandardizePath(v); }, nullptr},
    {"-t", true, true, [](Options& o, const std::string& v) { o.deviceType = v; }, nullptr},
    {"-k", true, true, [](Options& o, const std::string& v) { o.deviceKey = v; }, nullptr},
    {"-p", true, true, [](Options& o, const std::string& v) { o.portName = v; }, nullptr},
    {"-s", true, true,
     [](Options& o, const std::string& v) {
         o.speedText = v;
         o.speed = ParseLeadingInt(v);
     },
     nullptr},
    {"-l", true, true,
     [](Options& o, const std::string& v) {
         o.logicalIDText = v;
         o.logicalID = ParseLeadingInt(v);
     },
     nullptr},
    {"-c", true, true, [](Options& o, const std::string& v) { o.country = v; }, nullptr},
    {"-n", true, true, [](Options& o, const std::string& v) { o.serialNumber = v; },
     [](Options& o) { o.serialNumberOnly = true; }},
    {"--trace", true, false,
     [](Options& o, const std::string& v) { o.traceFilePath = StandardizePath(v); }, nullptr},
    {"--no-resume", false, false, nullptr, [](Options& o) { o.resume = false; }},
};

bool Spells(const std::string& argument, const std::string_view name) {
    if (argument == name) {
        return true;
    }
    // The short names are lower-case letters.
    return name.size() == 2 && argument.size() == 2 && argument[0] == '-' &&
           argument[1] == name[1] - 'a' + 'A';
}

const OptionRule* FindRule(const std::string& argument) {
    for (const OptionRule& rule : kRules) {
        if (Spells(argument, rule.name)) {
            return &rule;
        }
    }
    return nullptr;
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
        const OptionRule* rule = FindRule(arguments[i]);
        if (rule == nullptr) {
            continue;
        }
        const std::string* next = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
        const bool hasValue = rule->takesValue && next != nullptr &&
                              (next->empty() ? rule->emptyValue : next->front() != '-');
        if (hasValue) {
            rule->store(options, *next);
            ++i;
        } else if (rule->bare != nullptr) {
            rule->bare(options);
        }
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
