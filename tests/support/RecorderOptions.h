#pragma once

// The nine options of a batch run on a recording device (tests/support/RecordingDevice.h): a
// complete set, so that no preferences file is consulted.

#include <string>

#include "batch/Options.h"

namespace tallix::test {

inline Options RecorderOptions(const std::string& commandFile, const std::string& resultFile,
                               const std::string& speed = "9600",
                               const std::string& logicalID = "1") {
    Options options;
    options.commandFilePath = commandFile;
    options.resultFilePath = resultFile;
    options.deviceType = "VX-37";
    options.deviceKey = "k";
    options.serialNumber = "s";
    options.portName = "/dev/printer";
    options.speedText = speed;
    options.logicalIDText = logicalID;
    options.country = "RO";
    return options;
}

}  // namespace tallix::test
