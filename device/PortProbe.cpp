#include "device/PortProbe.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

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
                report.error = link->openError();
                report.outcome = report.error.failure == PortFailure::InUse || PortIsHeld(port.path)
                                     ? PortOutcome::Busy
                                     : PortOutcome::CannotOpen;
                if (report.outcome == PortOutcome::Busy) {
                    report.holder = PortHolder(port.path);
                }
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
