#include "device/PortProbe.h"

#include <memory>
#include <optional>
#include <vector>

#include "device/SerialNumberText.h"
#include "protocol/CashRegManager.h"
#include "serial/LineSetup.h"

namespace tallix {

namespace {

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

// A reset and one wake-up exchange for the link's logical ID. An answer that arrives may be
// a late printer's answer to a request for an earlier ID, or to one written at an earlier
// speed before the port was opened again: it looks the same. So it is only a lead, and each
// ID probed at this speed so far (this one first) is woken once more after the line has been
// silent for longer than the slowest answer seen: nothing earlier is owed then, and an answer
// is the ID's own, at this speed. Returns the ID confirmed. A port where nothing answers costs
// no more than the single exchange.
std::optional<int> ProbeID(CashRegManager& link, const std::vector<int>& probedHere,
                           WakeUpAnswer& answer) {
    if (!link.Reset() || !link.WakeUPExchange(answer)) {
        return std::nullopt;
    }
    for (auto id = probedHere.rbegin(); id != probedHere.rend(); ++id) {
        link.InitializeCR(*id, nullptr, 0);
        if (link.ConfirmAnswer(answer)) {
            return *id;
        }
    }
    return std::nullopt;
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
    std::vector<int> probedHere;  // IDs probed at openSpeed, in order
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
            probedHere.clear();
        }
        link->InitializeCR(probe.logicalID, nullptr, 0);
        probedHere.push_back(probe.logicalID);
        WakeUpAnswer answer;
        const std::optional<int> found = ProbeID(*link, probedHere, answer);
        tell(1);
        if (found) {
            report.outcome = PortOutcome::Found;
            report.printer = DetectedPrinter{port.label, probe.speed, *found,
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
