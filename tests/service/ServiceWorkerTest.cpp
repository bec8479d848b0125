// One printer's worker in this process, on a recording device and on the virtual printer: it
// holds the port for a whole queue and for no longer, and opens it afresh after trouble. A job
// refused part-way holds the queue until it is retried or released, also across a restart.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/VX37RO.h"
#include "service/Api.h"
#include "service/JobStore.h"
#include "service/PrinterWorker.h"
#include "service/ResultLines.h"
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

// A receipt of one sale of item name, paid in cash.
std::string Receipt(const std::string& name) {
    return Sale(name) + "53;;;0;1.00\r\n";
}

class ServiceWorker : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        store = JobStore::Open(dir.file("state"), error);
        ASSERT_TRUE(store) << error;
    }
    // Accepts a job of body (by default one sale with the key as the item's name); its id.
    std::string Queue(const std::string& key, const std::string& body = {}) {
        JobRecord job;
        const std::string bytes = body.empty() ? Sale(key) : body;
        EXPECT_EQ(
            store->Accept("till-1", key, JobStore::BodyHash(bytes, "windows-1250"), bytes, job),
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
    // The worker has settled with job id holding its queue: it said so and sleeps.
    bool HeldBy(const std::string& id) {
        const PrinterStatus status = worker->status();
        return store->Find(id)->holdsQueue && status.state == PrinterState::Waiting &&
               status.lastError == HoldReason(id);
    }
    // The worker stopped and a new one started on a store opened afresh on the same folder,
    // as after a restart of the service.
    void Restart(DeviceFactory factory) {
        worker.reset();
        store.reset();
        std::string error;
        store = JobStore::Open(dir.file("state"), error);
        ASSERT_TRUE(store) << error;
        Start(Entry("/dev/printer", "AB12345678"), std::move(factory));
    }
    // A request to the service's API over this test's workers (as if on the Unix socket).
    HttpResponse Call(const std::string& method, const std::string& target) {
        Api api({}, *store, {{"till-1", worker.get()}}, "test");
        HttpRequest request;
        request.method = method;
        request.target = target;
        request.headers = {{"host", "localhost"}};
        return api.Handle(request).response;
    }
    static std::string JobPath(const std::string& id) { return "/v1/printers/till-1/jobs/" + id; }

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

// Two customers at two tills: the first one's payment is refused (the printer's receipt stays
// open with her sale), the second one's job waits behind it rather than selling into her
// receipt. The retry, once the paper is in, ends her receipt; then the second one prints.
TEST_F(ServiceWorker, AJobRefusedPartWayHoldsTheQueueUntilItIsRetried) {
    script.refusing = {"Sell_Payment"};
    const std::string first = Queue("A", Receipt("A"));
    const std::string second = Queue("B");
    Start(Entry("/dev/printer", "AB12345678"), script.factory());
    ASSERT_TRUE(test::WaitFor([&] { return HeldBy(first); }));
    EXPECT_EQ(store->Find(first)->state, ServiceJobState::Done);
    EXPECT_TRUE(store->Find(first)->endedOnFailure);
    EXPECT_EQ(store->Find(second)->state, ServiceJobState::Queued);
    EXPECT_EQ(store->Find(second)->attempts, 0);
    using Calls = std::vector<std::string>;
    EXPECT_EQ(PortCalls(script.calls()), (Calls{"Open", "Oxel_GetSerial", "Sell A", "Close"}))
        << "the port is given back while the queue is held";
    EXPECT_EQ(script.created(), script.released());

    // What a till sees: the printer waiting with what to do, the job done holding the queue.
    const nlohmann::json printer = nlohmann::json::parse(Call("GET", "/v1/printers/till-1").body);
    EXPECT_EQ(printer["state"], "waiting");
    EXPECT_EQ(printer["jobsQueued"], 1);
    const std::string reason = printer["lastError"]["reason"];
    EXPECT_NE(reason.find("job " + first + " ended on a line the printer refused"),
              std::string::npos);
    EXPECT_NE(reason.find(first + "/retry"), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(Call("GET", JobPath(first)).body)["holdsQueue"], true);
    EXPECT_EQ(Call("DELETE", JobPath(second)).status, 204) << "a queued job can still go";
    const std::string third = Queue("C");
    worker->Wake();  // a job queued behind a hold wakes the worker, which sleeps again
    EXPECT_TRUE(test::WaitFor([&] { return HeldBy(first); }));

    // The worker sleeps: the script can change under it.
    script.refusing.clear();
    script.clearCalls();
    EXPECT_LT(Call("POST", JobPath(first) + "/retry").status, 300);
    ASSERT_TRUE(test::WaitFor([&] { return Idle(); }));
    const JobRecord retried = *store->Find(first);
    EXPECT_EQ(retried.state, ServiceJobState::Done);
    EXPECT_FALSE(retried.endedOnFailure);
    EXPECT_FALSE(retried.holdsQueue);
    EXPECT_EQ(retried.attempts, 2);
    EXPECT_EQ(store->Find(third)->exitCode, 0);
    const Calls calls = script.calls();
    const auto FirstCall = [&](const std::string& prefix) {
        return std::find_if(calls.begin(), calls.end(),
                            [&](const std::string& call) { return call.rfind(prefix, 0) == 0; }) -
               calls.begin();
    };
    ASSERT_LT(FirstCall("Sell_Payment("), FirstCall("Sell_SellItem(C"))
        << "C is sold after A is paid";
    EXPECT_LT(FirstCall("Sell_SellItem(C"), static_cast<std::ptrdiff_t>(calls.size()));
    EXPECT_FALSE(store->Holder("till-1"));
}

// The till's operator saw to the open receipt herself (or wants the queue to go on whatever
// comes of it): a DELETE on the held job lets the queue go on and keeps the job as it was.
TEST_F(ServiceWorker, AHeldQueueGoesOnOnceTheHoldingJobIsReleasedWhichStaysDone) {
    script.failing = {"Sell_Payment"};
    const std::string first = Queue("A", Receipt("A"));
    const std::string second = Queue("B");
    Start(Entry("/dev/printer", "AB12345678"), script.factory());
    ASSERT_TRUE(test::WaitFor([&] { return HeldBy(first); }));
    const std::string result = store->ReadResult(first);
    const std::optional<int> exitCode = store->Find(first)->exitCode;
    EXPECT_EQ(Call("POST", JobPath(second) + "/retry").status, 409);
    EXPECT_EQ(Call("DELETE", JobPath(first)).status, 204);
    ASSERT_TRUE(test::WaitFor([&] { return Idle(); }));
    EXPECT_EQ(store->Find(second)->exitCode, 0);
    const JobRecord released = *store->Find(first);
    EXPECT_EQ(released.state, ServiceJobState::Done);
    EXPECT_TRUE(released.endedOnFailure);
    EXPECT_FALSE(released.holdsQueue);
    EXPECT_EQ(released.exitCode, exitCode);
    EXPECT_EQ(store->ReadResult(first), result);
    EXPECT_EQ(Call("DELETE", JobPath(first)).status, 409) << "released once";
    EXPECT_EQ(Call("DELETE", JobPath(second)).status, 409) << "a done job that holds nothing";
    EXPECT_EQ(Call("POST", JobPath(first) + "/retry").status, 409)
        << "B ran since: a retry would sell A again";
    EXPECT_EQ(Call("GET", JobPath(first)).status, 200);
}

// A job refused on its first line left the printer as it was: the queue goes on.
TEST_F(ServiceWorker, AJobRefusedBeforeAnyLineRanHoldsNothing) {
    script.refusing = {"Sell_SellItem(A"};
    const std::string first = Queue("A", Receipt("A"));
    const std::string second = Queue("B");
    Start(Entry("/dev/printer", "AB12345678"), script.factory());
    ASSERT_TRUE(test::WaitFor([&] { return Idle(); }));
    const JobRecord refused = *store->Find(first);
    EXPECT_TRUE(refused.endedOnFailure);
    EXPECT_FALSE(refused.holdsQueue);
    EXPECT_EQ(ParseResultLines(store->ReadResult(first)).at(0).message, "Syntax error");
    EXPECT_EQ(store->Find(second)->exitCode, 0);
    EXPECT_EQ(Call("DELETE", JobPath(first)).status, 409);
}

// The service killed while a job holds the queue, or stopped and started again: the hold is
// on the disk, and the new worker waits for the same retry or release.
TEST_F(ServiceWorker, AHoldOutlivesARestartOfTheStoreAndTheWorker) {
    script.refusing = {"Sell_Payment"};
    const std::string first = Queue("A", Receipt("A"));
    const std::string second = Queue("B");
    Start(Entry("/dev/printer", "AB12345678"), script.factory());
    ASSERT_TRUE(test::WaitFor([&] { return HeldBy(first); }));

    script.clearCalls();
    Restart(script.factory());
    ASSERT_TRUE(test::WaitFor([&] { return HeldBy(first); }));
    EXPECT_EQ(store->Holder("till-1"), first);
    EXPECT_EQ(store->Find(second)->state, ServiceJobState::Queued);
    EXPECT_TRUE(script.calls().empty()) << "a held printer's port is not even opened";

    // Released, then restarted before the queue went on: the release is on the disk too.
    EXPECT_EQ(store->Release(first), JobStore::ReleaseResult::Released);
    Restart(script.factory());
    ASSERT_TRUE(test::WaitFor([&] { return Idle(); }));
    EXPECT_EQ(store->Find(second)->exitCode, 0);
    EXPECT_FALSE(store->Find(first)->holdsQueue);
    EXPECT_EQ(script.created(), script.released());
}

}  // namespace
}  // namespace tallix
