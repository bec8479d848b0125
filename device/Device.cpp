#include "device/Device.h"

namespace tallix {

Outcome Device::Send(const PrinterCommand& command) {
    if (!command.valid()) {
        return Outcome::kRefused;
    }
    const WakeOutcome woken = Wake();
    if (!woken) {
        return Outcome::kFailed;
    }
    return Deliver(command, woken.answer->sequence).executed();
}

}  // namespace tallix
