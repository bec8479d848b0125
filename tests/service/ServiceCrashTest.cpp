// tallixd killed with SIGKILL at more than a hundred moments while it prints, each time started
// again on the same state: every accepted job ends done by itself and every command is
// executed exactly once. A printer that falls silent in the middle of a job: the job waits
// and is continued, not doubled, once the printer is back. A job that ended on a refused
// line holds the queue and is retried through the journal. These wait out the protocol's
// time-outs: label slow.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "tests/batch/TallixRun.h"
#include "tests/service/ServiceLoad.h"
#include "tests/service/ServiceProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempHome.h"
#include "tests/support/WaitFor.h"

namespace tallix {
namespace {

using Json = nlohmann::json;
using test::HttpAnswer;
using test::HttpClient;
using test::ServicePrinter;
using test::ServiceProcess;
using test::SimProcess;
using test::TempDir;
using test::WaitFor;
using Clock = std::chrono::steady_clock;

std::vector<std::pair<std::string, std::string>> KeyHeader(const std::string& key) {
    return {{"Idempotency-Key", key}};
}

Json View(const HttpAnswer& answer) {
    return Json::parse(answer.body, nullptr, false);
}

std::string BatchResult(const SimProcess& sim, const std::string& commands) {
    const TempDir files;
    const test::TempHome home;
    EXPECT_TRUE(TempDir::WriteFile(files.file("in.txt"), commands));
    EXPECT_EQ(
        test::RunTallix(test::NineOptions(files.file("in.txt"), files.file("out.txt"), sim.path()),
                        home.path())
            .exitCode,
        0);
    return TempDir::ReadFile(files.file("out.txt"));
}

TEST(ServiceCrash, EveryAcceptedJobEndsDoneAndEveryCommandRunsOnceWhereverTheServiceIsKilled) {
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    std::map<int, std::string> expected;
    for (int shape = 0; shape < 3; ++shape) {
        expected[shape] = BatchResult(sim, test::JobReceipt(900 + shape));
    }
    const std::size_t before = sim.executedCommands().size();
    const TempDir state;
    const std::vector<ServicePrinter> printers = {{"p0", sim.path(), "VX37000001"}};

    // One uninterrupted round of three jobs: the time that the kill moments are spread over.
    int next = 0;
    auto submit = [&](const HttpClient& client, int count) {
        for (int i = 0; i < count; ++i, ++next) {
            const HttpAnswer posted =
                client.Request("POST", "/v1/printers/p0/jobs",
                               KeyHeader("k" + std::to_string(next)), test::JobReceipt(next));
            EXPECT_EQ(posted.status, 202) << posted.body;
        }
    };
    auto allDone = [&](const HttpClient& client) {
        for (int job = 0; job < next; ++job) {
            const std::string id = View(client.Request("POST", "/v1/printers/p0/jobs",
                                                       KeyHeader("k" + std::to_string(job)),
                                                       test::JobReceipt(job)))["id"];
            if (View(client.Request("GET", "/v1/printers/p0/jobs/" + id))["state"] != "done") {
                return false;
            }
        }
        return true;
    };
    Clock::duration round{};
    {
        ServiceProcess service(state.path(), printers);
        ASSERT_TRUE(service.ready());
        const auto start = Clock::now();
        submit(service.Unix(), 3);
        ASSERT_TRUE(WaitFor([&] { return allDone(service.Unix()); }, std::chrono::seconds(60)));
        round = Clock::now() - start;
    }

    // Each round: two jobs accepted, the service killed at a moment of their run, started
    // again, and every job accepted so far must end done by itself.
    constexpr int kKillPoints = 104;
    for (int point = 0; point < kKillPoints; ++point) {
        SCOPED_TRACE("kill point " + std::to_string(point));
        {
            ServiceProcess service(state.path(), printers);
            ASSERT_TRUE(service.ready());
            submit(service.Unix(), 2);
            const std::size_t executed = sim.executedCommands().size();
            if (point % 4 == 3) {
                // Right after the printer executed a command of this round.
                ASSERT_TRUE(WaitFor([&] { return sim.executedCommands().size() > executed; },
                                    std::chrono::seconds(60)));
            } else {
                // At a moment spread over the round (a wait for a condition that never holds).
                WaitFor([] { return false; }, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  round * (point % 26) / 39));
            }
            service.Kill();
        }
        ServiceProcess service(state.path(), printers);
        ASSERT_TRUE(service.ready());
        ASSERT_TRUE(WaitFor([&] { return allDone(service.Unix()); }, std::chrono::seconds(120)));
    }
    ServiceProcess service(state.path(), printers);
    ASSERT_TRUE(service.ready());
    const std::vector<std::string> all = sim.executedCommands();
    const std::vector<std::string> executed(all.begin() + static_cast<std::ptrdiff_t>(before),
                                            all.end());
    std::size_t commands = 0;
    for (int job = 0; job < next; ++job) {
        SCOPED_TRACE("job " + std::to_string(job));
        EXPECT_EQ(test::Occurrences(executed, test::JobSale(job)), 1u);
        commands += test::JobCommandCount(job);
        const std::string id = View(service.Unix().Request("POST", "/v1/printers/p0/jobs",
                                                           KeyHeader("k" + std::to_string(job)),
                                                           test::JobReceipt(job)))["id"];
        EXPECT_EQ(service.Unix().Request("GET", "/v1/printers/p0/jobs/" + id + "/result").body,
                  expected[job % 3]);
    }
    EXPECT_EQ(executed.size(), commands);
    std::printf("[ KILLS    ] %d kills, %d jobs, %zu commands each executed once\n", kKillPoints,
                next, commands);
}

TEST(ServiceCrash, AJobWaitsWhileThePrinterIsSilentAndContinuesWithoutDoublingALine) {
    // The printer answers no wake-up once it executed two commands.
    SimProcess sim({"--mute-after", "2"});
    ASSERT_TRUE(sim.ready());
    const TempDir state;
    ServiceProcess service(state.path(), {{"p0", sim.path(), "VX37000001"}});
    ASSERT_TRUE(service.ready());
    const HttpClient client = service.Unix();
    const std::string receipt = test::JobReceipt(2);  // four commands
    const HttpAnswer posted =
        client.Request("POST", "/v1/printers/p0/jobs", KeyHeader("w"), receipt);
    ASSERT_EQ(posted.status, 202);
    ASSERT_TRUE(WaitFor(
        [&] {
            return View(client.Request("GET", posted.header("location")))["state"] == "waiting";
        },
        std::chrono::seconds(240)));
    EXPECT_EQ(View(client.Request("GET", "/v1/printers/p0"))["state"], "waiting");
    // A second job waits behind it: nothing may print into its open receipt.
    const HttpAnswer second =
        client.Request("POST", "/v1/printers/p0/jobs", KeyHeader("w2"), test::JobReceipt(3));
    ASSERT_EQ(second.status, 202);
    ::kill(sim.pid(), SIGUSR1);  // the printer is back
    ASSERT_TRUE(WaitFor(
        [&] { return View(client.Request("GET", second.header("location")))["state"] == "done"; },
        std::chrono::seconds(240)));
    const Json job = View(client.Request("GET", posted.header("location")));
    EXPECT_EQ(job["state"], "done");
    EXPECT_EQ(job["exitCode"], 0);
    const std::vector<std::string> executed = sim.executedCommands();
    EXPECT_EQ(executed.size(), 4u + 2u);
    EXPECT_EQ(test::Occurrences(executed, test::JobSale(2)), 1u);
    EXPECT_EQ(client.Request("GET", posted.header("location") + "/result").body,
              BatchResult(sim, receipt));
}

TEST(ServiceCrash, AJobThatEndedOnARefusedLineIsRetriedFromThatLine) {
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    const TempDir state;
    ServiceProcess service(state.path(), {{"p0", sim.path(), "VX37000001"}});
    ASSERT_TRUE(service.ready());
    const HttpClient client = service.Unix();
    // The card may not pay more than the rest: the printer refuses the payment.
    const std::string receipt = "49;ART;0;1;1.50;1;0;0\n53;;;1;9.00\n";
    const HttpAnswer posted =
        client.Request("POST", "/v1/printers/p0/jobs?wait=60", KeyHeader("r"), receipt);
    ASSERT_EQ(posted.status, 200) << posted.body;
    Json job = View(posted);
    EXPECT_EQ(job["endedOnFailure"], true);
    EXPECT_EQ(job["lines"][1]["messageNumber"], 1);
    EXPECT_EQ(client.Request("POST", posted.header("location") + "/retry?wait=60").status, 200);
    job = View(client.Request("GET", posted.header("location")));
    EXPECT_EQ(job["state"], "done");
    EXPECT_EQ(job["attempts"], 2);
    EXPECT_EQ(job["lines"][0]["message"], "No error");
    EXPECT_EQ(test::Occurrences(sim.executedCommands(), "L;;ART;1.50;1.000;1;1;1;0;0;"), 1u)
        << "the sale is not sent again";
    // Refused again: the receipt is still open and the job holds the printer's queue, until a
    // client that has seen to it releases the printer.
    EXPECT_EQ(job["holdsQueue"], true);
    EXPECT_EQ(View(client.Request("GET", "/v1/printers/p0"))["state"], "waiting");
    const HttpAnswer done =
        client.Request("POST", "/v1/printers/p0/jobs", KeyHeader("ok"), "53;;;0;5.00\n");
    EXPECT_EQ(done.status, 202);
    EXPECT_EQ(test::JobState(client.Request("GET", done.header("location"))), "queued");
    EXPECT_EQ(client.Request("DELETE", posted.header("location")).status, 204);
    EXPECT_EQ(client.Request("GET", done.header("location") + "?wait=60").status, 200);
    EXPECT_EQ(View(client.Request("GET", posted.header("location")))["state"], "done");
    EXPECT_EQ(client.Request("POST", done.header("location") + "/retry").status, 409);
    EXPECT_EQ(client.Request("POST", posted.header("location") + "/retry").status, 409);
}

}  // namespace
}  // namespace tallix
