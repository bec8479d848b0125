// The confirmed command exchange: wake the printer, send the frame until it is acknowledged,
// wake the printer again and see whether its sequence counter moved.

#include <vector>

#include "protocol/CashRegManager.h"
#include "protocol/Timing.h"

namespace tallix {

bool CashRegManager::WritePacket(const uint8_t* text, int length, bool checkSequence) {
    if (length < 0 || (text == nullptr && length > 0)) {
        return false;
    }
    const std::vector<uint8_t> frame = BuildRequestFrame(text, length);
    const int frameLength = static_cast<int>(frame.size());

    WakeUpAnswer answer;
    if (!WakeUP(answer)) {
        return false;
    }
    const int32_t oldSequence = answer.sequence;

    ClearReadBuf();
    SendFF();
    SendFF();
    if (beforeFrame_) {
        beforeFrame_(oldSequence);
    }
    for (int attempt = 0; attempt < kFrameAttempts; ++attempt) {
        if (serCom->write(frame.data(), frameLength) <= 0) {
            return false;
        }
        SendFF();
        if (serCom->readByte(kAckTimeout) == kACK) {
            break;
        }
        if (!WakeUP(answer)) {
            return false;
        }
        // The counter moved although no ACK came: the printer executed the frame and only
        // its ACK was lost. Sending the frame again would execute the command twice.
        if (answer.sequence != oldSequence) {
            break;
        }
        ClearReadBuf();
    }

    if (!WakeUP(answer)) {
        return false;
    }
    return !(checkSequence && answer.sequence == oldSequence);
}

bool CashRegManager::WritePacket(const uint8_t* text, int length) {
    return WritePacket(text, length, true);
}

}  // namespace tallix
