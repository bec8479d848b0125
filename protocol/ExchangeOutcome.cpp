#include "protocol/ExchangeOutcome.h"

namespace tallix {

std::string_view WakeFailureText(WakeFailure failure) {
    switch (failure) {
        case WakeFailure::kSilence:
            return "no answer: check the printer is on, the speed and the logical ID";
        case WakeFailure::kNoValidAnswer:
            return "no valid answer: wrong speed or noise on the line";
        case WakeFailure::kNoCounter:
            return "the printer's answer carries no sequence counter";
        case WakeFailure::kHungUp:
            return "the line hung up";
        case WakeFailure::kCancelled:
            return "cancelled";
    }
    return "no answer";
}

std::string_view DeliveryFailureText(DeliveryFailure failure) {
    switch (failure) {
        case DeliveryFailure::kNone:
            return "";
        case DeliveryFailure::kNotWoken:
            return "the counter was not read right before the frame: nothing sent";
        case DeliveryFailure::kBadText:
            return "no command text: nothing sent";
        case DeliveryFailure::kLineChatters:
            return "the line never fell silent before the frame: nothing sent";
        case DeliveryFailure::kLineGone:
            return "the line went away after the frame";
        case DeliveryFailure::kNoAnswer:
            return "no answer after the frame";
        case DeliveryFailure::kCounterBehind:
            return "the counter came back lower than before the frame";
        case DeliveryFailure::kRefused:
            return "the counter did not move: the printer did not execute the command";
    }
    return "";
}

}  // namespace tallix
