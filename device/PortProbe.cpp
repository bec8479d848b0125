#include "device/PortProbe.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
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
// is the ID's own, at this speed. A port where nothing answers costs no more than the single
// exchange.
struct Probed {
    bool answered = false;  // some answer came
    std::optional<int> id;  // the ID confirmed
};

// Each of ids, the last first, woken on a quiet line; the first that answers.
std::optional<int> ConfirmOne(CashRegManager& link, const std::vector<int>& ids,
                              WakeUpAnswer& answer) {
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        link.InitializeCR(*id, nullptr, 0);
        if (link.ConfirmAnswer(answer)) {
            return *id;
        }
    }
    return std::nullopt;
}

Probed ProbeID(CashRegManager& link, const std::vector<int>& probedHere, WakeUpAnswer& answer) {
    if (!link.Reset() || !link.WakeUPExchange(answer)) {
        return {};
    }
    return {true, ConfirmOne(link, probedHere, answer)};
}

// The process whose lock in /proc/locks is on the file with this device and inode; 0 for none.
long LockHolderPid(dev_t device, ino_t inode) {
    std::ifstream locks("/proc/locks");
    char wanted[64];
    (void)std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major(device), minor(device),
                        static_cast<unsigned long>(inode));
    std::string line;
    while (std::getline(locks, line)) {
        // "1: FLOCK  ADVISORY  WRITE 4242 00:05:123 0 EOF"; waiting locks carry "->".
        std::istringstream fields(line);
        std::string ordinal, kind, mode, access, where;
        long pid = 0;
        if (fields >> ordinal >> kind >> mode >> access >> pid >> where && kind != "->" &&
            where == wanted) {
            return pid;
        }
    }
    return 0;
}

}  // namespace

std::string PortHolder(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    const long pid = LockHolderPid(info.st_dev, info.st_ino);
    if (pid <= 0) {
        return {};
    }
    std::string name;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::getline(comm, name);
    if (name.empty()) {
        name = "a program";
    }
    return name + " (process " + std::to_string(pid) + ")";
}

std::string PortReport::reason() const {
    if (outcome == PortOutcome::Busy && !holder.empty()) {
        return "Port in use by " + holder;
    }
    if (outcome == PortOutcome::Busy || outcome == PortOutcome::CannotOpen) {
        return error.text();
    }
    return {};
}

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
    double slowest = 0;           // the slowest answer any link on this port saw
    int previousSpeed = 0;        // the speed probed before openSpeed, and its IDs
    std::vector<int> previousIDs;
    std::size_t step = 0;
    for (; step < plan.size(); ++step) {
        if (Cancelled(cancel)) {
            report.outcome = PortOutcome::Cancelled;
            break;
        }
        const ProbeStep& probe = plan[step];
        if (!link || probe.speed != openSpeed) {
            slowest = link ? std::max(slowest, link->slowestAnswer()) : slowest;
            link.reset();  // closes the line at the old speed
            link = std::make_unique<CashRegManager>();
            link->knowSlowest(slowest);
            if (!link->Open(port.path, probe.speed)) {
                report.error = link->openError();
                report.outcome = report.error.failure == PortFailure::InUse || PortIsHeld(port.path)
                                     ? PortOutcome::Busy
                                     : PortOutcome::CannotOpen;
                if (report.outcome == PortOutcome::Busy) {
                    report.holder = PortHolder(port.path);
                }
                break;
            }
            previousSpeed = openSpeed;
            previousIDs = probedHere;
            openSpeed = probe.speed;
            probedHere.clear();
        }
        link->InitializeCR(probe.logicalID, nullptr, 0);
        probedHere.push_back(probe.logicalID);
        WakeUpAnswer answer;
        const Probed probed = ProbeID(*link, probedHere, answer);
        std::optional<int> found = probed.id;
        int foundSpeed = probe.speed;
        if (!found && probed.answered && previousSpeed != 0 && !previousIDs.empty()) {
            // An answer no ID at this speed owns may be owed to a request written at the
            // speed before, which came back too late for its exchange: ask there again.
            slowest = std::max(slowest, link->slowestAnswer());
            link.reset();
            link = std::make_unique<CashRegManager>();
            link->knowSlowest(slowest);
            if (link->Open(port.path, previousSpeed)) {
                found = ConfirmOne(*link, previousIDs, answer);
                foundSpeed = previousSpeed;
            }
            link.reset();  // the next step opens its own speed again
        }
        tell(1);
        if (found) {
            report.outcome = PortOutcome::Found;
            report.printer = DetectedPrinter{port.label, foundSpeed, *found,
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
