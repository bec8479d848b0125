// One printer's worker in this process, on a recording device and on the virtual printer: it
// holds the port for a whole queue and for no longer, and opens it afresh after trouble.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/VX37RO.h"
#include "service/JobStore.h"
#include "service/PrinterWorker.h"
#include "tests/batch/TallixRun.h"
#include "tests/support/RecordingDevice.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"
#include "tests/support/WaitFor.h"

namespace tallix {
namespace {

using test::DeviceScript;
using test::TempDir;

const std::string kOpen = "Open(/dev/printer, 9600)";

DeviceEntry Entry(const std::string& path, const std::string& serialNumber) {
    return {"VX-37", "RO", "till-1", serialNumber, path, "9600", "1"};
}

// A sale of one item named name.
std::string Sale(const std::string& name) {
    return "49;" + name + ";0;1;1.00;1;0;0\r\n";
}

// The calls that show the port and the printer's work: opens, closes, serial number reads
// and sales, shortened to their names and the item.
std::vector<std::string> PortCalls(const std::vector<std::string>& calls) {
    std::vector<std::string> kept;
    for (const std::string& call : calls) {
        if (call.rfind("Sell_SellItem(", 0) == 0) {
            kept.push_back("Sell " + call.substr(14, call.find(',') - 14));
        } else if (call == kOpen || call == "Close()" || call == "Oxel_GetSerial()" ||
                   call == "released while open") {
            kept.push_back(call.substr(0, call.find('(')));
        }
    }
    return kept;
}

class ServiceWorker : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        store = JobStore::Open(dir.file("state"), error);
        ASSERT_TRUE(store) << error;
    }
    // Accepts a job with its key as the body's item name; its id.
    std::string Queue(const std::string& key) {
        JobRecord job;
        const std::string body = Sale(key);
        EXPECT_EQ(store->Accept("till-1", key, JobStore::BodyHash(body, "windows-1250"), body, job),
                  Acceptance::Created);
        return job.id;
    }
    // Starts the worker; onChange runs on the worker's thread at every job change.
    void Start(const DeviceEntry& entry, DeviceFactory factory,
               const std::function<void(const JobRecord&)>& onChange = {}) {
        worker = std::make_unique<PrinterWorker>(
            entry, *store, std::move(factory),
            [this, onChange](const std::string& id) {
                if (onChange) {
                    onChange(*store->Find(id));
                }
            },
            RetryPauses{std::chrono::milliseconds(1), std::chrono::milliseconds(2)});
        worker->Wake();
    }
    bool AllDone() { return store->Pending("till-1") == 0; }
    bool Idle() { return AllDone() && worker->status().state == PrinterState::Idle; }

    TempDir dir;
    std::unique_ptr<JobStore> store;
    DeviceScript script;
    std::unique_ptr<PrinterWorker> worker;
};

TEST_F(ServiceWorker, AQueueRunsOnOnePortOpeningAndANewQueueOpensItAgain) {
    const std::string first = Queue("A");
    Queue("B");
    Queue("C");
    Start(Entry("/dev/printer", "AB12345678"), script.factory());
    ASSERT_TRUE(test::WaitFor([&] { return Idle(); }));
    // Each job reads the serial number before it sells, on the port that stays open.
    using Calls = std::vector<std::string>;
    EXPECT_EQ(PortCalls(script.calls()),
              (Calls{"Open", "Oxel_GetSerial", "Sell A", "Oxel_GetSerial", "Sell B",
                     "Oxel_GetSerial", "Sell C", "Close"}));
    EXPECT_EQ(store->Find(first)->exitCode, 0);

    // The queue ran dry and the port was given back; the next job takes it again.
    script.clearCalls();
    Queue("D");
    worker->Wake();
    ASSERT_TRUE(test::WaitFor([&] { return Idle() && !script.calls().empty(); }));
    EXPECT_EQ(PortCalls(script.calls()), (Calls{"Open", "Oxel_GetSerial", "Sell D", "Close"}));
    worker->Stop();
    EXPECT_EQ(script.created(), script.released());
}

TEST_F(ServiceWorker, APrinterThatDoesNotAnswerOrSwappedOnTheOpenPortIsOpenedAfreshAtTheRetry) {
    // The first attempt finds no printer; the script is changed on the worker's thread, when
    // the job is taken again, so the device reads it on the same thread.
    script.failing = {"Oxel_GetSerial"};
    const std::string silent = Queue("A");
    Queue("B");
    Start(Entry("/dev/printer", "AB12345678"), script.factory(), [&](const JobRecord& job) {
        if (job.id == silent && job.state == ServiceJobState::Running && job.attempts == 2) {
            script.failing.clear();
        }
        if (job.id != silent && job.state == ServiceJobState::Running && job.attempts == 1) {
            script.serial = "ZZ00000000";  // another printer on the same open port
        }
        if (job.id != silent && job.state == ServiceJobState::Running && job.attempts == 2) {
            script.serial = "AB12345678";
        }
    });
    ASSERT_TRUE(test::WaitFor([&] { return Idle(); }));
    using Calls = std::vector<std::string>;
    EXPECT_EQ(PortCalls(script.calls()),
              (Calls{"Open", "Oxel_GetSerial", "Close",               // no answer
                     "Open", "Oxel_GetSerial", "Sell A",              // A prints
                     "Oxel_GetSerial", "Close",                       // another printer
                     "Open", "Oxel_GetSerial", "Sell B", "Close"}));  // B prints
    EXPECT_EQ(store->Find(silent)->attempts, 2);
    EXPECT_NE(worker->status().lastError.find("ZZ00000000"), std::string::npos);
}

TEST_F(ServiceWorker, APortThatCannotBeOpenedKeepsTheJobQueuedWithThePortsReason) {
    script.failing = {"Open("};
    const std::string id = Queue("A");
    Start(Entry("/dev/printer", "AB12345678"), script.factory());
    ASSERT_TRUE(test::WaitFor([&] {
        const std::vector<std::string> calls = script.calls();
        return std::count(calls.begin(), calls.end(), kOpen) >= 2;
    }));
    worker->Stop();
    EXPECT_EQ(worker->status().state, PrinterState::Offline);
    EXPECT_EQ(worker->status().lastError, script.openFailure.describe());
    EXPECT_EQ(store->Find(id)->state, ServiceJobState::Queued);
    for (const std::string& call : script.calls()) {
        EXPECT_EQ(call, kOpen) << "nothing but attempts to open";
    }
    EXPECT_EQ(script.created(), script.released());
}

TEST_F(ServiceWorker, APrinterThatFellSilentMidJobIsAskedOnTheOpenPortThenOpenedAfresh) {
    // Calls 1 to 6 of the first attempt: open, logical ID, serial number, sale A, sale B (no
    // answer), and the wake-up that asks whether the printer is still there (none either).
    script.failing = {"Sell_SellItem(B"};
    script.failAtCall = 6;
    JobRecord job;
    const std::string body = Sale("A") + Sale("B");
    ASSERT_EQ(store->Accept("till-1", "two", JobStore::BodyHash(body, "windows-1250"), body, job),
              Acceptance::Created);
    Queue("C");
    bool waited = false;
    Start(Entry("/dev/printer", "AB12345678"), script.factory(), [&](const JobRecord& changed) {
        waited = waited || changed.state == ServiceJobState::Waiting;
        if (changed.id == job.id && changed.attempts == 2) {
            script.failing.clear();  // the printer is back: the waiting job is taken again
        }
    });
    ASSERT_TRUE(test::WaitFor([&] { return Idle(); }));
    worker->Stop();
    EXPECT_TRUE(waited);
    const std::vector<std::string> calls = PortCalls(script.calls());
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 7),
              (std::vector<std::string>{"Open", "Oxel_GetSerial", "Sell A", "Sell B",
                                        "Oxel_GetSerial", "Close", "Open"}));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Open"), 2);
    // What the retry sends again is the journal's decision (a recording device shows it no
    // counter); the port's part is that B is sold on the fresh port.
    EXPECT_EQ(std::count(calls.begin() + 7, calls.end(), "Sell B"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Sell C"), 1);
    EXPECT_EQ(calls.back(), "Close");
    EXPECT_EQ(store->Find(job.id)->state, ServiceJobState::Done);
    EXPECT_EQ(script.created(), script.released());
}

// A batch run started between two jobs of a queue finds the port held (exit 10) and prints
// nothing; one started when the last job is reported done has the printer. The batch runs are
// started on the worker's thread at the moment each job is recorded done, so the moment is
// the same in every run of the test.
TEST_F(ServiceWorker, ABatchRunBetweenTwoQueuedJobsFindsThePortBusyAndAfterTheLastOnePrints) {
    const test::SimProcess sim;
    ASSERT_TRUE(sim.ready());
    const TempDir files;
    const test::TempHome home;
    ASSERT_TRUE(TempDir::WriteFile(files.file("in.txt"), Sale("BATCH")));
    const std::string first = Queue("FIRST");
    const std::string second = Queue("SECOND");
    std::vector<int> batchExits;  // written on the worker's thread, read after it stopped
    Start(Entry(sim.path(), "VX37000001"), VX37ROFactory(), [&](const JobRecord& job) {
        if (job.state == ServiceJobState::Done) {
            batchExits.push_back(
                test::RunTallix(
                    test::NineOptions(files.file("in.txt"), files.file("out.txt"), sim.path()),
                    home.path())
                    .exitCode);
        }
    });
    ASSERT_TRUE(test::WaitFor([&] { return AllDone(); }, std::chrono::seconds(60)));
    worker->Stop();
    EXPECT_EQ(batchExits, (std::vector<int>{10, 0}));
    EXPECT_EQ(store->Find(first)->exitCode, 0);
    EXPECT_EQ(store->Find(second)->exitCode, 0);
    const std::vector<std::string> executed = sim.executedCommands();
    ASSERT_EQ(executed.size(), 3u);
    EXPECT_NE(executed[0].find("FIRST"), std::string::npos);
    EXPECT_NE(executed[1].find("SECOND"), std::string::npos);
    EXPECT_NE(executed[2].find("BATCH"), std::string::npos);
}

}  // namespace
}  // namespace tallix
