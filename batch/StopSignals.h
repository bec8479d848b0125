#pragma once

// SIGTERM, SIGINT and SIGHUP during a batch run. A command that reached the printer must get
// its result line, and a receipt must not be cut between a command and its answer: the
// exchange in flight finishes and its line is written, no further line is sent, the result
// file and the port are closed, and only then does the process end, by the same signal and
// with the same status as it would have at once.
//
// The signals are blocked rather than caught, in this thread and in every thread started
// after it (the line's reading thread among them): no read, poll, wait or pause of the
// protocol is ever interrupted, so the time-outs keep their length. The run asks between its
// steps whether one is pending.

#include <csignal>

#include "posix/UniqueFd.h"

namespace tallix {

class StopSignals {
  public:
    // Blocks those of the three signals that the process neither ignores nor blocks already
    // (a run started with nohup keeps ignoring SIGHUP), and ignores SIGPIPE, so that a reader
    // leaving a result pipe makes the write fail (50) instead of ending the process mid-receipt.
    // Construct it before any thread starts.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // One of the watched signals has arrived and waits.
    bool Pending() const;
    // A descriptor that is readable while one of them waits (a signalfd, never read), for
    // steps that wait for something else at the same time; -1 when none is watched.
    int fd() const { return fd_.get(); }

    // Restores the signal mask and SIGPIPE. A pending signal then ends the process with its
    // default action, here and now; without one this returns. Idempotent.
    void Release();

  private:
    sigset_t watched_{};
    sigset_t previousMask_{};
    struct sigaction previousPipe_ {};
    bool active_ = false;
    UniqueFd fd_;
};

}  // namespace tallix
