#include "journal/JournalSlot.h"

#include <xxhash.h>

#include <cstdio>
#include <vector>

#include "posix/Hex.h"
#include "posix/WholeNumber.h"

namespace tallix {
namespace {

constexpr std::string_view kMagic = "tallix-job-journal 1";
constexpr std::string_view kCheckKey = " check=";

// The value of "key=value" when token is that, else nothing.
std::optional<std::string_view> ValueOf(std::string_view token, std::string_view key) {
    if (token.size() <= key.size() || token.substr(0, key.size()) != key ||
        token[key.size()] != '=') {
        return std::nullopt;
    }
    return token.substr(key.size() + 1);
}

// value from the whole of text, a decimal number; false (value untouched) for no text or any
// other form.
template <typename Number>
bool ParseNumber(std::optional<std::string_view> text, Number& value) {
    const std::optional<Number> number =
        text ? ParseWholeNumber<Number>(*text) : std::optional<Number>();
    if (!number) {
        return false;
    }
    value = *number;
    return true;
}

bool ParseFlag(std::optional<std::string_view> text, bool& value) {
    if (text != "0" && text != "1") {
        return false;
    }
    value = text == "1";
    return true;
}

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        tokens.push_back(text.substr(0, space));
        if (space == std::string_view::npos) {
            break;
        }
        text.remove_prefix(space + 1);
    }
    return tokens;
}

// The slot of record; withLine adds "clean=" and "slowest-ms=" (records of earlier versions
// lack them, and are read as a line not known to be clean).
std::string EncodeSlot(const JournalRecord& record, bool withLine) {
    const JobState& state = record.state;
    char body[kSlotSize];
    int length = std::snprintf(
        body, sizeof body,
        "%.*s gen=%llu printer=%s job=%s next=%llu seq=%d in-flight=%d finished=%d",
        static_cast<int>(kMagic.size()), kMagic.data(),
        static_cast<unsigned long long>(record.generation), record.printer.c_str(),
        IdentityText(state.job).c_str(), static_cast<unsigned long long>(state.nextLine),
        static_cast<int>(state.sequence), state.inFlight ? 1 : 0, state.finished ? 1 : 0);
    if (withLine && length >= 0 && static_cast<std::size_t>(length) < sizeof body) {
        const auto used = static_cast<std::size_t>(length);
        const int more = std::snprintf(body + used, sizeof body - used, " clean=%d slowest-ms=%d",
                                       state.lineClean ? 1 : 0, static_cast<int>(state.slowestMs));
        length = more < 0 ? more : length + more;
    }
    if (length < 0 || static_cast<std::size_t>(length) + kCheckKey.size() + 16 + 1 > kSlotSize) {
        return {};
    }
    std::string slot(body, static_cast<std::size_t>(length));
    const std::string check = LowerHex64(XXH3_64bits(slot.data(), slot.size()));
    slot += kCheckKey;
    slot += check;
    slot.resize(kSlotSize - 1, ' ');
    slot.push_back('\n');
    return slot;
}

}  // namespace

std::string EncodeSlot(const JournalRecord& record) {
    return EncodeSlot(record, true);
}

std::optional<JournalRecord> DecodeSlot(std::string_view slot) {
    if (slot.size() != kSlotSize || slot.substr(0, kMagic.size()) != kMagic) {
        return std::nullopt;
    }
    // The checksum and the padding are checked below by writing the record again.
    const std::size_t check = slot.find(kCheckKey);
    if (check == std::string_view::npos || check <= kMagic.size()) {
        return std::nullopt;
    }
    const std::vector<std::string_view> tokens =
        Tokens(slot.substr(kMagic.size() + 1, check - kMagic.size() - 1));
    const bool withLine = tokens.size() == 9;
    if (tokens.size() != 7 && !withLine) {
        return std::nullopt;
    }
    JournalRecord record;
    JobState& state = record.state;
    const std::optional<std::string_view> printer = ValueOf(tokens[1], "printer");
    const std::optional<std::string_view> job = ValueOf(tokens[2], "job");
    const std::optional<JobIdentity> identity = job ? ParseIdentityText(*job) : std::nullopt;
    if (!ParseNumber(ValueOf(tokens[0], "gen"), record.generation) || !printer || !identity ||
        !ParseNumber(ValueOf(tokens[3], "next"), state.nextLine) ||
        !ParseNumber(ValueOf(tokens[4], "seq"), state.sequence) ||
        !ParseFlag(ValueOf(tokens[5], "in-flight"), state.inFlight) ||
        !ParseFlag(ValueOf(tokens[6], "finished"), state.finished)) {
        return std::nullopt;
    }
    if (withLine &&
        (!ParseFlag(ValueOf(tokens[7], "clean"), state.lineClean) ||
         !ParseNumber(ValueOf(tokens[8], "slowest-ms"), state.slowestMs) || state.slowestMs < 0)) {
        return std::nullopt;
    }
    record.printer = std::string(*printer);
    state.job = *identity;
    // Only the exact bytes of this record count: the checksum, the padding, the number forms.
    if (state.inFlight && state.finished) {
        return std::nullopt;
    }
    if (EncodeSlot(record, withLine) != slot) {
        return std::nullopt;
    }
    return record;
}

std::string BlankSlot() {
    std::string slot(kSlotSize - 1, ' ');
    slot.push_back('\n');
    return slot;
}

JournalContent DecodeJournal(std::string_view bytes, std::string_view printer) {
    JournalContent content;
    if (bytes.size() != kJournalFileSize) {
        content.problem = "the journal has " + std::to_string(bytes.size()) + " bytes, not " +
                          std::to_string(kJournalFileSize);
        return content;
    }
    std::optional<JournalRecord> slots[2];
    for (std::size_t i = 0; i < 2; ++i) {
        slots[i] = DecodeSlot(bytes.substr(i * kSlotSize, kSlotSize));
        if (slots[i] && SlotOffset(slots[i]->generation) != i * kSlotSize) {
            slots[i].reset();
        }
    }
    if (!slots[0] && !slots[1]) {
        content.problem = "the journal holds no valid record";
        return content;
    }
    std::optional<JournalRecord> newest;
    if (slots[0] && slots[1]) {
        const uint64_t a = slots[0]->generation;
        const uint64_t b = slots[1]->generation;
        if (a + 1 != b && b + 1 != a) {
            content.problem = "the journal's records are not consecutive";
            return content;
        }
        newest = a > b ? slots[0] : slots[1];
    } else {
        newest = slots[0] ? slots[0] : slots[1];
    }
    if (newest->printer != printer) {
        content.problem = "the journal belongs to printer " + newest->printer;
        return content;
    }
    content.record = std::move(newest);
    return content;
}

}  // namespace tallix
