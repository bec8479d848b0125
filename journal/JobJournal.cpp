#include "journal/JobJournal.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "journal/JournalPlace.h"
#include "journal/JournalSlot.h"
#include "posix/ErrnoText.h"
#include "posix/ReadWrite.h"
#include "posix/SyncFolder.h"
#include "posix/UniqueFd.h"

namespace tallix {

JobJournal::JobJournal(const std::string& folder, const std::string& serialNumber, JournalNote note)
    : note_(std::move(note)), printer_(SafePrinterName(serialNumber)) {
    if (folder.empty()) {
        note_(
            "no folder for the job journal (neither XDG_STATE_HOME nor HOME is an absolute "
            "path): the run goes on without it");
        return;
    }
    path_ = JournalPath(folder, serialNumber);
    if (path_.empty()) {
        note_(
            "the printer's serial number cannot name a journal file: the run goes on without "
            "a journal");
        return;
    }
    // A folder or file that is not used: the note says why, and one that someone else could
    // have written is also kept for the system log.
    const auto refuse = [this](const std::string& what, const JournalOpening& opening) {
        const std::string text = what + " " + opening.problem + ": the run goes on without it";
        if (opening.distrusted) {
            distrust_ = text;
        }
        note_(text);
    };
    JournalOpening place = OpenJournalFolder(folder);
    if (!place.fd) {
        refuse("journal folder " + folder, place);
        return;
    }
    folder_ = std::move(place.fd);
    name_ = JournalFileName(serialNumber);
    JournalOpening file = OpenJournalFile(folder_.get(), name_);
    if (file.missing) {
        usable_ = true;
        note_("journal " + path_ + ": none yet");
        return;
    }
    if (!file.fd) {
        refuse("journal " + path_, file);
        return;
    }
    fd_ = std::move(file.fd);
    usable_ = true;
    const std::optional<std::string> bytes = ReadAll(fd_.get(), kJournalFileSize + 1);
    if (!bytes) {
        note_("journal " + path_ + " cannot be read (" + ErrnoText(errno) + "): it counts as none");
        return;
    }
    const JournalContent content = DecodeJournal(*bytes, printer_);
    if (!content.record) {
        note_("journal " + path_ + " is not valid (" + content.problem + "): it counts as none");
        return;
    }
    fileValid_ = true;
    generation_ = content.record->generation;
    saved_ = content.record->state;
}

JobJournal::~JobJournal() {
    (void)Settle();
}

void JobJournal::Begin(const JobIdentity& identity, const ResumePlan& plan,
                       std::optional<int32_t> sequence) {
    current_ = JobState{};
    current_.job = identity;
    current_.nextLine = plan.firstLine;
    current_.sequence = sequence.value_or(0);
    current_.slowestMs = saved_ ? saved_->slowestMs : 0;
    counter_ = sequence.has_value() ? Counter::kKnown : Counter::kUnknown;
    stage_ = usable_ && plan.resume && saved_.has_value() ? Stage::kOwnJob : Stage::kNewJob;
    if (stage_ == Stage::kOwnJob) {
        onDisk_ = *saved_;
    }
}

void JobJournal::LineStarting(uint64_t line, bool maySendFrame) {
    line_ = line;
    // A new job is written by its first frame only: until then the printer's earlier job
    // stays resumable.
    if (!usable_ || stage_ != Stage::kOwnJob || !maySendFrame || counter_ != Counter::kKnown) {
        return;
    }
    // The counter before this line's frame will be the one the previous line left.
    JobState state = current_;
    state.nextLine = line;
    state.inFlight = true;
    if (onDisk_ == state || syncing_ == state) {
        return;
    }
    // A record that could not be written leaves the one before it, which is still true as
    // long as no frame goes out; FrameComing tries again before one does.
    (void)Write(state, true);
}

void JobJournal::FrameComing(int32_t sequenceBefore) {
    // Until a counter after it is read, this frame's fate is not known.
    counter_ = Counter::kFrameUndecided;
    if (!usable_ || stage_ == Stage::kNotBegun) {
        return;
    }
    JobState state = current_;
    state.nextLine = line_;
    state.sequence = sequenceBefore;
    state.inFlight = true;
    // The record written when the line started is on the disk once its sync is done; with
    // another counter it is written again.
    if (!Settle() || (!(stage_ == Stage::kOwnJob && onDisk_ == state) && !Write(state))) {
        // The frame goes out unrecorded: the journal on disk no longer tells the truth.
        Drop("the run goes on without it");
    }
}

void JobJournal::LineDone(std::optional<int32_t> sequenceAfter) {
    current_.nextLine = line_ + 1;
    // A line with a frame is settled only by a counter read after it; without one the
    // counter stays as it was (undecided, when the frame left it so).
    if (sequenceAfter) {
        current_.sequence = *sequenceAfter;
        counter_ = Counter::kKnown;
    }
}

void JobJournal::LineFailed() {
    // Nothing to record: a frame the line sent stays undecided, and the end of the run
    // leaves its in-flight record for the next run to decide by the counter.
}

void JobJournal::NoteSlowest(int32_t milliseconds) {
    current_.slowestMs = std::max(current_.slowestMs, milliseconds);
}

void JobJournal::End(bool finished, bool lineClean) {
    if (!usable_ || stage_ == Stage::kNotBegun) {
        return;
    }
    if (!Settle()) {
        // The record of the last line that started (which sent no frame) may or may not be
        // on the disk; either it or the one before it leads the next run to the right line.
        return;
    }
    JobState state = current_;
    state.inFlight = false;
    state.finished = finished;
    state.lineClean = lineClean;
    if (stage_ != Stage::kOwnJob || (!finished && counter_ != Counter::kKnown)) {
        // A new job that sent nothing leaves the journal alone. When the last frame's fate
        // is unknown, the in-flight record on disk lets the next run decide it by the counter.
        return;
    }
    if (onDisk_ == state) {
        return;
    }
    if (!Write(state)) {
        // The record on disk is older but still true: the last line in flight, which the
        // next run decides by the counter. It stays.
        note_("journal " + path_ + ": the end of the run could not be recorded");
    }
}

bool JobJournal::Settle() {
    if (!syncing_) {
        return true;
    }
    const bool synced = sync_.Wait();
    if (synced) {
        stage_ = Stage::kOwnJob;
        onDisk_ = *syncing_;
    } else {
        note_("journal " + path_ + " cannot be synced (" + ErrnoText(errno) + ")");
    }
    syncing_.reset();
    return synced;
}

bool JobJournal::Write(const JobState& state, bool async) {
    if (!Settle()) {
        return false;
    }
    JournalRecord record;
    record.generation = fileValid_ ? generation_ + 1 : 1;
    record.printer = printer_;
    record.state = state;
    const std::string slot = EncodeSlot(record);
    if (slot.empty()) {
        note_("journal " + path_ + ": record does not fit its slot");
        return false;
    }
    if (!fileValid_) {
        if (!CreateFile(slot)) {
            return false;
        }
    } else {
        if (!WriteAllAt(fd_.get(), slot, static_cast<off_t>(SlotOffset(record.generation)))) {
            note_("journal " + path_ + " cannot be written (" + ErrnoText(errno) + ")");
            return false;
        }
        if (async && sync_.Start(fd_.get())) {
            generation_ = record.generation;
            syncing_ = state;
            return true;
        }
        if (::fdatasync(fd_.get()) != 0) {
            note_("journal " + path_ + " cannot be synced (" + ErrnoText(errno) + ")");
            return false;
        }
    }
    fileValid_ = true;
    generation_ = record.generation;
    stage_ = Stage::kOwnJob;
    onDisk_ = state;
    return true;
}

// Replaces the file (missing or invalid) with one that holds slot as generation 1, made
// durable with its folder before this returns.
bool JobJournal::CreateFile(const std::string& slot) {
    std::string bytes = BlankSlot() + BlankSlot();
    bytes.replace(SlotOffset(1), kSlotSize, slot);
    std::string why;
    UniqueFd file = ReplaceJournalFile(folder_.get(), name_, bytes, why);
    if (!file) {
        note_("journal " + path_ + " cannot be written (" + why + ")");
        return false;
    }
    fd_ = std::move(file);
    return true;
}

// Stops using the journal and removes the file, so that no later run trusts a state that
// this run's frames have made stale.
void JobJournal::Drop(const std::string& why) {
    usable_ = false;
    (void)Settle();
    fd_.reset();
    if (::unlinkat(folder_.get(), name_.c_str(), 0) == 0 || errno == ENOENT) {
        (void)::fsync(folder_.get());
        note_("journal " + path_ + " removed: " + why);
    } else {
        note_("journal " + path_ + " could not be removed (" + ErrnoText(errno) + "): " + why);
    }
}

}  // namespace tallix
