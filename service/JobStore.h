#pragma once

// The service's durable job store: one folder per job below <state>/jobs, named by the job's
// id. A job is on the disk (written and synced, its folder renamed into place and the folder
// above synced) before its caller hears that it was accepted, so a crash at any later moment
// finds it again. A job's id is the hash of its printer's key and its idempotency key, 32 hex
// digits: what a caller sends never becomes a path, and an id that is not in the store is
// simply not found.
//
// Folder of a job:  job.json   printer, idempotency key, body hash, order of acceptance
//                   body       the command file's bytes (Windows-1250)
//                   state.json state, exit code, attempts, whether it holds the printer's
//                              queue (missing: queued, never started)
//                   result     the result file, written as batch mode writes it

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "journal/JobIdentity.h"

namespace tallix {

// Named apart from the journal's JobState: two types of one name in one program break its
// templates (std::optional of either is one symbol).
enum class ServiceJobState { Queued, Running, Waiting, Done };

const char* JobStateName(ServiceJobState state);

struct JobRecord {
    std::string id;
    std::string printer;         // the device entry's key
    std::string idempotencyKey;  // 1 to 128 of [A-Za-z0-9._:-]
    std::string bodyHash;        // of the bytes and charset as they came
    uint64_t order = 0;          // acceptance order over the whole store
    // Place in the printer's queue: the order, or for a job queued again by a retry a
    // negative number, so that it runs before the jobs that were waiting behind it.
    int64_t queuePlace = 0;
    ServiceJobState state = ServiceJobState::Queued;
    std::optional<int> exitCode;  // when done
    bool endedOnFailure = false;  // done, with a line that reports a failure
    // Done on a failure after the printer executed some of its lines: its receipt may still be
    // open, so no other job of its printer starts until it is retried or released.
    bool holdsQueue = false;
    int attempts = 0;  // runs started
    // When the job was last taken to run, over the whole store (0: never). The printer's job
    // journal remembers only the job that ran last on it.
    uint64_t claimed = 0;
};

// What Accept did.
enum class Acceptance {
    Created,    // stored as a new job
    Replayed,   // the key was known with the same body: the stored job
    KeyReused,  // the key was known with another body: nothing stored
    QueueFull,  // the printer has kQueueLimit jobs not done: nothing stored
    Failed,     // the store could not write: nothing stored
};

class JobStore {
  public:
    static constexpr std::size_t kQueueLimit = 100;

    // Opens the store in stateFolder (created 0700 with jobs/ below it), loading every job.
    // Nothing (with the reason in error) when the folder cannot be made or read.
    static std::unique_ptr<JobStore> Open(const std::string& stateFolder, std::string& error);

    // Where the printers' job journals live: <state>/journals.
    const std::string& journalFolder() const { return journalFolder_; }

    // The id of a job of printer with idempotencyKey.
    static std::string IdOf(const std::string& printer, const std::string& idempotencyKey);
    // The hash of a body as it came (bytes and charset).
    static std::string BodyHash(std::string_view body, std::string_view charset);
    // The job's name in the printer's journal: its idempotency key with its command file.
    static JobIdentity JournalIdentity(const std::string& idempotencyKey, std::string_view bytes);

    // Stores a new job (commandBytes: the command file as batch mode reads it) unless the key
    // is known. record gets the stored job (new or known).
    Acceptance Accept(const std::string& printer, const std::string& idempotencyKey,
                      const std::string& bodyHash, std::string_view commandBytes,
                      JobRecord& record);

    std::optional<JobRecord> Find(const std::string& id) const;
    std::string BodyPath(const std::string& id) const;
    std::string ResultPath(const std::string& id) const;
    std::string ReadBody(const std::string& id) const;
    bool HasResult(const std::string& id) const;
    // The result file's bytes ("" when there is none yet).
    std::string ReadResult(const std::string& id) const;

    // Jobs of printer that are not done.
    std::size_t Pending(const std::string& printer) const;
    // The printer's first job that is not done, in acceptance order.
    std::optional<JobRecord> NextPending(const std::string& printer) const;

    // The printer's first job that is not done, now running (a waiting job stays waiting)
    // with one attempt more; a job so taken can no longer be removed. Nothing while a job
    // holds the printer's queue.
    std::optional<JobRecord> Claim(const std::string& printer);
    // The id of the job that holds the printer's queue; nothing when none does.
    std::optional<std::string> Holder(const std::string& printer) const;

    // State changes, written durably before they return (false when the write failed; the
    // state in memory changes anyway, so the service goes on and a restart takes it from the
    // older state, which only makes the job run again through the printer's journal).
    bool Update(const JobRecord& record);
    // Removes a queued job; false when it is not queued (or not there).
    bool RemoveQueued(const std::string& id);
    // A done job that holds its printer's queue lets it go; the job and its result stay as
    // they are. Written durably before anything changes in memory.
    enum class ReleaseResult { Released, NotHolding, Failed };
    ReleaseResult Release(const std::string& id);
    // A job that ended on a failure queued again, ahead of the printer's other jobs (a hold it
    // had ends: it runs next, on its own receipt): only
    // while it is the last job that ran on its printer. Once another has run, the printer's
    // journal no longer knows where it stopped, and a retry would print its executed lines
    // again.
    enum class RequeueResult { Queued, NotRetryable, AnotherRanSince };
    RequeueResult Requeue(const std::string& id);

    // Printers named by jobs in the store (also of entries no longer in the devices file).
    std::vector<std::string> Printers() const;

  private:
    explicit JobStore(const std::string& stateFolder);
    bool Load(std::string& error);
    bool WriteState(const JobRecord& record);

    std::string folder_;  // <state>/jobs
    std::string journalFolder_;
    mutable std::mutex mutex_;
    std::map<std::string, JobRecord> jobs_;
    // Per printer, jobs not done by order (a requeued job gets an order before every other).
    std::map<std::string, std::map<int64_t, std::string>> pending_;
    // Per printer, the done jobs that hold its queue (one, unless a store was edited by hand).
    std::map<std::string, std::set<std::string>> holders_;
    void Index(const JobRecord& record);
    void Unindex(const JobRecord& record);
    uint64_t nextOrder_ = 1;
    uint64_t nextClaim_ = 1;
    int64_t nextFront_ = -1;
};

}  // namespace tallix
