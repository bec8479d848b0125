#pragma once

// What the two steps of a confirmed command exchange found out, as values: waking the printer
// (its serial number and counter, or why no answer could be taken), and delivering one frame
// given the counter the wake-up read (executed, not executed, or unknown, with the counters and
// the reason).

#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/Frame.h"

namespace tallix {

// Why a wake-up brought no answer that shows the printer's counter.
enum class WakeFailure : uint8_t {
    kSilence,        // not one byte came: printer off, wrong port, or another logical ID
    kNoValidAnswer,  // bytes came, none formed a valid answer: wrong speed or noise
    kNoCounter,      // a valid answer came without the counter field
    kHungUp,         // the line is gone (cable pulled, modem hung up)
    kCancelled,      // the caller gave up waiting
};

// In words, for the line trace, the system log and the set-up window.
std::string_view WakeFailureText(WakeFailure failure);

struct WakeOutcome {
    // The answer taken as the printer's present state; nothing when the wake-up failed.
    std::optional<WakeUpAnswer> answer;
    // Why not, when there is no answer.
    WakeFailure failure = WakeFailure::kSilence;

    explicit operator bool() const { return answer.has_value(); }
};

// What became of a frame.
enum class Delivery : uint8_t {
    kExecuted,     // a counter above the one before shows it (or, for a frame whose counter
                   // is not checked, the printer answered after it)
    kNotExecuted,  // nothing was sent, or the counter after a silence shows it was not done
    kUnknown,      // it may or may not have been executed: a later wake-up must decide
};

// Why a frame was not (or may not have been) executed.
enum class DeliveryFailure : uint8_t {
    kNone,
    kNotWoken,       // no wake-up read the counter right before: nothing was sent
    kBadText,        // no text to frame: nothing was sent
    kLineChatters,   // the line never fell silent before the frame: nothing was sent
    kLineGone,       // the line went away or never fell silent once the frame was out
    kNoAnswer,       // no answer after the frame
    kCounterBehind,  // the counter came back lower than before: it proves nothing
    kRefused,        // after a silence the counter still showed the old value
};

std::string_view DeliveryFailureText(DeliveryFailure failure);

struct DeliveryOutcome {
    Delivery delivery = Delivery::kNotExecuted;
    DeliveryFailure failure = DeliveryFailure::kNone;
    // The counter the wake-up before the frame read.
    int32_t sequenceBefore = 0;
    // The counter the link knows after the frame; nothing while the frame's effect on it is
    // not known.
    std::optional<int32_t> sequenceAfter;

    bool executed() const { return delivery == Delivery::kExecuted; }
};

}  // namespace tallix
