// The confirmed command exchange: wake the printer, send the frame until it is acknowledged,
// wake the printer again and see whether its sequence counter moved.
//
// A printer busy printing or writing its fiscal memory may answer a wake-up request late, after
// the host has given up on it and sent the next one; its answers still come in the order of
// the requests, but carry no request number. An answer given before the frame can only show
// the old counter, so taken for an answer given after it, it would say "not executed" about a
// frame that was executed, and the frame would be sent again: a sale registered twice. So:
//
// - The scanner counts wake-up requests written and answers seen on the line (every byte read
//   passes through it). Before each frame is written the link notes the count of requests
//   (frameMark_); an answer whose ordinal is above that count was given to a request written
//   after the frame.
// - The old counter comes from an answer given after the previous frame (or after the line
//   was opened), so it reflects everything sent before this frame.
// - After a missing ACK, an answer whose counter differs from the old one shows that the frame
//   was executed, however old the answer: leave the loop. Only an answer given after the frame
//   that still shows the old counter shows that it was not, and only then is the frame sent
//   again. Older answers are passed over; when no answer given after the frame comes within
//   the wake-up's 201 exchanges, the exchange fails and the frame is not sent again.
// - The closing wake-up likewise needs an answer given after the frame, or a moved counter.
//
// A printer that answers within the wake-up's time-outs has answered every request before the
// next is written, so each answer it gives is one given after the frame: the bytes on the line
// and the time taken are those of the plain exchange. Without the sequence check (the daily
// reports), a frame is still sent again after a fresh answer with the old counter.

#include <vector>

#include "protocol/CashRegManager.h"
#include "protocol/Timing.h"

namespace tallix {

bool CashRegManager::WritePacket(const uint8_t* text, int length, bool checkSequence) {
    if (length < 0 || (text == nullptr && length > 0)) {
        return false;
    }
    const std::vector<uint8_t> frame = BuildFrame(text, length);
    const int frameLength = static_cast<int>(frame.size());

    WakeUpAnswer answer;
    if (!WakeUP(answer, Trust{frameMark_, std::nullopt})) {
        return false;
    }
    const int32_t oldSequence = answer.sequence;

    if (!ClearReadBuf()) {
        return false;
    }
    SendFF();
    SendFF();
    if (beforeFrame_) {
        beforeFrame_(oldSequence);
    }
    for (int attempt = 0; attempt < kFrameAttempts; ++attempt) {
        frameMark_ = scanner_.requests();
        if (serCom->write(frame.data(), frameLength) <= 0) {
            return false;
        }
        SendFF();
        if (ReadByte(kAckTimeout) == kACK) {
            break;
        }
        if (!WakeUP(answer, Trust{frameMark_, oldSequence})) {
            return false;
        }
        // The counter moved although no ACK came: the printer executed the frame and only
        // its ACK was lost. Sending the frame again would execute the command twice.
        if (answer.sequence != oldSequence) {
            break;
        }
        // An answer given after this frame, with the old counter: the frame was not executed.
        if (!ClearReadBuf()) {
            return false;
        }
    }

    if (!WakeUP(answer, Trust{frameMark_, oldSequence})) {
        return false;
    }
    return !(checkSequence && answer.sequence == oldSequence);
}

bool CashRegManager::WritePacket(const uint8_t* text, int length) {
    return WritePacket(text, length, true);
}

}  // namespace tallix
