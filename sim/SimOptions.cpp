#include "sim/SimOptions.h"

#include <climits>
#include <functional>
#include <map>
#include <utility>

namespace tallix {

namespace {

// A decimal integer; values beyond 32 bits saturate. nullopt for anything but digits with an
// optional leading "-".
std::optional<int64_t> ParseNumber(const std::string& text) {
    std::size_t pos = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        pos = 1;
    }
    if (pos == text.size()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        if (text[pos] < '0' || text[pos] > '9') {
            return std::nullopt;
        }
        if (value <= INT32_MAX) {
            value = value * 10 + (text[pos] - '0');
        }
    }
    value = negative ? -value : value;
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return value;
}

using Setter = std::function<bool(const std::string&)>;

// A setter for a whole number in [min, max].
template <typename T>
Setter Number(T& target, int64_t min, int64_t max) {
    return [&target, min, max](const std::string& v) {
        const auto n = ParseNumber(v);
        if (!n || *n < min || *n > max) {
            return false;
        }
        target = static_cast<T>(*n);
        return true;
    };
}

Setter Text(std::string& target) {
    return [&target](const std::string& v) {
        target = v;
        return !v.empty();
    };
}

// "A,B": two numbers, split at the first comma.
std::optional<std::pair<int64_t, int64_t>> Two(const std::string& v) {
    const std::size_t comma = v.find(',');
    if (comma == std::string::npos) {
        return std::nullopt;
    }
    const auto a = ParseNumber(v.substr(0, comma));
    const auto b = ParseNumber(v.substr(comma + 1));
    if (!a || !b) {
        return std::nullopt;
    }
    return std::make_pair(*a, *b);
}

// "MIN,MAX" milliseconds, 0 <= MIN <= MAX <= 600000.
Setter Milliseconds(int& low, int& high) {
    return [&low, &high](const std::string& v) {
        const auto both = Two(v);
        if (!both || both->first < 0 || both->second < both->first || both->second > 600000) {
            return false;
        }
        low = static_cast<int>(both->first);
        high = static_cast<int>(both->second);
        return true;
    };
}

// "N,N,...": event numbers from 1.
Setter Events(std::vector<int64_t>& target) {
    return [&target](const std::string& v) {
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = v.find(',', start);
            const auto n = ParseNumber(v.substr(start, comma - start));
            if (!n || *n < 1) {
                return false;
            }
            target.push_back(*n);
            if (comma == std::string::npos) {
                return true;
            }
            start = comma + 1;
        }
    };
}

// The command line being read: the tables of options and what they fill.
struct Parser {
    SimOptions options;
    bool noiseForm = false;     // --noise-answers or --noise-every given
    bool noiseCleared = false;  // they replace the default "every answer" once
    std::map<std::string, Setter> valued;
    std::map<std::string, bool*> switches;
};

void AddPrinterOptions(Parser& p) {
    SimOptions& o = p.options;
    p.valued.insert({
        {"--link", Text(o.link)},
        {"--port", Text(o.port)},
        {"--journal", Text(o.journal)},
        {"--paper", Text(o.paper)},
        {"--serial",
         [&o](const std::string& v) {
             for (const char c : v) {
                 if (c < 0x20 || c > 0x7E || c == ';') {
                     return false;
                 }
             }
             o.printer.serial = v;
             return v.size() <= 64;
         }},
        {"--logical-id", Number(o.printer.logicalId, 0, 99)},
        {"--sequence", Number(o.printer.sequence, INT32_MIN, INT32_MAX)},
        {"--baud", Number(o.baud, 1, 4000000)},
        {"--delay-ms", Number(o.faults.delayMs, 0, 600000)},
        {"--jitter-ms", Milliseconds(o.faults.jitterMinMs, o.faults.jitterMaxMs)},
        {"--seed", Number(o.faults.seed, 0, INT32_MAX)},
    });
    p.switches.insert({{"--help", &o.help}});
}

// The forms of a counted fault: NAME N (the next N), STEM-every K, STEM-at N,N,... and
// STEM-chance PERCENT.
void AddCounted(Parser& p, const std::string& name, const std::string& stem, CountedFault& fault) {
    p.valued.insert({
        {name, Number(fault.next, 0, INT32_MAX)},
        {stem + "-every", Number(fault.every, 1, INT32_MAX)},
        {stem + "-at", Events(fault.at)},
        {stem + "-chance", Number(fault.percent, 0, 100)},
    });
}

void AddFaultOptions(Parser& p) {
    FaultSettings& f = p.options.faults;
    AddCounted(p, "--drop-ack", "--drop-ack", f.dropAck);
    AddCounted(p, "--drop-frames", "--drop-frame", f.dropFrame);
    AddCounted(p, "--refuse-frames", "--refuse-frame", f.refuseFrame);
    AddCounted(p, "--corrupt-answers", "--corrupt-answer", f.corruptAnswer);
    AddCounted(p, "--drop-answers", "--drop-answer", f.dropAnswer);
    AddCounted(p, "--double-answers", "--double-answer", f.doubleAnswer);
    AddCounted(p, "--false-answers", "--false-answer", f.falseAnswer);
    // --noise-answers and --noise-every replace the default "every answer".
    const auto noiseForm = [&p](int64_t& target, int64_t min) {
        return [&p, &target, min](const std::string& v) {
            p.noiseForm = true;
            if (!p.noiseCleared) {
                p.options.faults.noiseAnswer = CountedFault{};
                p.noiseCleared = true;
            }
            return Number(target, min, INT32_MAX)(v);
        };
    };
    p.valued.insert({
        {"--noise", Number(f.noiseBytes, 0, 1000)},
        {"--noise-answers", noiseForm(f.noiseAnswer.next, 0)},
        {"--noise-every", noiseForm(f.noiseAnswer.every, 1)},
        {"--double-gap-ms", Number(f.doubleGapMs, 0, 600000)},
        {"--false-answer-ms", Milliseconds(f.falseMinMs, f.falseMaxMs)},
        {"--set-sequence-at",
         [&f](const std::string& v) {
             const auto both = Two(v);
             if (!both || both->first < 1 || both->first > INT32_MAX) {
                 return false;
             }
             f.setSequenceAt = both->first;
             f.setSequenceTo = static_cast<int32_t>(both->second);
             return true;
         }},
        {"--sequence-lag-ms", Number(f.sequenceLagMs, 0, 600000)},
        {"--mute-after", Number(f.muteAfterCommands, 0, INT32_MAX)},
        {"--mute-after-wakeups", Number(f.muteAfterWakeups, 0, INT32_MAX)},
        {"--hangup-after", Number(f.hangupAfter, 1, INT32_MAX)},
    });
    p.switches.insert({{"--mute", &f.mute}, {"--freeze-sequence", &f.freezeSequence}});
}

// Reads the arguments into the tables' targets; false and error set on the first bad one.
bool Apply(Parser& p, const std::vector<std::string>& args, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const std::size_t eq = name.find('=');
            name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        }
        if (const auto sw = p.switches.find(name); sw != p.switches.end() && !value) {
            *sw->second = true;
            continue;
        }
        const auto setter = p.valued.find(name);
        if (setter == p.valued.end()) {
            error = "unknown option " + args[i];
            return false;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!setter->second(*value)) {
            error = "bad value for " + name + ": \"" + *value + "\"";
            return false;
        }
    }
    return true;
}

}  // namespace

std::string SimUsage() {
    return "usage: tallix-sim [options]\n"
           "A virtual VX-37 fiscal printer on a pseudo-terminal (or a serial port).\n"
           "  --link PATH             make PATH a symbolic link to the device (removed on exit)\n"
           "  --port DEVICE           serve a serial device instead of a pseudo-terminal\n"
           "  --serial TEXT           serial number (default VX37000001)\n"
           "  --logical-id N          logical ID answered, 0..99 (default 1)\n"
           "  --sequence N            first value of the sequence counter (default 1)\n"
           "  --paper FILE            write what the printer prints to FILE\n"
           "  --journal FILE          write one JSON line per event received to FILE\n"
           "  --baud N                line speed (default 9600): on a pseudo-terminal, hear only\n"
           "                          a host whose line is set to N and pace output at N bit/s,\n"
           "                          10 bits a byte (only when given); with --port, its speed\n"
           "  --delay-ms M            send every reply M milliseconds late\n"
           "  --jitter-ms MIN,MAX     and each reply a random MIN..MAX milliseconds later still,\n"
           "                          in order (a reply never overtakes an earlier one)\n"
           "  --seed N                seed of the jitter and the random faults (default 1)\n"
           "faults (N: the next N; every K: each K-th, counted from the start; at: the events\n"
           "numbered N,N,... from 1; chance: each event with PERCENT in 100, drawn from --seed):\n"
           "  --drop-ack N            execute the next N frames without ACK\n"
           "  --drop-ack-every K, --drop-ack-at N,..., --drop-ack-chance PERCENT\n"
           "  --drop-frames N         ignore the next N valid frames (no ACK, not executed)\n"
           "  --drop-frame-every K, --drop-frame-at N,..., --drop-frame-chance PERCENT\n"
           "  --refuse-frames N       acknowledge the next N commands but refuse them\n"
           "  --refuse-frame-every K, --refuse-frame-at N,..., --refuse-frame-chance PERCENT\n"
           "  --corrupt-answers N     wrong checksum on the next N wake-up answers\n"
           "  --corrupt-answer-every K, --corrupt-answer-at N,..., --corrupt-answer-chance P\n"
           "  --drop-answers N        leave the next N wake-ups unanswered\n"
           "  --drop-answer-every K, --drop-answer-at N,..., --drop-answer-chance PERCENT\n"
           "  --double-answers N      send the next N wake-up answers twice...\n"
           "  --double-answer-every K, --double-answer-at N,..., --double-answer-chance P\n"
           "  --double-gap-ms G       ...the copy G milliseconds after the first (default 100)\n"
           "  --false-answers N       answer-shaped bytes with a wrong checksum after the next N\n"
           "                          requests (wake-ups and intact frames)...\n"
           "  --false-answer-every K, --false-answer-at N,..., --false-answer-chance PERCENT\n"
           "  --false-answer-ms MIN,MAX  ...a random MIN..MAX milliseconds after the request\n"
           "  --set-sequence-at N,V   at the N-th intact frame the counter becomes V\n"
           "  --sequence-lag-ms M     an executed command moves the counter M ms later\n"
           "  --noise BYTES           send BYTES noise bytes before the LF of wake-up answers\n"
           "  --noise-answers N       ...of the next N answers only (default: all)\n"
           "  --noise-every K         ...of every K-th answer only\n"
           "  --mute                  answer no wake-up\n"
           "  --mute-after N          answer no wake-up once N commands came\n"
           "  --mute-after-wakeups N  answer only the first N wake-ups\n"
           "  --freeze-sequence       execute commands but keep the sequence\n"
           "  --hangup-after N        close the line and end after the N-th command\n"
           "  --help                  show this text\n";
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    Parser p;
    AddPrinterOptions(p);
    AddFaultOptions(p);
    if (!Apply(p, args, error)) {
        return std::nullopt;
    }
    FaultSettings& faults = p.options.faults;
    if (p.noiseForm && faults.noiseBytes == 0) {
        error = "--noise-answers and --noise-every need --noise";
        return std::nullopt;
    }
    // "--noise-answers 0" asks for no noisy answer at all.
    if (p.noiseForm && !faults.noiseAnswer.enabled()) {
        faults.noiseBytes = 0;
    }
    return std::move(p.options);
}

}  // namespace tallix
