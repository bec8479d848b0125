// Many tills on many printers, and tills whose connection is cut: 16 clients send 400 jobs to
// four printers, then 200 jobs are sent over connections cut at random points and sent again
// with the same key. Every command is executed exactly once and every job's result is the
// result file of a batch run of the same receipt.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "tests/batch/TallixRun.h"
#include "tests/service/ServiceLoad.h"
#include "tests/service/ServiceProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempHome.h"

namespace tallix {
namespace {

using Json = nlohmann::json;
using test::HttpAnswer;
using test::HttpClient;
using test::ServicePrinter;
using test::ServiceProcess;
using test::SimProcess;
using test::TempDir;
using Clock = std::chrono::steady_clock;

std::string SimSerial(int printer) {
    return "VX3700000" + std::to_string(printer + 1);
}

class ServiceLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int p = 0; p < 4; ++p) {
            sims.push_back(
                std::make_unique<SimProcess>(std::vector<std::string>{"--serial", SimSerial(p)}));
            ASSERT_TRUE(sims.back()->ready());
        }
        // The batch results of the three shapes, on the first printer before the service.
        const TempDir files;
        const test::TempHome home;
        for (int shape = 0; shape < 3; ++shape) {
            ASSERT_TRUE(TempDir::WriteFile(files.file("in.txt"), test::JobReceipt(1000 + shape)));
            std::vector<std::string> args =
                test::NineOptions(files.file("in.txt"), files.file("out.txt"), sims[0]->path());
            args[9] = SimSerial(0);  // -n
            ASSERT_EQ(test::RunTallix(args, home.path()).exitCode, 0);
            batchResult[(1000 + shape) % 3] = TempDir::ReadFile(files.file("out.txt"));
        }
        batchCommands = sims[0]->executedCommands().size();
        std::vector<ServicePrinter> printers;
        for (int p = 0; p < 4; ++p) {
            printers.push_back({"p" + std::to_string(p), sims[p]->path(), SimSerial(p)});
        }
        service = std::make_unique<ServiceProcess>(state.path(), printers);
        ASSERT_TRUE(service->ready());
    }

    static std::string Path(int job) {
        return "/v1/printers/p" + std::to_string(job % 4) + "/jobs";
    }
    static std::vector<std::pair<std::string, std::string>> Headers(int job) {
        return {{"Content-Type", "text/plain"}, {"Idempotency-Key", "job-" + std::to_string(job)}};
    }

    // Waits (through ?wait) until the job is done; its view.
    static Json WaitDone(const HttpClient& client, const std::string& location) {
        for (int i = 0; i < 10; ++i) {
            const HttpAnswer answer = client.Request("GET", location + "?wait=60");
            const Json job = Json::parse(answer.body, nullptr, false);
            if (job.is_object() && job["state"] == "done") {
                return job;
            }
        }
        return {};
    }

    // Every job's first sale exactly once on its printer, every job's commands counted.
    void ExpectEachCommandOnce(int jobs) {
        std::vector<std::vector<std::string>> executed;
        for (int p = 0; p < 4; ++p) {
            executed.push_back(sims[p]->executedCommands());
        }
        std::vector<std::size_t> expected(4, 0);
        expected[0] = batchCommands;
        for (int job = 0; job < jobs; ++job) {
            EXPECT_EQ(test::Occurrences(executed[job % 4], test::JobSale(job)), 1u) << job;
            expected[job % 4] += test::JobCommandCount(job);
        }
        for (int p = 0; p < 4; ++p) {
            EXPECT_EQ(executed[p].size(), expected[p]) << "printer " << p;
        }
    }

    std::vector<std::unique_ptr<SimProcess>> sims;
    std::map<int, std::string> batchResult;
    std::size_t batchCommands = 0;
    TempDir state;
    std::unique_ptr<ServiceProcess> service;
};

TEST_F(ServiceLoad, SixteenClientsFourPrintersFourHundredJobs) {
    constexpr int kClients = 16;
    constexpr int kJobs = 400;
    std::atomic<int> failures{0};
    const auto start = Clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            const HttpClient client = c % 2 == 0 ? service->Unix() : service->Tcp();
            for (int job = c; job < kJobs; job += kClients) {
                const HttpAnswer posted = client.Request("POST", Path(job) + "?wait=60",
                                                         Headers(job), test::JobReceipt(job));
                Json view = Json::parse(posted.body, nullptr, false);
                if (posted.status == 202) {
                    view = WaitDone(client, posted.header("location"));
                }
                const HttpAnswer result =
                    client.Request("GET", posted.header("location") + "/result");
                if (!view.is_object() || view["state"] != "done" || view["exitCode"] != 0 ||
                    result.body != batchResult[job % 3]) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("[ LOAD     ] %d jobs from %d clients on 4 printers in %.1f s\n", kJobs, kClients,
                seconds);
    EXPECT_EQ(failures, 0);
    ExpectEachCommandOnce(kJobs);
}

TEST_F(ServiceLoad, JobsWhoseConnectionIsCutAreSentAgainAndRunOnce) {
    constexpr int kJobs = 200;
    std::mt19937 random(20);
    const HttpClient client = service->Unix();
    std::map<std::string, int> cuts;
    std::vector<std::string> locations(kJobs);
    for (int job = 0; job < kJobs; ++job) {
        const std::string request =
            client.Format("POST", Path(job), Headers(job), test::JobReceipt(job));
        // Every other job is cut after the whole request, before its answer is read (the
        // job may or may not be stored); the others at a random byte of the request.
        const std::size_t cut = job % 2 == 0 ? request.size()
                                             : std::uniform_int_distribution<std::size_t>(
                                                   0, request.size() - 1)(random);
        client.SendCut(request, cut);
        ++cuts[cut == request.size() ? "after the whole request" : "inside the request"];
        const HttpAnswer again = client.Raw(request);
        ASSERT_TRUE(again.status == 202 || again.status == 200) << again.body;
        if (again.header("idempotent-replayed") == "true") {
            ++cuts["replayed"];
        }
        locations[job] = again.header("location");
    }
    for (int job = 0; job < kJobs; ++job) {
        const Json view = WaitDone(client, locations[job]);
        ASSERT_TRUE(view.is_object()) << job;
        EXPECT_EQ(view["exitCode"], 0);
        EXPECT_EQ(client.Request("GET", locations[job] + "/result").body, batchResult[job % 3]);
    }
    for (const auto& [what, count] : cuts) {
        std::printf("[ CUTS     ] %4d  %s\n", count, what.c_str());
    }
    ExpectEachCommandOnce(kJobs);
}

}  // namespace
}  // namespace tallix
