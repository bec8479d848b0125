#include "device/PortProbe.h"

#include <memory>

#include "device/SerialNumberText.h"
#include "protocol/CashRegManager.h"
#include "serial/LineSetup.h"

namespace tallix {

namespace {

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

// A reset and one wake-up exchange for the link's logical ID; true only for an answer to a
// request for this ID. A late printer's answer to the request for an earlier ID may arrive
// while this exchange waits, and it looks the same. An answer known to be given to the latest
// request is this ID's. Otherwise (an earlier request went unanswered, so the ordinals of the
// answers lag behind the requests) the ID is probed once more and needs a second, newer
// answer: the printer answers only its own ID, and an exchange that gets no answer in time
// writes a single request, so the earlier request the first answer may have belonged to was
// the only one left for another ID.
bool ProbeID(CashRegManager& link, WakeUpAnswer& answer) {
    if (!link.Reset() || !link.WakeUPExchange(answer)) {
        return false;
    }
    if (link.LastAnswerIsFresh()) {
        return true;
    }
    const int64_t first = link.lastAnswerOrdinal();
    return link.Reset() && link.WakeUPExchange(answer) && link.lastAnswerOrdinal() > first;
}

}  // namespace

PortReport ProbePort(const PortToProbe& port, const std::vector<ProbeStep>& plan,
                     const std::atomic<bool>* cancel, const std::function<void(int)>& stepsDone) {
    PortReport report;
    report.port = port;
    report.outcome = PortOutcome::NotFound;
    const auto tell = [&stepsDone](int steps) {
        if (stepsDone && steps > 0) {
            stepsDone(steps);
        }
    };

    std::unique_ptr<CashRegManager> link;
    int openSpeed = 0;
    std::size_t step = 0;
    for (; step < plan.size(); ++step) {
        if (Cancelled(cancel)) {
            report.outcome = PortOutcome::Cancelled;
            break;
        }
        const ProbeStep& probe = plan[step];
        if (!link || probe.speed != openSpeed) {
            link.reset();  // closes the line at the old speed
            link = std::make_unique<CashRegManager>();
            if (!link->Open(port.path, probe.speed)) {
                report.outcome =
                    PortIsHeld(port.path) ? PortOutcome::Busy : PortOutcome::CannotOpen;
                break;
            }
            openSpeed = probe.speed;
        }
        link->InitializeCR(probe.logicalID, nullptr, 0);
        WakeUpAnswer answer;
        const bool answered = ProbeID(*link, answer);
        tell(1);
        if (answered) {
            report.outcome = PortOutcome::Found;
            report.printer = DetectedPrinter{port.label, probe.speed, probe.logicalID,
                                             SerialNumberText(answer.serialNumber)};
            ++step;
            break;
        }
    }
    link.reset();
    tell(static_cast<int>(plan.size() - step));
    return report;
}

}  // namespace tallix
