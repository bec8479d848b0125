#pragma once

// How the controller runs the printer part of an action. The window runs it on a worker
// thread, shows its progress, lets the user cancel it and calls done on the main thread when
// it is over; tests run it in place.

#include <functional>
#include <string>

#include "device/PrinterDetection.h"
#include "setup/PrinterActions.h"

namespace tallix {

class ActionRunner {
  public:
    // Work reports its progress and sees the cancel flag through the control it is given.
    using Work = std::function<PrinterOutcome(const DetectionControl& control)>;
    using Done = std::function<void(const PrinterOutcome&)>;

    virtual ~ActionRunner() = default;
    // busyText says what the printer is doing, for the window to show while work runs. work
    // must not touch the window; done is called on the caller's thread with work's outcome.
    virtual void run(const std::string& busyText, Work work, Done done) = 0;
};

// Runs the work on the calling thread and calls done at once.
class ImmediateRunner : public ActionRunner {
  public:
    void run(const std::string& /*busyText*/, Work work, Done done) override {
        done(work(DetectionControl{}));
    }
};

}  // namespace tallix
