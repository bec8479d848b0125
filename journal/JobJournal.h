#pragma once

// The job journal of one printer during one batch run. The run tells it, line by line, what
// it does; the journal keeps on disk what a later run of the same command file needs to
// continue where the printer stopped (journal/ResumePlan.h decides that).
//
// What reaches the disk, at most once per command line:
// - before the first byte of a line's frame: "this line in flight, counter s" (which also
//   confirms every line before it). The record is written when the line starts, with the
//   counter the previous line left, and its sync to the disk runs while the link wakes the
//   printer; right before the frame the journal waits for it (and writes again in the rare
//   case that the printer showed another counter). Claiming a line in flight early is safe:
//   a later run finds the counter unchanged and sends the line, which is what it must do
//   for a line that was not sent. (A new job's first record is written right before its
//   first frame, without this overlap.);
// - when the run ends: finished, or stopped with every line before a given one confirmed,
//   when the outcome of the last frame is known; with whether the line was left clean.
// Every record but that last one says the line is not clean, so a run killed at any point
// after its first frame leaves a journal that makes the next run settle the line first.
// A run that sends no frame of a new job leaves the journal as it was: the printer's state
// did not change, so an unfinished earlier job can still be resumed.
//
// The journal never makes a run fail. Whatever goes wrong (no folder, a file that cannot be
// read, written or synced, a full disk) is reported through the note callback and the run
// goes on as without a journal; a journal left behind that could mislead a later run is
// removed when possible. A journal that cannot be written is not used to resume either: a
// resumed run that cannot record its progress could later skip a line that was not executed.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "journal/DataSync.h"
#include "journal/JobState.h"
#include "journal/ResumePlan.h"
#include "posix/UniqueFd.h"

namespace tallix {

using JournalNote = std::function<void(const std::string&)>;

class JobJournal {
  public:
    // Opens and reads the journal of the printer with serialNumber in folder ("" for none:
    // the journal is then off).
    JobJournal(const std::string& folder, const std::string& serialNumber, JournalNote note);
    ~JobJournal();
    JobJournal(const JobJournal&) = delete;
    JobJournal& operator=(const JobJournal&) = delete;

    // The journal can be written; false once anything went wrong.
    bool usable() const { return usable_; }
    const std::string& path() const { return path_; }
    // Why the journal was not used because someone else could have written its folder or file
    // (for the system log); "" when nothing was distrusted.
    const std::string& distrust() const { return distrust_; }
    // The saved job; nothing when there is none or the journal is not usable.
    const std::optional<JobState>& saved() const { return saved_; }

    // Starts this run's job. With plan.resume it continues the saved job from
    // plan.firstLine; otherwise identity becomes the printer's job once its first frame is
    // sent. sequence: the counter read before anything was sent.
    void Begin(const JobIdentity& identity, const ResumePlan& plan,
               std::optional<int32_t> sequence);
    // The run now processes line. When it may send a frame (a printer command), the record
    // "line in flight" is written and its sync started.
    void LineStarting(uint64_t line, bool maySendFrame = true);
    // Right before the first byte of the current line's frame, with the counter read just
    // before it: makes "line in flight at sequenceBefore" durable. Repeated for the same
    // line and counter (a frame sent again), it writes nothing.
    void FrameComing(int32_t sequenceBefore);
    // The current line was processed without a failure; sequenceAfter: the counter the
    // printer showed last (after the line's frame, when it had one).
    void LineDone(std::optional<int32_t> sequenceAfter);
    // The current line failed (refused, no answer, syntax error).
    void LineFailed();
    // The printer was seen to take this long to answer (milliseconds); kept as the longest.
    void NoteSlowest(int32_t milliseconds);
    // The run ends; finished when every line was processed without a failure; lineClean when
    // the line is left with no answer owed and the printer's counter known.
    void End(bool finished, bool lineClean = false);

  private:
    // Writes state as the next record; durable on return, or (async) once Settle returns.
    bool Write(const JobState& state, bool async = false);
    // Waits until the record being synced is on the disk; false when its sync failed.
    bool Settle();
    bool CreateFile(const std::string& slot);
    void Drop(const std::string& why);

    JournalNote note_;
    std::string path_;
    std::string printer_;
    UniqueFd folder_;   // the journal folder, open: its files are found relative to it
    std::string name_;  // the journal file's name in it
    std::string distrust_;
    UniqueFd fd_;
    bool usable_ = false;
    bool fileValid_ = false;  // the file holds a valid record: slots can be overwritten
    uint64_t generation_ = 0;
    std::optional<JobState> saved_;

    DataSync sync_;
    std::optional<JobState> syncing_;  // written, its sync running

    // Where this run's job stands in the journal.
    enum class Stage : uint8_t {
        kNotBegun,  // Begin was not called: nothing is written
        kNewJob,    // begun; the file still holds the printer's earlier job (or none)
        kOwnJob,    // the file holds this run's job; onDisk_ is its newest durable record
    };
    // What is known of the printer's counter after the lines confirmed so far.
    enum class Counter : uint8_t {
        kKnown,           // current_.sequence
        kUnknown,         // none was read
        kFrameUndecided,  // a frame went out and no counter after it was read
    };

    Stage stage_ = Stage::kNotBegun;
    Counter counter_ = Counter::kUnknown;
    JobState onDisk_;   // valid in kOwnJob: the newest durable record
    JobState current_;  // this run's confirmed progress
    uint64_t line_ = 0;
};

}  // namespace tallix
