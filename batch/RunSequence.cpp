#include "batch/RunSequence.h"

#include <optional>
#include <string>

#include "batch/CommandDispatch.h"
#include "batch/CommandFile.h"
#include "batch/DeviceSelection.h"
#include "batch/ExitCodes.h"
#include "batch/ResultFile.h"
#include "config/FileSystem.h"
#include "config/Numbers.h"
#include "device/VX37RO.h"

namespace tallix {
namespace {

constexpr const char* kDeviceType = "VX-37";

// Closes the printer when the run leaves the stages after a successful Open.
class OpenDevice {
  public:
    explicit OpenDevice(VX37RO& device) : device_(device) {}
    ~OpenDevice() { device_.Close(); }
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;

  private:
    VX37RO& device_;
};

// Result and command stages, with the printer open and its serial number read. The result
// file is closed before this returns, so before the printer.
int RunOnOpenDevice(const Options& options, VX37RO& device, const std::string& serialNumber,
                    const StopRequested& stop) {
    if (stop && stop()) {
        return kExitResultFileFailed;
    }
    // Emptying the result file would wipe the command file it is.
    if (!options.serialNumberOnly && SameFile(options.commandFilePath, options.resultFilePath)) {
        return kExitResultFileFailed;
    }
    std::optional<ResultFile> result = ResultFile::Open(options.resultFilePath);
    if (!result) {
        return kExitResultFileFailed;
    }
    if (options.serialNumberOnly) {
        const bool written = result->WriteSerialNumber(serialNumber);
        result->Close();
        return written ? kExitOk : kExitResultWriteFailed;
    }
    const CommandFileRead commands = ReadCommandFile(options.commandFilePath);
    if (commands.status != kExitOk) {
        result->Close();
        return commands.status;
    }
    const bool allAnswered = ExecuteCommandLines(device, *result, commands.lines, stop);
    result->Close();
    return allAnswered ? kExitOk : kExitResultWriteFailed;
}

}  // namespace

int RunBatch(const Options& options, const StopRequested& stop) {
    return RunBatch(
        options, [] { return std::make_unique<VX37RO>(); }, stop);
}

int RunBatch(const Options& given, const DeviceFactory& makeDevice, const StopRequested& stop) {
    Options options = given;
    if (!options.IsComplete()) {
        if (const std::optional<int> failed = SelectDevice(options)) {
            return *failed;
        }
    } else {
        options.speed = ParseLeadingInt(options.speedText);
        options.logicalID = ParseLeadingInt(options.logicalIDText);
    }

    const std::unique_ptr<VX37RO> device = makeDevice();
    if (!device || options.deviceType != kDeviceType) {
        return kExitWrongDeviceType;
    }
    if ((stop && stop()) || !device->Open(options.portName, options.speed)) {
        return kExitOpenFailed;
    }
    const OpenDevice closeOnExit(*device);
    if (!device->Initialize(options.logicalID)) {
        return kExitInitializeFailed;
    }
    std::string serialNumber;
    if (!device->Oxel_GetSerial(serialNumber)) {
        return kExitSerialNumberFailed;
    }
    return RunOnOpenDevice(options, *device, serialNumber, stop);
}

}  // namespace tallix
