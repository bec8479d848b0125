#include "batch/DeviceSelection.h"

#include "batch/ExitCodes.h"
#include "config/Numbers.h"

namespace tallix {

std::optional<int> SelectDevice(Options& options, const Preferences& preferences) {
    // A missing file is prepared for the set-up window but ends this run: an empty file holds
    // no entries.
    if (preferences.prepare() != Preparation::Present) {
        return kExitPreferences;
    }
    const PreferencesDocument document = preferences.read();
    if (!document) {
        return kExitPreferences;
    }

    if (options.deviceKey.empty()) {
        options.deviceKey = FirstDefaultKeyBelowRoot(*document);
    }
    const std::optional<DeviceEntry> entry = FindEntryByKey(*document, options.deviceKey);

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
