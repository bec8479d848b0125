// Finding printers: the order of the probes, which ports texts name, and probing several
// virtual printers at once.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "device/PrinterDetection.h"
#include "protocol/CashRegManager.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::SimProcess;
using test::TempDir;

TEST(DetectionPlan, UsualIDsAtEverySpeedComeBeforeTheOthers) {
    EXPECT_EQ(DetectionLogicalIDs({}, false), (std::vector<int>{1, 0}));
    EXPECT_EQ(DetectionLogicalIDs({7}, false), (std::vector<int>{7, 1, 0}));
    // Out of range or already there: not tried again.
    EXPECT_EQ(DetectionLogicalIDs({0, 100, -1, 0}, false), (std::vector<int>{0, 1}));
    const std::vector<int> all = DetectionLogicalIDs({42}, true);
    ASSERT_EQ(all.size(), 100U);
    EXPECT_EQ((std::vector<int>(all.begin(), all.begin() + 5)), (std::vector<int>{42, 1, 0, 2, 3}));
    EXPECT_EQ(all.back(), 99);

    const std::vector<ProbeStep> quick = DetectionPlan({7}, false);
    ASSERT_EQ(quick.size(), 15U);
    EXPECT_EQ(quick[0], (ProbeStep{9600, 7}));
    EXPECT_EQ(quick[2], (ProbeStep{9600, 0}));
    EXPECT_EQ(quick[3], (ProbeStep{19200, 7}));
    EXPECT_EQ(quick[14], (ProbeStep{115200, 0}));

    const std::vector<ProbeStep> full = DetectionPlan({}, true);
    ASSERT_EQ(full.size(), 500U);
    EXPECT_EQ(full[9], (ProbeStep{115200, 0}));  // every speed with 1 and 0 first
    EXPECT_EQ(full[10], (ProbeStep{9600, 2}));
    EXPECT_EQ(full[10 + 98], (ProbeStep{19200, 2}));
    EXPECT_EQ(full.back(), (ProbeStep{115200, 99}));
}

TEST(ResolvePorts, NamesPathsAndLinks) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("by-id").c_str(), 0755), 0);
    for (const char* node : {"ttyUSB0", "ttyUSB1", "ttyS0", "pts7"}) {
        ASSERT_TRUE(TempDir::WriteFile(dir.file(node), ""));
    }
    const std::string link = dir.file("by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");
    ASSERT_EQ(symlink(dir.file("ttyUSB0").c_str(), link.c_str()), 0);
    const std::vector<PortIdentity> listed = {
        {"ttyS0", dir.file("ttyS0"), "", "", "", "", ""},
        {"ttyUSB0", dir.file("ttyUSB0"), link, "FTDI", "FT232R", "A1B2C3", "ftdi_sio"},
        {"ttyUSB1", dir.file("ttyUSB1"), "", "", "", "", ""},
    };
    const PortToProbe s0{dir.file("ttyS0"), dir.file("ttyS0")};
    const PortToProbe usb0{link, dir.file("ttyUSB0")};
    const PortToProbe usb1{dir.file("ttyUSB1"), dir.file("ttyUSB1")};

    ResolvedPorts every = ResolvePorts({}, listed);
    EXPECT_EQ(every.ports, (std::vector<PortToProbe>{s0, usb0, usb1}));
    EXPECT_TRUE(every.unknown.empty());

    // A name selects the ports it begins; the node and the link name the same port as the
    // name did, so it is probed once, reported by its link.
    ResolvedPorts some = ResolvePorts({"ttyUSB", dir.file("ttyUSB0"), link, "ttyACM0", ""}, listed);
    EXPECT_EQ(some.ports, (std::vector<PortToProbe>{usb0, usb1}));
    EXPECT_EQ(some.unknown, (std::vector<std::string>{"ttyACM0", ""}));

    // A path that no listed port has (a pseudo-terminal) is probed as given.
    ResolvedPorts other = ResolvePorts({dir.file("pts7"), "ttyS0"}, listed);
    EXPECT_EQ(other.ports, (std::vector<PortToProbe>{{dir.file("pts7"), dir.file("pts7")}, s0}));
}

PortToProbe AsGiven(const std::string& path) {
    return {path, path};
}

TEST(DetectPrinters, FindsEachPrinterAtItsSpeedAndIDAndTellsWhatElseHappened) {
    SimProcess usual({"--serial", "SN-USUAL"});  // 9600, ID 1
    SimProcess fast({"--serial", "SN-FAST", "--baud", "57600", "--logical-id", "3"});
    SimProcess held({"--serial", "SN-HELD"});
    ASSERT_TRUE(usual.ready() && fast.ready() && held.ready());
    CashRegManager otherRun;  // another run has this printer's port open
    ASSERT_TRUE(otherRun.Open(held.path(), 9600));
    TempDir dir;

    std::mutex lock;
    std::vector<std::pair<int, int>> progress;
    DetectionControl control;
    control.progress = [&](int done, int total) {
        const std::lock_guard<std::mutex> guard(lock);
        progress.emplace_back(done, total);
    };
    const std::vector<PortToProbe> ports = {AsGiven(fast.path()), AsGiven(held.path()),
                                            AsGiven(dir.file("missing")), AsGiven(usual.path())};
    const std::vector<PortReport> reports =
        DetectPrinters(ports, DetectionPlan({3}, false), control);

    ASSERT_EQ(reports.size(), 4U);
    EXPECT_EQ(reports[0].outcome, PortOutcome::Found);
    EXPECT_EQ(reports[0].printer, (DetectedPrinter{fast.path(), 57600, 3, "SN-FAST"}));
    EXPECT_EQ(reports[1].outcome, PortOutcome::Busy);
    EXPECT_EQ(reports[2].outcome, PortOutcome::CannotOpen);
    EXPECT_EQ(reports[3].outcome, PortOutcome::Found);
    EXPECT_EQ(reports[3].printer, (DetectedPrinter{usual.path(), 9600, 1, "SN-USUAL"}));
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].port, ports[i]);
    }

    // Ports that ended early count their remaining steps as done.
    ASSERT_FALSE(progress.empty());
    for (std::size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GT(progress[i].first, progress[i - 1].first);
    }
    EXPECT_EQ(progress.back(), std::make_pair(4 * 15, 4 * 15));

    // Probing sent no command frame: nothing was executed, and the held port saw nothing.
    EXPECT_TRUE(fast.executedCommands().empty());
    EXPECT_TRUE(usual.executedCommands().empty());
    for (const auto& entry : held.journalLines()) {
        EXPECT_EQ(entry.kind(), "start");
    }
    // At the right speed the fast printer heard a reset and one wake-up for each ID tried, and
    // one more for the ID found, on a quiet line, before it was named.
    int wakeUps = 0;
    for (const auto& entry : fast.journalLines()) {
        EXPECT_NE(entry.kind(), "frame");
        wakeUps += entry.kind() == "wakeup" ? 1 : 0;
    }
    EXPECT_EQ(wakeUps, 2);  // ID 3 is tried first
}

// A printer that answers after the wake-up has stopped waiting for the LF: its answer to ID 7
// arrives while ID 1 is probed. It is not taken for ID 1's (nor for any other ID's) answer.
TEST(DetectPrinters, ALateAnswerIsNeverCreditedToTheNextID) {
    SimProcess late({"--serial", "SN-LATE", "--logical-id", "7", "--delay-ms", "300"});
    ASSERT_TRUE(late.ready());
    const std::vector<PortReport> reports =
        DetectPrinters({AsGiven(late.path())}, DetectionPlan({7}, false));
    ASSERT_EQ(reports.size(), 1U);
    // Too slow for the wake-up exchange: not found at all, rather than found under an ID
    // that is not its own. (A host slowed down enough to still wait when the answer comes
    // finds it under ID 7.)
    if (reports[0].outcome == PortOutcome::Found) {
        ASSERT_TRUE(reports[0].printer.has_value());
        EXPECT_EQ(reports[0].printer->logicalID, 7);
        EXPECT_EQ(reports[0].printer->speed, 9600);
    } else {
        EXPECT_EQ(reports[0].outcome, PortOutcome::NotFound);
        EXPECT_FALSE(reports[0].printer.has_value());
    }
    // The printer did answer ID 7 (late), so the answer was on the line during later probes.
    int answered = 0;
    for (const auto& entry : late.journalLines()) {
        answered += entry.kind() == "wakeup" && entry.flag("answered") ? 1 : 0;
    }
    EXPECT_GE(answered, 1);
}

TEST(DetectPrinters, CancelStopsEveryPortBeforeItsNextProbe) {
    SimProcess dead({"--mute"});
    ASSERT_TRUE(dead.ready());
    std::atomic<bool> cancel{false};
    int lastDone = 0;
    DetectionControl control;
    control.cancel = &cancel;
    control.progress = [&](int done, int /*total*/) {
        lastDone = done;
        cancel = true;  // after the first probe
    };
    const std::vector<PortReport> reports =
        DetectPrinters({AsGiven(dead.path())}, DetectionPlan({}, true), control);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].outcome, PortOutcome::Cancelled);
    EXPECT_EQ(lastDone, 500);
    int wakeUps = 0;
    for (const auto& entry : dead.journalLines()) {
        wakeUps += entry.kind() == "wakeup" ? 1 : 0;
    }
    EXPECT_EQ(wakeUps, 1);
}

}  // namespace
}  // namespace tallix
