#pragma once

// Completion of a batch run's options from the device entries of the preferences file.

#include <optional>
#include <string>

#include "batch/Options.h"
#include "config/Preferences.h"

namespace tallix {

// Fills what the command line left out from the preferences file. Called when at least one
// of the nine option texts is empty. Only reads: the file is never created or written here.
//
// The key is -k, else the text of the first DefaultKey element below the document's root.
// The entry is the first Device with that key (see FindEntryByKey); it gives the device type
// and the port name when they are empty. The speed and the logical ID are the option texts as
// integers when given, else the entry's Speed and LogicalID, else 0. A key that no Device
// carries completes nothing from the file: the later stages then end the run (a missing
// device type gives kExitWrongDeviceType, a missing port kExitOpenFailed).
//
// Returns kExitPreferences when the file is missing, cannot be read or parsed or has no root
// element; nothing when the run goes on with the completed options. reason (when given) gets
// why the file failed, or, when the run goes on without an entry although it lacks a value
// the entry would have given, that no entry carries the key.
std::optional<int> SelectDevice(Options& options, const Preferences& preferences = Preferences(),
                                std::string* reason = nullptr);

}  // namespace tallix
