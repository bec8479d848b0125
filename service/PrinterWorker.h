#pragma once

// One printer's worker: a thread that runs the printer's jobs one after another in the order
// they were accepted. It opens the port when it takes a job and none is open, keeps it open
// while its queue holds jobs, and closes it before the last queued job (or one that holds the
// queue, below) is reported done, so a queue runs without batch mode or the set-up window
// printing between its jobs (a receipt made of several jobs stays whole), and they can use the
// printer as soon as the queue is empty or held (the port's lock arbitrates). It closes the
// port also when the service stops and after a job that found the port or the printer in
// trouble (not reached, another printer, a line left unanswered): the next attempt opens
// afresh, so a re-plugged adapter or printer is found again.
//
// Never twice, never lost:
// - A job is taken from the store only when the one before it is done; a job that stopped
//   part-way (the printer fell silent, or the service was killed) stays first and blocks the
//   queue, so nothing else prints into its open receipt.
// - A job that the printer refused part-way, after it may have executed some of its lines
//   (the payment refused for want of paper, say), ends done but may have left its receipt
//   open: the next job's sales would go into another customer's receipt. Such a job holds the
//   queue, and nothing else prints until a client retries it (it continues its own receipt
//   through the journal, and holds again if refused again) or releases it (DELETE: the client
//   has seen to the receipt, or takes what comes). The hold is set with the job's done state
//   in one store update, before the worker asks the store for the next job on the same
//   thread, and the store hands out no job of a held printer; it is kept in the job's state
//   file, so a restart holds too (should that write fail, the file still says running and the
//   restart runs the job through the journal, which finds it finished with the same result
//   and holds again). A release is on the disk before it counts. While held the worker sleeps
//   until woken, with the port closed so that batch mode or the set-up window can finish or
//   cancel the receipt. A job refused before the printer executed any of its lines left the
//   printer as it found it and holds nothing.
// - Every run of a job, the first one and every later one, goes through the printer's job
//   journal under the job's own identity (idempotency key and command file): lines that the
//   printer executed are answered without being sent, and a job that the journal shows
//   finished is not sent again at all. What the journal cannot decide it settles the way
//   batch mode does (a line it cannot prove executed is sent; one it cannot prove unexecuted
//   is not).
// - Before each job, also one that runs on a port kept open from the job before, the printer's
//   serial number is read and compared with the entry's: another printer is never printed on,
//   even when the cable was moved to another printer while the port stayed open. Keeping the
//   port open changes nothing the journal decides on: each job reads the counter afresh, and
//   the job before left the line clean (or said it did not) in the journal as a run that
//   closed the port does.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "config/Preferences.h"
#include "device/Device.h"
#include "service/JobExecution.h"
#include "service/JobStore.h"
#include "service/ResultLines.h"

namespace tallix {

enum class PrinterState { Idle, Printing, Waiting, Offline };

const char* PrinterStateName(PrinterState state);

// The printer's last error while job jobId holds its queue: what happened and what to do.
std::string HoldReason(const std::string& jobId);

struct PrinterStatus {
    PrinterState state = PrinterState::Idle;
    std::string serialNumber;  // the entry's, else the one last read
    std::string lastError;     // "" when none
    std::string lastErrorAt;   // UTC, ISO 8601
};

// How long the worker waits before it tries a silent or unreachable printer again: it grows
// from first to at most limit.
struct RetryPauses {
    std::chrono::milliseconds first{1000};
    std::chrono::milliseconds limit{30000};
};

class PrinterWorker {
  public:
    // jobChanged is called (on the worker's thread) with a job's id whenever its state changed.
    PrinterWorker(DeviceEntry entry, JobStore& store, DeviceFactory makeDevice,
                  std::function<void(const std::string&)> jobChanged, RetryPauses pauses = {});
    ~PrinterWorker();  // Stop()
    PrinterWorker(const PrinterWorker&) = delete;
    PrinterWorker& operator=(const PrinterWorker&) = delete;

    const DeviceEntry& entry() const { return entry_; }
    PrinterStatus status() const;

    // A job was queued (or queued again): look at the queue.
    void Wake();
    // Ends the run in flight at its next line (the job continues at the next start) and
    // joins the thread.
    void Stop();

  private:
    void Loop();
    // Runs one job; false when the worker must pause before trying the job again.
    bool RunOne(JobRecord job);
    // The job ended (or its journal shows it finished) with the result summarised: it is done,
    // holding the queue when it was refused part-way.
    void Finish(JobRecord& job, int exitCode, const ResultSummary& summary);
    // The job's run on the open port, opening it first when it is not open.
    JobRunOutcome RunOnPort(const JobRun& run);
    void ClosePort();
    void SetState(PrinterState state, const std::string& error = {});
    // A job that did not reach its printer in this run: it keeps its place in the queue.
    void KeepPlace(JobRecord& job, const std::string& reason);
    // Waits for the pause or a stop; false when stopping.
    bool Pause(std::chrono::milliseconds pause);
    bool stopping() const;

    DeviceEntry entry_;
    JobStore& store_;
    DeviceFactory makeDevice_;
    std::function<void(const std::string&)> jobChanged_;
    RetryPauses pauses_;
    // The open port, used on the worker's thread only; nullptr when closed.
    std::unique_ptr<Device> device_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stop_ = false;
    PrinterStatus status_;
    std::thread thread_;
};

}  // namespace tallix
