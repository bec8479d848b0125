#include "batch/StopSignals.h"

#include <pthread.h>
#include <sys/signalfd.h>

namespace tallix {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

bool Ignored(int signal) {
    struct sigaction action {};
    return sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

}  // namespace

StopSignals::StopSignals() {
    sigset_t current;
    sigemptyset(&current);
    (void)pthread_sigmask(SIG_BLOCK, nullptr, &current);
    sigemptyset(&watched_);
    for (const int signal : kStopSignals) {
        // One that is ignored or blocked already never ended a run; it still must not.
        if (!Ignored(signal) && sigismember(&current, signal) == 0) {
            sigaddset(&watched_, signal);
        }
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    (void)sigaction(SIGPIPE, &ignore, &previousPipe_);
    active_ = pthread_sigmask(SIG_BLOCK, &watched_, &previousMask_) == 0;
    if (active_ && sigisemptyset(&watched_) == 0) {
        fd_.reset(::signalfd(-1, &watched_, SFD_CLOEXEC | SFD_NONBLOCK));
    }
}

StopSignals::~StopSignals() {
    Release();
}

bool StopSignals::Pending() const {
    sigset_t pending;
    sigemptyset(&pending);
    if (!active_ || sigpending(&pending) != 0) {
        return false;
    }
    for (const int signal : kStopSignals) {
        if (sigismember(&watched_, signal) == 1 && sigismember(&pending, signal) == 1) {
            return true;
        }
    }
    return false;
}

void StopSignals::Release() {
    if (!active_) {
        return;
    }
    active_ = false;
    fd_.reset();
    (void)sigaction(SIGPIPE, &previousPipe_, nullptr);
    sigset_t pending;
    sigemptyset(&pending);
    int arrived = 0;
    if (sigpending(&pending) == 0) {
        for (const int signal : kStopSignals) {
            if (sigismember(&watched_, signal) == 1 && sigismember(&pending, signal) == 1) {
                arrived = signal;
                break;
            }
        }
    }
    if (arrived != 0) {
        // Nothing caught it, so its action is the default one; say so once more in case a
        // library changed it, then let it through.
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        (void)sigaction(arrived, &standard, nullptr);
    }
    (void)pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
    if (arrived != 0) {
        // Delivered on unblocking; raise covers a mask that still held it.
        (void)raise(arrived);
    }
}

}  // namespace tallix
