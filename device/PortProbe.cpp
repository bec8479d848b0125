#include "device/PortProbe.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <utility>
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
    for (std::size_t i = ids.size(); i-- > 0;) {
        link.InitializeCR(ids[i], nullptr, 0);
        if (link.ConfirmAnswer(answer)) {
            return ids[i];
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

namespace {

// The line of one port as a plan walks its speeds: one link open at a time, the IDs probed at
// its speed and at the speed before, and the slowest answer any of its links saw.
class PortLine {
  public:
    struct Found {
        int id = 0;
        int speed = 0;
    };

    explicit PortLine(std::string path) : path_(std::move(path)) {}

    // The link at speed: the open one when it has that speed, else a new one (the IDs probed
    // so far become the speed before's). False, with the reason, when the port cannot be
    // opened.
    bool openAt(int speed, PortError& error) {
        if (link_ && speed == openSpeed_) {
            return true;
        }
        replaceLink();
        if (!link_->Open(path_, speed)) {
            error = link_->openError();
            return false;
        }
        previousSpeed_ = openSpeed_;
        previousIDs_ = probedHere_;
        openSpeed_ = speed;
        probedHere_.clear();
        return true;
    }

    // Probes logicalID at the open speed; the ID confirmed, and the speed it answered at.
    std::optional<Found> probe(int logicalID, WakeUpAnswer& answer) {
        link_->InitializeCR(logicalID, nullptr, 0);
        probedHere_.push_back(logicalID);
        const Probed probed = ProbeID(*link_, probedHere_, answer);
        if (probed.id) {
            return Found{*probed.id, openSpeed_};
        }
        if (!probed.answered || previousSpeed_ == 0 || previousIDs_.empty()) {
            return std::nullopt;
        }
        // An answer no ID at this speed owns may be owed to a request written at the speed
        // before, which came back too late for its exchange: ask there again.
        replaceLink();
        std::optional<Found> found;
        if (link_->Open(path_, previousSpeed_)) {
            const std::optional<int> id = ConfirmOne(*link_, previousIDs_, answer);
            if (id) {
                found = Found{*id, previousSpeed_};
            }
        }
        link_.reset();  // the next step opens its own speed again
        return found;
    }

    void close() { link_.reset(); }

  private:
    // Closes the line at the old speed and makes a link that knows the slowest answer so far.
    void replaceLink() {
        slowest_ = link_ ? std::max(slowest_, link_->slowestAnswer()) : slowest_;
        link_.reset();
        link_ = std::make_unique<CashRegManager>();
        link_->knowSlowest(slowest_);
    }

    std::string path_;
    std::unique_ptr<CashRegManager> link_;
    int openSpeed_ = 0;
    std::vector<int> probedHere_;  // IDs probed at openSpeed_, in order
    double slowest_ = 0;           // the slowest answer any link on this port saw
    int previousSpeed_ = 0;        // the speed probed before openSpeed_, and its IDs
    std::vector<int> previousIDs_;
};

// The outcome of a port that could not be opened: busy (with its holder when known) or not.
void NoteOpenFailure(const PortToProbe& port, PortReport& report) {
    report.outcome = report.error.failure == PortFailure::InUse || PortIsHeld(port.path)
                         ? PortOutcome::Busy
                         : PortOutcome::CannotOpen;
    if (report.outcome == PortOutcome::Busy) {
        report.holder = PortHolder(port.path);
    }
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

    PortLine line(port.path);
    std::size_t step = 0;
    for (; step < plan.size(); ++step) {
        if (Cancelled(cancel)) {
            report.outcome = PortOutcome::Cancelled;
            break;
        }
        const ProbeStep& probe = plan[step];
        if (!line.openAt(probe.speed, report.error)) {
            NoteOpenFailure(port, report);
            break;
        }
        WakeUpAnswer answer;
        const std::optional<PortLine::Found> found = line.probe(probe.logicalID, answer);
        tell(1);
        if (found) {
            report.outcome = PortOutcome::Found;
            report.printer = DetectedPrinter{port.label, found->speed, found->id,
                                             SerialNumberText(answer.serialNumber)};
            ++step;
            break;
        }
    }
    line.close();
    tell(static_cast<int>(plan.size() - step));
    return report;
}

}  // namespace tallix
