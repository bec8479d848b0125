#include "batch/DeviceSelection.h"

#include "batch/ExitCodes.h"
#include "config/FileSystem.h"
#include "config/Numbers.h"

namespace tallix {
namespace {

void Tell(std::string* reason, std::string text) {
    if (reason != nullptr) {
        *reason = std::move(text);
    }
}

// Why no entry could be found: the key that named none, and where it was looked for.
std::string NoEntryReason(const Options& options, const std::string& path) {
    if (options.deviceKey.empty()) {
        return "no default device entry in " + path +
               " (no -k given; Set Default in tallix-setup stores one)";
    }
    return "no device entry with key \"" + options.deviceKey + "\" in " + path;
}

}  // namespace

std::optional<int> SelectDevice(Options& options, const Preferences& preferences,
                                std::string* reason) {
    // Batch mode only reads: a file made here would hold no entry and end every later run the
    // same way, and it would stand where the set-up window is to write the first one.
    if (!Exists(preferences.path())) {
        Tell(reason, preferences.path() +
                         " is missing: store the printer with tallix-setup, or give all nine "
                         "options -i -o -t -k -n -p -s -l -c");
        return kExitPreferences;
    }
    const PreferencesDocument document = preferences.read();
    if (!document) {
        Tell(reason, preferences.path() +
                         " is empty, unreadable or not an XML document: store the printer "
                         "again with tallix-setup");
        return kExitPreferences;
    }

    if (options.deviceKey.empty()) {
        options.deviceKey = FirstDefaultKeyBelowRoot(*document);
    }
    const std::optional<DeviceEntry> entry = FindEntryByKey(*document, options.deviceKey);
    const bool entryNeeded = options.deviceType.empty() || options.portName.empty() ||
                             options.speedText.empty() || options.logicalIDText.empty();
    if (!entry && entryNeeded) {
        Tell(reason, NoEntryReason(options, preferences.path()));
    }

    if (entry && options.deviceType.empty()) {
        options.deviceType = entry->type;
    }
    if (entry && options.portName.empty()) {
        options.portName = entry->path;
    }
    const auto integer = [&](const std::string& text, const std::string DeviceEntry::*field) {
        if (!text.empty()) {
            return ParseLeadingInt(text);
        }
        return entry ? ParseLeadingInt((*entry).*field) : 0;
    };
    options.speed = integer(options.speedText, &DeviceEntry::speed);
    options.logicalID = integer(options.logicalIDText, &DeviceEntry::logicalID);
    return std::nullopt;
}

}  // namespace tallix
