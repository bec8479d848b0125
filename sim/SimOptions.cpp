#include "sim/SimOptions.h"

#include <climits>
#include <functional>
#include <map>

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
           "  --seed N                seed of the jitter's random draws (default 1)\n"
           "faults (N: the next N; every K: each K-th, counted from the start):\n"
           "  --drop-ack N            execute the next N frames without ACK\n"
           "  --drop-ack-every K\n"
           "  --drop-frames N         ignore the next N valid frames (no ACK, not executed)\n"
           "  --drop-frame-every K\n"
           "  --corrupt-answers N     wrong checksum on the next N wake-up answers\n"
           "  --corrupt-answer-every K\n"
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
    SimOptions options;
    bool noiseForm = false;

    // Options taking a value: name -> how to store it.
    using Setter = std::function<bool(const std::string&)>;
    auto text = [](std::string& target) {
        return Setter([&target](const std::string& v) {
            target = v;
            return !v.empty();
        });
    };
    auto count = [](int64_t& target, int64_t min, int64_t max) {
        return Setter([&target, min, max](const std::string& v) {
            const auto n = ParseNumber(v);
            if (!n || *n < min || *n > max) {
                return false;
            }
            target = *n;
            return true;
        });
    };
    int64_t logicalId = options.printer.logicalId;
    int64_t sequence = options.printer.sequence;
    int64_t baud = 0;
    int64_t delay = 0;
    int64_t noise = 0;
    // --noise-answers and --noise-every replace the default "every answer".
    bool noiseCleared = false;
    auto clearNoiseForm = [&options, &noiseCleared] {
        if (!noiseCleared) {
            options.faults.noiseAnswer = CountedFault{};
            noiseCleared = true;
        }
    };
    std::map<std::string, Setter> valued = {
        {"--link", text(options.link)},
        {"--port", text(options.port)},
        {"--journal", text(options.journal)},
        {"--paper", text(options.paper)},
        {"--serial",
         [&options](const std::string& v) {
             for (const char c : v) {
                 if (c < 0x20 || c > 0x7E || c == ';') {
                     return false;
                 }
             }
             options.printer.serial = v;
             return v.size() <= 64;
         }},
        {"--logical-id", count(logicalId, 0, 99)},
        {"--sequence", count(sequence, INT32_MIN, INT32_MAX)},
        {"--baud", count(baud, 1, 4000000)},
        {"--delay-ms", count(delay, 0, 600000)},
        {"--jitter-ms",
         [&options](const std::string& v) {
             const std::size_t comma = v.find(',');
             if (comma == std::string::npos) {
                 return false;
             }
             const auto low = ParseNumber(v.substr(0, comma));
             const auto high = ParseNumber(v.substr(comma + 1));
             if (!low || !high || *low < 0 || *high < *low || *high > 600000) {
                 return false;
             }
             options.faults.jitterMinMs = static_cast<int>(*low);
             options.faults.jitterMaxMs = static_cast<int>(*high);
             return true;
         }},
        {"--seed",
         [&options](const std::string& v) {
             const auto n = ParseNumber(v);
             if (!n || *n < 0) {
                 return false;
             }
             options.faults.jitterSeed = static_cast<uint64_t>(*n);
             return true;
         }},
        {"--drop-ack", count(options.faults.dropAck.next, 0, INT32_MAX)},
        {"--drop-ack-every", count(options.faults.dropAck.every, 1, INT32_MAX)},
        {"--drop-frames", count(options.faults.dropFrame.next, 0, INT32_MAX)},
        {"--drop-frame-every", count(options.faults.dropFrame.every, 1, INT32_MAX)},
        {"--corrupt-answers", count(options.faults.corruptAnswer.next, 0, INT32_MAX)},
        {"--corrupt-answer-every", count(options.faults.corruptAnswer.every, 1, INT32_MAX)},
        {"--noise", count(noise, 0, 1000)},
        {"--noise-answers",
         [&](const std::string& v) {
             noiseForm = true;
             clearNoiseForm();
             return count(options.faults.noiseAnswer.next, 0, INT32_MAX)(v);
         }},
        {"--noise-every",
         [&](const std::string& v) {
             noiseForm = true;
             clearNoiseForm();
             return count(options.faults.noiseAnswer.every, 1, INT32_MAX)(v);
         }},
        {"--mute-after", count(options.faults.muteAfterCommands, 0, INT32_MAX)},
        {"--mute-after-wakeups", count(options.faults.muteAfterWakeups, 0, INT32_MAX)},
        {"--hangup-after", count(options.faults.hangupAfter, 1, INT32_MAX)},
    };
    const std::map<std::string, bool*> switches = {
        {"--mute", &options.faults.mute},
        {"--freeze-sequence", &options.faults.freezeSequence},
        {"--help", &options.help},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const std::size_t eq = name.find('=');
            name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        }
        if (const auto sw = switches.find(name); sw != switches.end() && !value) {
            *sw->second = true;
            continue;
        }
        const auto setter = valued.find(name);
        if (setter == valued.end()) {
            error = "unknown option " + args[i];
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!setter->second(*value)) {
            error = "bad value for " + name + ": \"" + *value + "\"";
            return std::nullopt;
        }
    }
    options.printer.logicalId = static_cast<int>(logicalId);
    options.printer.sequence = static_cast<int32_t>(sequence);
    options.baud = static_cast<int>(baud);
    options.faults.delayMs = static_cast<int>(delay);
    options.faults.noiseBytes = static_cast<int>(noise);
    if (noiseForm && noise == 0) {
        error = "--noise-answers and --noise-every need --noise";
        return std::nullopt;
    }
    // "--noise-answers 0" asks for no noisy answer at all.
    if (noiseForm && !options.faults.noiseAnswer.enabled()) {
        options.faults.noiseBytes = 0;
    }
    return options;
}

}  // namespace tallix
