// The wake-up exchange: the host addresses the printer by its logical ID and the printer
// answers with its serial number and its sequence counter in a checksummed frame.

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

#include "protocol/CashRegManager.h"
#include "protocol/Checksum.h"
#include "protocol/Timing.h"
#include "protocol/WakeUpAnswerParse.h"

namespace tallix {

namespace {

// DC1 DC1 and the first two characters of the logical ID written with at least two digits
// ("05" for 5, "12" for 123, "-0" for -5).
std::array<uint8_t, 4> WakeUpRequest(int32_t logicalID) {
    char digits[16] = {};
    const uint32_t magnitude =
        logicalID < 0 ? 0U - static_cast<uint32_t>(logicalID) : static_cast<uint32_t>(logicalID);
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
    (void)ec;  // ten digits always fit
    std::string text(digits, end);
    if (text.size() < 2) {
        text.insert(0, 2 - text.size(), '0');
    }
    if (logicalID < 0) {
        text.insert(0, 1, '-');
    }
    return {kDC1, kDC1, static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[1])};
}

}  // namespace

bool CashRegManager::WakeUPExchange(WakeUpAnswer& answer) {
    lastAnswer_ = 0;
    if (!serCom) {
        return false;
    }
    if (!ClearReadBuf()) {
        return false;
    }
    SendFF();
    SendFF();

    const std::array<uint8_t, 4> request = WakeUpRequest(logical_ID);
    for (int attempt = 0; attempt < kWakeUpRequests; ++attempt) {
        // What is already here cannot be the answer to the request below; the scanner still
        // has to see it, since it may be the answer to an earlier one.
        TakeBuffered();
        SendFF(1);
        serCom->write(request.data(), static_cast<int>(request.size()));
        scanner_.requestWritten();
        lastRequestAt_ = Clock::now();

        // Whatever comes before the LF is skipped, up to a limit; read time-outs count too.
        bool lineFeed = false;
        for (int i = 0; i < kLineFeedReads && !lineFeed; ++i) {
            lineFeed = ReadByte(kAnswerByteTimeout) == kLF;
        }
        if (!lineFeed) {
            return false;
        }

        // The answer text up to and including its CR; a read that times out stands as 0xFF.
        std::array<uint8_t, kAnswerTextReads + 1> text{};
        int length = 0;
        bool carriageReturn = false;
        while (length < kAnswerTextReads && !carriageReturn) {
            const int byte = ReadByte(kAnswerByteTimeout);
            text[length++] = byte < 0 ? kFill : static_cast<uint8_t>(byte);
            carriageReturn = byte == kCR;
        }
        if (!carriageReturn) {
            return false;
        }

        // A checksum byte that never came spoils the answer like a wrong one.
        const int high = ReadByte(kAnswerByteTimeout);
        const int low = high < 0 ? -1 : ReadByte(kAnswerByteTimeout);
        if (low < 0 || high * 256 + low != CalculateCrC(text.data(), length)) {
            continue;
        }

        const uint8_t ack = kACK;
        serCom->write(&ack, 1);
        SendFF(1);
        // The scanner ended the same frame on the same byte; its ordinal dates the answer.
        lastAnswer_ = scanner_.completedAnswer();
        const bool parsed = ParseWakeUpAnswer(text.data(), length, RequireNop != 0, answer);
        withoutCounter_ = withoutCounter_ || !parsed;
        return parsed;
    }
    return false;
}

bool CashRegManager::LastAnswerIsFresh() const {
    return lastAnswer_ > 0 && AnswerScanner::GivenAfter(lastAnswer_, scanner_.requests() - 1);
}

bool CashRegManager::WakeUP(WakeUpAnswer& answer) {
    const WakeOutcome woken = Wake();
    if (woken) {
        answer = *woken.answer;
    }
    return static_cast<bool>(woken);
}

WakeOutcome CashRegManager::Wake() {
    wokenAt_.reset();
    const uint64_t bytesBefore = bytesRead_;
    withoutCounter_ = false;
    WakeOutcome outcome;
    WakeUpAnswer answer;
    if (!serCom || (freshNeeded_ && !Settle()) || !WakeUPPresent(answer)) {
        outcome.failure = WhyNoAnswer(bytesBefore);
        return outcome;
    }
    known_ = answer.sequence;
    wokenAt_ = answer.sequence;
    outcome.answer = answer;
    return outcome;
}

WakeOutcome CashRegManager::WakeAfterSilence() {
    wokenAt_.reset();
    if (!serCom || !Settle()) {
        WakeOutcome outcome;
        outcome.failure = WhyNoAnswer(bytesRead_);
        return outcome;
    }
    return Wake();
}

WakeFailure CashRegManager::WhyNoAnswer(uint64_t bytesBefore) const {
    if (cancel_ != nullptr && cancel_->load()) {
        return WakeFailure::kCancelled;
    }
    if (!serCom || !serCom->lineAlive()) {
        return WakeFailure::kHungUp;
    }
    if (withoutCounter_) {
        return WakeFailure::kNoCounter;
    }
    return bytesRead_ > bytesBefore ? WakeFailure::kNoValidAnswer : WakeFailure::kSilence;
}

bool CashRegManager::WakeUPPresent(WakeUpAnswer& answer) {
    // The counter never goes back on its own, so an answer below the known one is an old one
    // given late or twice; one at or above it shows the present counter.
    int passed = 0;
    const bool taken = WakeUPTaking(
        answer,
        [this](const WakeUpAnswer& a) {
            return !known_ || a.sequence == *known_ || SequenceAhead(a.sequence, *known_);
        },
        0, kLowAnswersPassed, &passed);
    if (taken) {
        return true;
    }
    // Only answers below it came: old ones, or a printer whose counter went back. After a
    // silence the next answer tells which.
    return passed >= kLowAnswersPassed && Settle() &&
           WakeUPTaking(
               answer, [](const WakeUpAnswer&) { return true; }, 0, 0);
}

bool CashRegManager::WakeUPTaking(WakeUpAnswer& answer, const Accept& accept, double lookFor,
                                  int maxPassed, int* passed) {
    int notTaken = 0;
    if (passed != nullptr) {
        *passed = 0;
    }
    if (!Reset()) {
        return false;
    }
    const auto lookUntil = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(lookFor));
    for (int exchange = 0; exchange < kWakeUpExchanges; ++exchange) {
        WakeUpAnswer got;
        if (WakeUPExchange(got)) {
            if (accept(got)) {
                answer = got;
                return true;
            }
            answer = got;
            ++notTaken;
            if (passed != nullptr) {
                *passed = notTaken;
            }
            if (maxPassed > 0 && notTaken >= maxPassed) {
                return false;
            }
        }
        if (lookFor > 0 && Clock::now() >= lookUntil) {
            return false;
        }
        // A pulled cable or a hung-up line cannot answer later, and a line that never falls
        // silent carries no answer: repeating the exchange would only keep the caller (and the
        // port's lock) waiting for the same failure. A caller that gave up waits no longer.
        if (!serCom->lineAlive() || lineChatters_ || (cancel_ != nullptr && cancel_->load())) {
            return false;
        }
    }
    return false;
}

bool CashRegManager::ConfirmAnswer(WakeUpAnswer& answer) {
    if (WaitForSilence(slowest_ + kQuietMargin, false) != Silence::Reached) {
        return false;
    }
    LineIsQuiet();
    // As long as an answer may take: twice the slowest seen, and at least kSettleQuiet (one
    // answer seen late during an exchange shows less than its whole delay).
    return WakeUPTaking(
        answer, [](const WakeUpAnswer&) { return true; },
        std::max(kSettleQuiet, 2 * (slowest_ + kQuietMargin) + kLineFeedReads * kAnswerByteTimeout),
        0);
}

}  // namespace tallix
