// The confirmed command exchange: wake the printer (Wake, in WakeUp.cpp), then deliver the
// frame (Deliver, here): send it until it is acknowledged, wake the printer again and see
// whether its sequence counter moved. This file is the one place that decides whether a frame
// goes out again and whether a command counts as executed.
//
// A frame is sent again only on evidence that the printer did not execute it, and the exchange
// says "executed" only on evidence that it did. What can mislead, and why it does not:
//
// - Late answers. The printer answers requests in order, late by up to seconds, and an answer
//   carries no request number: one owed to an earlier exchange, or to another process that
//   used the line before, looks like a fresh one. It shows the counter as it stood when its
//   request came. So a late answer can show an old counter as if it were the present one, but
//   never a counter the printer did not yet have.
// - Answers given twice: a copy is a late answer of the same kind.
// - Noise shaped like an answer: without a valid checksum it is no answer (AnswerScanner,
//   WakeUPExchange); a checksum byte that never came spoils the answer too.
// - Answers that never come: only cost time; the counts of requests and answers that tell the
//   link when to stop looking are hints, and a silence clears them.
// - A counter that goes back (a printer that lost its state) or moves only when printing ends.
//
// Hence:
// 1. The old counter s is exact. The link knows the printer's counter (the moved counter that
//    confirmed the previous command, or the first answer after a silence, or after opening a
//    line its caller vouches for: see Settle). The wake-up before the frame takes an answer at
//    or above it; lower ones are old ones (or the counter went back, which a silence settles).
// 2. "Executed" needs a counter above s. Only the frame can have moved it there: an old answer
//    shows s or less, a copy likewise. A counter below s proves nothing: the exchange fails
//    ("No printer response") and the job journal leaves the line to be decided.
// 3. "Not executed", the only reason to send the frame again, needs an answer known to be
//    given after the frame had its effect: after a missing ACK the link reads (without asking)
//    until the line has been silent for longer than the slowest answer seen and at least
//    kSettleQuiet. Every answer still owed has then come, and a counter that moves late has
//    moved; the next answer shows the present counter (or, from a printer that holds an
//    answer back until the next request comes, the one after it: see the loop). Equal to s: sent
//    again; above: executed (the ACK was lost); below: fails, as in 2. An ACK that comes late,
//    during that silence, shows the frame arrived: it is not sent again, the closing wake-up
//    decides.
// 4. After the ACK the closing wake-up looks for a counter above s for a bounded time. Without
//    one, the line falls silent and the next answer decides (a refused command, or a counter
//    that moves late). Without the sequence check (the daily reports) any answer will do, and
//    the counter counts as unknown until the next silence.
// 5. A run leaves the line clean (LeaveLineClean, and the job journal records it); a run that
//    cannot show that its line was left clean lets it settle before its first frame (1).
//
// On a printer that answers in time nothing of this waits: the ACK comes, the first answer
// after it shows the moved counter, and the bytes on the line are those of the plain exchange.

#include <algorithm>
#include <vector>

#include "protocol/CashRegManager.h"
#include "protocol/Timing.h"

namespace tallix {

namespace {

DeliveryOutcome Delivered(Delivery delivery, DeliveryFailure failure, int32_t before,
                          std::optional<int32_t> after = std::nullopt) {
    DeliveryOutcome outcome;
    outcome.delivery = delivery;
    outcome.failure = failure;
    outcome.sequenceBefore = before;
    outcome.sequenceAfter = after;
    return outcome;
}

DeliveryOutcome Unknown(DeliveryFailure failure, int32_t before) {
    return Delivered(Delivery::kUnknown, failure, before);
}

}  // namespace

DeliveryOutcome CashRegManager::Deliver(const uint8_t* text, int length, bool checkSequence,
                                        int32_t sequenceBefore) {
    // Only the counter the wake-up right before read is exact (1): any other could send an
    // executed frame again.
    const bool woken = wokenAt_ == sequenceBefore;
    wokenAt_.reset();
    if (!woken || !serCom) {
        return Delivered(Delivery::kNotExecuted, DeliveryFailure::kNotWoken, sequenceBefore);
    }
    if (length < 0 || (text == nullptr && length > 0)) {
        return Delivered(Delivery::kNotExecuted, DeliveryFailure::kBadText, sequenceBefore);
    }
    if (!ClearReadBuf()) {
        return Delivered(Delivery::kNotExecuted, DeliveryFailure::kLineChatters, sequenceBefore);
    }
    SendFF();
    SendFF();
    if (std::optional<DeliveryOutcome> ended =
            SendFrame(BuildFrame(text, length), sequenceBefore)) {
        return *ended;
    }
    return CloseExchange(sequenceBefore, checkSequence);
}

std::optional<DeliveryOutcome> CashRegManager::SendFrame(const std::vector<uint8_t>& frame,
                                                         int32_t oldSequence) {
    const auto moved = [oldSequence](const WakeUpAnswer& a) {
        return SequenceAhead(a.sequence, oldSequence);
    };
    for (int attempt = 0; attempt < kFrameAttempts; ++attempt) {
        frameMark_ = scanner_.requests();
        if (serCom->write(frame.data(), static_cast<int>(frame.size())) <= 0) {
            return Unknown(DeliveryFailure::kLineGone, oldSequence);
        }
        // From the first byte of the frame until a counter is read again, the printer's
        // counter is not known.
        freshNeeded_ = true;
        SendFF();
        if (ReadByte(kAckTimeout) == kACK) {
            return std::nullopt;
        }
        const Silence silence = WaitForSilence(QuietNeeded(), true);
        if (silence == Silence::Acknowledged) {
            return std::nullopt;
        }
        if (silence == Silence::Dead) {
            return Unknown(DeliveryFailure::kLineGone, oldSequence);
        }
        // The answer to the next request is fresh. A printer that holds an answer back until
        // the next request comes gives a fresh one a request later: so the answer taken shows
        // a moved counter, or by the counts was given after the frame, or follows one that
        // was passed over.
        const int64_t mark = scanner_.requests();
        int passed = 0;
        WakeUpAnswer answer;
        const bool fresh = WakeUPTaking(
            answer,
            [&](const WakeUpAnswer& a) {
                return moved(a) || AnswerScanner::GivenAfter(lastAnswer_, mark) || passed > 0;
            },
            0, 0, &passed);
        if (!fresh) {
            return Unknown(DeliveryFailure::kNoAnswer, oldSequence);
        }
        known_ = answer.sequence;
        freshNeeded_ = false;
        if (moved(answer)) {
            return std::nullopt;  // executed; only its ACK was lost
        }
        if (answer.sequence != oldSequence) {
            return Unknown(DeliveryFailure::kCounterBehind, oldSequence);
        }
        // Equal to the old counter after the silence: not executed, and so sent again.
        if (!ClearReadBuf()) {
            return Delivered(Delivery::kNotExecuted, DeliveryFailure::kLineChatters, oldSequence);
        }
    }
    // Never acknowledged: the closing wake-up decides.
    return std::nullopt;
}

DeliveryOutcome CashRegManager::CloseExchange(int32_t oldSequence, bool checkSequence) {
    const auto moved = [oldSequence](const WakeUpAnswer& a) {
        return SequenceAhead(a.sequence, oldSequence);
    };
    // The closing wake-up: a moved counter, else (as the counts have it) an answer given after
    // the frame; for no longer than answers can be late.
    const double lookFor = std::max(kLookMinimum, 2 * (slowest_ + kQuietMargin));
    int passed = 0;
    WakeUpAnswer answer;
    const bool taken = WakeUPTaking(
        answer,
        [&](const WakeUpAnswer& a) {
            return moved(a) || AnswerScanner::GivenAfter(lastAnswer_, frameMark_);
        },
        lookFor, 0, &passed);
    if (!taken && passed == 0) {
        return Unknown(DeliveryFailure::kNoAnswer, oldSequence);
    }
    if (moved(answer)) {
        known_ = answer.sequence;
        freshNeeded_ = false;
        return Delivered(Delivery::kExecuted, DeliveryFailure::kNone, oldSequence, known_);
    }
    if (!checkSequence) {
        // The counter counts as unknown until the next silence (freshNeeded_ stays set).
        return Delivered(Delivery::kExecuted, DeliveryFailure::kNone, oldSequence, known_);
    }
    if (!Settle() || !WakeUPTaking(
                         answer, [](const WakeUpAnswer&) { return true; }, 0, 0)) {
        return Unknown(DeliveryFailure::kNoAnswer, oldSequence);
    }
    known_ = answer.sequence;
    if (moved(answer)) {
        return Delivered(Delivery::kExecuted, DeliveryFailure::kNone, oldSequence, known_);
    }
    if (answer.sequence != oldSequence) {
        return Unknown(DeliveryFailure::kCounterBehind, oldSequence);
    }
    return Delivered(Delivery::kNotExecuted, DeliveryFailure::kRefused, oldSequence, known_);
}

bool CashRegManager::WritePacket(const uint8_t* text, int length, bool checkSequence) {
    if (length < 0 || (text == nullptr && length > 0)) {
        return false;
    }
    const WakeOutcome woken = Wake();
    return woken && Deliver(text, length, checkSequence, woken.answer->sequence).executed();
}

bool CashRegManager::WritePacket(const uint8_t* text, int length) {
    return WritePacket(text, length, true);
}

}  // namespace tallix
