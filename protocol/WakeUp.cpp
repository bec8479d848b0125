// The wake-up exchange: the host addresses the printer by its logical ID and the printer
// answers with its serial number and its sequence counter in a checksummed frame.

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

        const int high = ReadByte(kAnswerByteTimeout);
        const int low = ReadByte(kAnswerByteTimeout);
        const auto received = static_cast<uint16_t>(high * 256 + low);
        if (received != CalculateCrC(text.data(), length)) {
            continue;
        }

        const uint8_t ack = kACK;
        serCom->write(&ack, 1);
        SendFF(1);
        // The scanner ended the same frame on the same byte; its ordinal dates the answer.
        lastAnswer_ = scanner_.completedAnswer();
        return ParseWakeUpAnswer(text.data(), length, RequireNop != 0, answer);
    }
    return false;
}

bool CashRegManager::LastAnswerIsFresh() const {
    return lastAnswer_ > 0 && AnswerScanner::GivenAfter(lastAnswer_, scanner_.requests() - 1);
}

bool CashRegManager::WakeUP(WakeUpAnswer& answer) {
    return WakeUP(answer, Trust{frameMark_, std::nullopt});
}

bool CashRegManager::WakeUP(WakeUpAnswer& answer, const Trust& trust) {
    if (!Reset()) {
        return false;
    }
    for (int exchange = 0; exchange < kWakeUpExchanges; ++exchange) {
        // An answer that may have been given before the moment the caller asks about counts as
        // no answer, unless its counter moved: only a later answer can show a moved counter.
        if (WakeUPExchange(answer) && (AnswerScanner::GivenAfter(lastAnswer_, trust.mark) ||
                                       (trust.movedFrom && answer.sequence != *trust.movedFrom))) {
            lastSequence_ = answer.sequence;
            return true;
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

}  // namespace tallix
