#include "service/PrinterWorker.h"

#include <ctime>

namespace tallix {
namespace {

std::string NowText() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    (void)gmtime_r(&now, &utc);
    char text[32];
    (void)std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

std::string HoldReason(const std::string& jobId) {
    return "job " + jobId +
           " ended on a line the printer refused and its receipt may still be open: retry it "
           "(POST .../jobs/" +
           jobId + "/retry) or release the printer (DELETE .../jobs/" + jobId + ")";
}

const char* PrinterStateName(PrinterState state) {
    switch (state) {
        case PrinterState::Idle:
            return "idle";
        case PrinterState::Printing:
            return "printing";
        case PrinterState::Waiting:
            return "waiting";
        case PrinterState::Offline:
            return "offline";
    }
    return "idle";
}

PrinterWorker::PrinterWorker(DeviceEntry entry, JobStore& store, DeviceFactory makeDevice,
                             std::function<void(const std::string&)> jobChanged, RetryPauses pauses)
    : entry_(std::move(entry)),
      store_(store),
      makeDevice_(std::move(makeDevice)),
      jobChanged_(std::move(jobChanged)),
      pauses_(pauses) {
    status_.serialNumber = entry_.serialNumber;
    thread_ = std::thread([this] { Loop(); });
}

PrinterWorker::~PrinterWorker() {
    Stop();
}

PrinterStatus PrinterWorker::status() const {
    const std::lock_guard lock(mutex_);
    return status_;
}

void PrinterWorker::Wake() {
    {
        const std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

void PrinterWorker::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool PrinterWorker::stopping() const {
    const std::lock_guard lock(mutex_);
    return stop_;
}

void PrinterWorker::SetState(PrinterState state, const std::string& error) {
    const std::lock_guard lock(mutex_);
    status_.state = state;
    if (!error.empty()) {
        status_.lastError = error;
        status_.lastErrorAt = NowText();
    }
}

bool PrinterWorker::Pause(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, pause, [this] { return stop_; });
    return !stop_;
}

void PrinterWorker::Loop() {
    std::chrono::milliseconds pause = pauses_.first;
    while (!stopping()) {
        const std::optional<JobRecord> job = store_.Claim(entry_.key);
        if (!job) {
            // Nothing to run, or a job holds the queue. The port was closed already when the
            // last job ended (or when the holding one did); this catches a job removed
            // meanwhile. Either way the worker sleeps until a job is queued, retried or
            // released, or the service stops.
            const std::optional<std::string> holder = store_.Holder(entry_.key);
            ClosePort();
            std::unique_lock lock(mutex_);
            status_.state = holder ? PrinterState::Waiting : PrinterState::Idle;
            if (holder && status_.lastError != HoldReason(*holder)) {
                status_.lastError = HoldReason(*holder);  // after a restart
                status_.lastErrorAt = NowText();
            }
            wake_.wait(lock, [this] { return stop_ || woken_; });
            woken_ = false;
            continue;
        }
        jobChanged_(job->id);
        if (RunOne(*job)) {
            pause = pauses_.first;
            continue;
        }
        if (!Pause(pause)) {
            break;
        }
        pause = std::min(pause * 2, pauses_.limit);
    }
    ClosePort();
}

void PrinterWorker::ClosePort() {
    if (device_) {
        device_->Close();
        device_.reset();
    }
}

JobRunOutcome PrinterWorker::RunOnPort(const JobRun& run) {
    const StopRequested stop = [this] { return stopping(); };
    if (!device_) {
        JobRunOutcome failed;
        device_ = OpenEntryPrinter(entry_, makeDevice_, stop, failed);
        if (!device_) {
            return failed;
        }
    }
    return ExecuteJob(run, *device_, stop);
}

void PrinterWorker::KeepPlace(JobRecord& job, const std::string& reason) {
    // Nothing was sent in this run: the job keeps its place. One that has a result
    // file has run part-way before (the file is made only once the right printer
    // answered) and waits for the printer; any other is still only queued.
    // The printer's state is set before the job's, so that a client that sees the job
    // waiting also sees the printer waiting.
    const bool wasRunning = job.state == ServiceJobState::Running;
    if (wasRunning) {
        job.state = store_.HasResult(job.id) ? ServiceJobState::Waiting : ServiceJobState::Queued;
    }
    SetState(job.state == ServiceJobState::Waiting ? PrinterState::Waiting : PrinterState::Offline,
             reason);
    if (wasRunning) {
        store_.Update(job);
        jobChanged_(job.id);
    }
}

bool PrinterWorker::RunOne(JobRecord job) {
    if (job.state != ServiceJobState::Waiting) {
        SetState(PrinterState::Printing);
    }
    JobRun run;
    run.commandFilePath = store_.BodyPath(job.id);
    run.resultFilePath = store_.ResultPath(job.id);
    run.entry = entry_;
    run.journalFolder = store_.journalFolder();
    run.identity = JobStore::JournalIdentity(job.idempotencyKey, store_.ReadBody(job.id));
    const JobRunOutcome outcome = RunOnPort(run);

    switch (outcome.end) {
        case JobEnd::Stopped:
            ClosePort();
            return true;  // the job stays as it is; the next start continues it
        case JobEnd::NotReached:
        case JobEnd::WrongPrinter:
            ClosePort();
            KeepPlace(job, outcome.reason);
            return false;
        case JobEnd::AlreadyFinished:
        case JobEnd::Ended:
            break;
    }
    const ResultSummary summary = Summarize(ParseResultLines(store_.ReadResult(job.id)));
    if (outcome.end == JobEnd::Ended && summary.unanswered) {
        // A line went unanswered: whatever the printer says now, the next job opens the port
        // afresh.
        const bool answers = device_ && PrinterAnswers(*device_);
        ClosePort();
        if (!answers) {
            // The printer fell silent part-way: the job stays first, and its next run
            // continues it through the journal once the printer answers again.
            SetState(PrinterState::Waiting,
                     "the printer on " + entry_.path + " stopped answering during job " + job.id);
            job.state = ServiceJobState::Waiting;
            store_.Update(job);
            jobChanged_(job.id);
            return false;
        }
    }
    Finish(job, outcome.exitCode, summary);
    return true;
}

void PrinterWorker::Finish(JobRecord& job, int exitCode, const ResultSummary& summary) {
    // A job refused part-way may have left its receipt open: it holds the queue.
    const bool holds = summary.anyFailure && summary.anyExecuted;
    if (holds || store_.Pending(entry_.key) <= 1) {
        // The queue's last job, or one that holds it: the port is free before its caller hears
        // that the job is done, so a batch run or the set-up window that the caller starts next
        // finds the printer free (to finish or cancel the receipt, say).
        ClosePort();
    }
    if (holds) {
        // Set before the job's state, so that a client that sees the job done holding the
        // queue also sees the printer waiting.
        SetState(PrinterState::Waiting, HoldReason(job.id));
    }
    job.state = ServiceJobState::Done;
    job.exitCode = exitCode;
    job.endedOnFailure = summary.anyFailure;
    job.holdsQueue = holds;
    store_.Update(job);
    jobChanged_(job.id);
    if (summary.anyFailure && !holds) {
        SetState(PrinterState::Printing, "job " + job.id + " ended on a line the printer refused");
    }
}

}  // namespace tallix
