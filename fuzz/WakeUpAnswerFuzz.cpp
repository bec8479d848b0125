// The text of a wake-up answer frame is whatever the line delivered: any bytes, any length,
// zero bytes inside. Parsing must never read outside it and must keep its promises.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "protocol/AnswerScanner.h"
#include "protocol/Frame.h"
#include "protocol/TextConversion.h"
#include "protocol/WakeUpAnswerParse.h"

using tallix::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tallix;
    if (size > 4096) {
        return 0;
    }
    // An exact-size copy, so that AddressSanitizer sees any read past the received bytes.
    std::vector<uint8_t> text(data, data + size);
    const int length = static_cast<int>(size);

    for (const bool requireSequence : {true, false}) {
        WakeUpAnswer answer;
        answer.sequence = 12345;
        const bool parsed = ParseWakeUpAnswer(text.data(), length, requireSequence, answer);
        if (!parsed) {
            continue;
        }
        // Field 0 is what stands before the first ";" (within the first zero byte).
        const void* zero = std::memchr(text.data(), 0, size);
        const size_t searched =
            zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - text.data())
                            : size;
        const void* semicolon = std::memchr(text.data(), ';', searched);
        Require(semicolon != nullptr);
        const auto field0 =
            static_cast<size_t>(static_cast<const uint8_t*>(semicolon) - text.data());
        const size_t kept = field0 < kSerialNumberLength ? field0 : kSerialNumberLength;
        Require(std::memcmp(answer.serialNumber, text.data(), kept) == 0);
        for (size_t i = kept; i < kSerialNumberLength; ++i) {
            Require(answer.serialNumber[i] == 0);
        }
    }

    // The field cutter on its own, with the source terminated as its callers terminate it.
    std::vector<uint8_t> source(text);
    source.push_back(0);
    for (int index = 0; index < 4; ++index) {
        uint8_t field[21] = {};
        uint8_t guard[21];
        std::memset(guard, 0xAB, sizeof guard);
        std::memcpy(field, guard, sizeof field);
        const bool found = ChopField(index, source.data(), length, field, 20);
        Require(field[20] == 0xAB);  // never more than the destination length
        if (!found) {
            Require(std::memcmp(field, guard, sizeof field) == 0);  // untouched
        }
        // The sequence conversion reads a terminated text of any content.
        field[20] = 0;
        (void)SequenceFromText(reinterpret_cast<const char*>(field));
    }

    // The same bytes as a stream on the line, with a request written at every DC1: the answer
    // scanner never counts more answers than requests, and reports each on the byte that
    // ended it.
    AnswerScanner scanner;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == kDC1) {
            scanner.requestWritten();
        }
        const int64_t before = scanner.answers();
        scanner.feed(data[i]);
        Require(scanner.answers() <= scanner.requests());
        Require(scanner.completedAnswer() == (scanner.answers() > before ? scanner.answers() : 0));
    }
    return 0;
}
