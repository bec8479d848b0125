#pragma once

// The journal file's bytes. The file holds two slots of kSlotSize bytes; each change of the
// job's state is written whole into one slot, alternately, with a generation number that
// grows by one per write, so a write cut off half-way spoils only the slot being written and
// the other one still holds the state before it. A slot is one line of text padded with
// blanks, with a checksum (XXH3, 64 bits) of everything before it:
//
//   tallix-job-journal 1 gen=7 printer=VX37000001 job=<32 hex> next=12 seq=1043 in-flight=1
//   finished=0 clean=0 slowest-ms=250 check=<16 hex>
//
// (one line in the file). A record without clean= and slowest-ms= (written by an earlier
// version) is read with clean=0 and slowest-ms=0. The slot of generation g is slot g % 2.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "journal/JobState.h"

namespace tallix {

constexpr std::size_t kSlotSize = 256;
constexpr std::size_t kJournalFileSize = 2 * kSlotSize;

struct JournalRecord {
    uint64_t generation = 0;
    std::string printer;  // the printer's file-name-safe serial number
    JobState state;
};

// Where generation's slot starts in the file.
constexpr std::size_t SlotOffset(uint64_t generation) {
    return static_cast<std::size_t>(generation % 2) * kSlotSize;
}

// The kSlotSize bytes of a record; "" when the printer name is too long to fit.
std::string EncodeSlot(const JournalRecord& record);

// The record of a slot; nothing unless the bytes are exactly what EncodeSlot writes for it
// (so also when the checksum does not match).
std::optional<JournalRecord> DecodeSlot(std::string_view slot);

// The slot that a file of blank slots holds where no record was written yet.
std::string BlankSlot();

// What a journal file's bytes hold for printer: the record of the newest valid slot, or
// nothing and why (problem). A file whose slot was cut off while written gives the other
// slot's record.
struct JournalContent {
    std::optional<JournalRecord> record;
    std::string problem;
};
JournalContent DecodeJournal(std::string_view bytes, std::string_view printer);

}  // namespace tallix
