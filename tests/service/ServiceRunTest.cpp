// tallixd as a process against tallix-sim: a job's result is the result file of a batch run
// of the same file on the same printer, keys replay their job, bad requests are refused with
// their status and leave nothing printed and nothing stored, another printer is never printed
// on.

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "tests/batch/TallixRun.h"
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

const std::string kReceipt =
    "49;PAINE;0;2;2.50;1;0;0\r\n"
    "49;LAPTE;0;1;6.20;2;0;0\r\n"
    "54;VA MULTUMIM;;;;\r\n"
    "53;;;0;20.00\r\n";

const std::vector<std::pair<std::string, std::string>> kPlain = {
    {"Content-Type", "text/plain; charset=windows-1250"}};

std::vector<std::pair<std::string, std::string>> WithKey(const std::string& key) {
    auto headers = kPlain;
    headers.emplace_back("Idempotency-Key", key);
    return headers;
}

// Job folders in the store (names of 32 hex digits).
std::size_t StoredJobs(const std::string& state) {
    std::size_t count = 0;
    if (DIR* dir = ::opendir((state + "/jobs").c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            count += std::string(entry->d_name).size() == 32 ? 1 : 0;
        }
        ::closedir(dir);
    }
    return count;
}

class ServiceRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ready());
        service = std::make_unique<ServiceProcess>(
            state.path(), std::vector<ServicePrinter>{{"till-1", sim.path(), "VX37000001"}});
        ASSERT_TRUE(service->ready()) << service->announced();
    }

    // The result file of a batch run of commands on the same printer.
    std::string BatchResult(const std::string& commands) {
        const TempDir files;
        const test::TempHome home;
        EXPECT_TRUE(TempDir::WriteFile(files.file("in.txt"), commands));
        const test::TallixOutcome outcome = test::RunTallix(
            test::NineOptions(files.file("in.txt"), files.file("out.txt"), sim.path()),
            home.path());
        EXPECT_EQ(outcome.exitCode, 0);
        return TempDir::ReadFile(files.file("out.txt"));
    }

    SimProcess sim;
    TempDir state;
    std::unique_ptr<ServiceProcess> service;
};

TEST_F(ServiceRun, AJobsResultIsTheBatchResultOfTheSameFileAndEachCommandRunsOnce) {
    const HttpAnswer posted = service->Unix().Request("POST", "/v1/printers/till-1/jobs?wait=60",
                                                      WithKey("sale-1"), kReceipt);
    ASSERT_EQ(posted.status, 200) << posted.body;
    const Json job = Json::parse(posted.body);
    EXPECT_EQ(job["state"], "done");
    EXPECT_EQ(job["exitCode"], 0);
    ASSERT_EQ(job["lines"].size(), 4u);
    EXPECT_EQ(job["lines"][3]["command"], 53);
    EXPECT_EQ(job["lines"][3]["message"], "No error");
    EXPECT_EQ(job["lines"][3]["extra"], "");
    EXPECT_EQ(posted.header("location"),
              "/v1/printers/till-1/jobs/" + job["id"].get<std::string>());
    const std::size_t executed = sim.executedCommands().size();
    EXPECT_EQ(executed, 4u);

    const HttpAnswer result = service->Tcp().Request("GET", posted.header("location") + "/result");
    ASSERT_EQ(result.status, 200);
    EXPECT_EQ(result.body, BatchResult(kReceipt));

    // The same key and body: the stored job, nothing printed again; another body: 422.
    const HttpAnswer again =
        service->Unix().Request("POST", "/v1/printers/till-1/jobs", WithKey("sale-1"), kReceipt);
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(again.header("idempotent-replayed"), "true");
    EXPECT_EQ(Json::parse(again.body)["id"], job["id"]);
    const HttpAnswer other = service->Unix().Request("POST", "/v1/printers/till-1/jobs",
                                                     WithKey("sale-1"), "49;X;0;1;1.00;1;0;0\n");
    EXPECT_EQ(other.status, 422);
    EXPECT_EQ(other.header("content-type"), "application/problem+json");
    EXPECT_EQ(sim.executedCommands().size(), executed + 4) << "only the batch run printed";
}

TEST_F(ServiceRun, AUtf8BodyPrintsAsItsWindows1250Bytes) {
    const std::string utf8 = "54;MULȚUMIM ĂÎ;;;;\n";  // comma-below letters become cedilla ones
    const HttpAnswer posted = service->Unix().Request(
        "POST", "/v1/printers/till-1/jobs?wait=60",
        {{"Content-Type", "text/plain; charset=utf-8"}, {"Idempotency-Key", "text-1"}}, utf8);
    ASSERT_EQ(posted.status, 200) << posted.body;
    const std::vector<std::string> executed = sim.executedCommands();
    ASSERT_EQ(executed.size(), 1u);
    EXPECT_EQ(service->Unix().Request("GET", posted.header("location") + "/result").body,
              BatchResult("54;MUL\xDEUMIM \xC3\xCE;;;;\n"));
    EXPECT_EQ(sim.executedCommands()[1], executed[0]);
}

TEST_F(ServiceRun, BadRequestsAreRefusedWithTheirStatusAndNothingIsPrintedOrStored) {
    const HttpClient tcp = service->Tcp();
    const HttpClient bare(service->port());  // no token
    HttpClient wrong(service->port());
    wrong.setToken("not-the-token");
    const std::string jobs = "/v1/printers/till-1/jobs";
    const std::string big(1024 * 1024 + 1, 'A');
    struct Case {
        const char* what;
        std::string bytes;
        int status;
    };
    const std::vector<Case> cases = {
        {"no token on TCP", bare.Format("POST", jobs, WithKey("k1"), kReceipt), 401},
        {"wrong token", wrong.Format("POST", jobs, WithKey("k1"), kReceipt), 401},
        {"foreign origin, even with the token",
         tcp.Format("POST", jobs, {{"Origin", "https://evil.example"}, {"Idempotency-Key", "k1"}},
                    kReceipt),
         403},
        {"foreign origin without token: 403 comes first",
         bare.Format("POST", jobs, {{"Origin", "https://evil.example"}}, kReceipt), 403},
        {"form post from a page",
         bare.Format("POST", jobs,
                     {{"Origin", "null"}, {"Content-Type", "application/x-www-form-urlencoded"}},
                     "a=1"),
         403},
        {"foreign Host (DNS rebinding)",
         tcp.Format("POST", jobs, {{"Host", "attacker.example:8080"}, {"Idempotency-Key", "k1"}},
                    kReceipt),
         403},
        {"no Idempotency-Key", tcp.Format("POST", jobs, kPlain, kReceipt), 400},
        {"Idempotency-Key with a slash", tcp.Format("POST", jobs, WithKey("../../etc"), kReceipt),
         400},
        {"Idempotency-Key of 129 characters",
         tcp.Format("POST", jobs, WithKey(std::string(129, 'k')), kReceipt), 400},
        {"empty command file", tcp.Format("POST", jobs, WithKey("k2"), ""), 400},
        {"JSON instead of a command file",
         tcp.Format("POST", jobs, {{"Content-Type", "application/json"}, {"Idempotency-Key", "k3"}},
                    "{}"),
         415},
        {"unknown charset",
         tcp.Format("POST", jobs,
                    {{"Content-Type", "text/plain; charset=latin1"}, {"Idempotency-Key", "k3"}},
                    kReceipt),
         415},
        {"invalid UTF-8",
         tcp.Format("POST", jobs,
                    {{"Content-Type", "text/plain; charset=utf-8"}, {"Idempotency-Key", "k3"}},
                    "54;\xC3\x28;;;;\n"),
         400},
        {"body over 1 MiB", tcp.Format("POST", jobs, WithKey("k4"), big), 413},
        {"chunked body over 1 MiB",
         "POST " + jobs + " HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer " +
             test::kServiceToken +
             "\r\nIdempotency-Key: k5\r\nTransfer-Encoding: chunked\r\n\r\n100001\r\n" + big +
             "\r\n0\r\n\r\n",
         413},
        {"headers over 8 KiB",
         tcp.Format("POST", jobs, {{"Idempotency-Key", "k6"}, {"X-Fill", std::string(9000, 'x')}},
                    kReceipt),
         431},
        {"not HTTP", "HELLO PRINTER\r\n\r\n", 400},
        {"bad Content-Length",
         "POST " + jobs + " HTTP/1.1\r\nHost: localhost\r\nContent-Length: x\r\n\r\n", 400},
        {"unknown printer", tcp.Format("POST", "/v1/printers/till-9/jobs", WithKey("k7"), kReceipt),
         404},
        {"unknown job", tcp.Format("GET", jobs + "/0123456789abcdef0123456789abcdef", {}, ""), 404},
        {"job id that tries to be a path", tcp.Format("GET", jobs + "/..%2F..%2Fjournals", {}, ""),
         404},
        {"wait too long", tcp.Format("POST", jobs + "?wait=61", WithKey("k8"), kReceipt), 400},
        {"wrong method", tcp.Format("PUT", jobs, WithKey("k9"), kReceipt), 405},
        {"unknown resource", tcp.Format("GET", "/v2/printers", {}, ""), 404},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HttpAnswer answer = tcp.Raw(c.bytes);
        EXPECT_EQ(answer.status, c.status) << answer.body;
        if (answer.status >= 400) {
            EXPECT_EQ(answer.header("content-type"), "application/problem+json");
            EXPECT_TRUE(Json::parse(answer.body, nullptr, false).is_object());
        }
        EXPECT_EQ(answer.body.find("evil"), std::string::npos) << "nothing sent is echoed";
    }
    EXPECT_EQ(sim.executedCommands().size(), 0u);
    EXPECT_EQ(StoredJobs(state.path()), 0u);
    EXPECT_EQ(TempDir::ModeOf(state.path()) & 0777, 0700u);
    EXPECT_EQ(TempDir::ModeOf(service->socketPath()) & 0777, 0660u);
    // And the service still serves.
    EXPECT_EQ(tcp.Request("GET", "/v1/health").status, 200);
}

TEST_F(ServiceRun, PreflightNamesTheExactOriginAndAllowsPrivateNetworkOnlyForAllowedOrigins) {
    service.reset();
    service = std::make_unique<ServiceProcess>(
        state.path(), std::vector<ServicePrinter>{{"till-1", sim.path(), "VX37000001"}},
        std::vector<std::string>{"--allow-origin", "https://pos.example"});
    ASSERT_TRUE(service->ready());
    const HttpClient bare(service->port());
    const HttpAnswer preflight = bare.Request(
        "OPTIONS", "/v1/printers/till-1/jobs",
        {{"Origin", "https://pos.example"},
         {"Access-Control-Request-Method", "POST"},
         {"Access-Control-Request-Headers", "authorization, idempotency-key, content-type"},
         {"Access-Control-Request-Private-Network", "true"}});
    EXPECT_EQ(preflight.status, 204);
    EXPECT_EQ(preflight.header("access-control-allow-origin"), "https://pos.example");
    EXPECT_EQ(preflight.header("access-control-allow-private-network"), "true");
    EXPECT_NE(preflight.header("access-control-allow-headers").find("Idempotency-Key"),
              std::string::npos);
    const HttpAnswer foreign = bare.Request(
        "OPTIONS", "/v1/printers/till-1/jobs",
        {{"Origin", "https://pos.example.evil"}, {"Access-Control-Request-Method", "POST"}});
    EXPECT_EQ(foreign.status, 403);
    EXPECT_EQ(foreign.header("access-control-allow-origin"), "");

    const HttpAnswer posted = service->Tcp().Request(
        "POST", "/v1/printers/till-1/jobs?wait=60",
        {{"Origin", "https://pos.example"}, {"Idempotency-Key", "web-1"}}, kReceipt);
    EXPECT_EQ(posted.status, 200);
    EXPECT_EQ(posted.header("access-control-allow-origin"), "https://pos.example");
    EXPECT_EQ(sim.executedCommands().size(), 4u);
}

TEST_F(ServiceRun, AnotherPrinterOnThePortIsNeverPrintedOnAndAQueuedJobCanBeRemoved) {
    service.reset();
    service = std::make_unique<ServiceProcess>(
        state.path(), std::vector<ServicePrinter>{{"till-1", sim.path(), "VX37009999"}});
    ASSERT_TRUE(service->ready());
    const HttpClient client = service->Unix();
    const HttpAnswer posted =
        client.Request("POST", "/v1/printers/till-1/jobs", WithKey("sale-2"), kReceipt);
    ASSERT_EQ(posted.status, 202);
    ASSERT_TRUE(test::WaitFor([&] {
        const Json printer =
            Json::parse(client.Request("GET", "/v1/printers/till-1").body, nullptr, false);
        return printer.is_object() && printer["state"] == "offline" &&
               printer["lastError"].is_object();
    }));
    const Json printer = Json::parse(client.Request("GET", "/v1/printers/till-1").body);
    EXPECT_NE(printer["lastError"]["reason"].get<std::string>().find("VX37000001"),
              std::string::npos);
    EXPECT_EQ(printer["jobsQueued"], 1);
    EXPECT_EQ(test::JobState(client.Request("GET", posted.header("location"))), "queued");
    EXPECT_EQ(client.Request("DELETE", posted.header("location")).status, 204);
    EXPECT_EQ(client.Request("GET", posted.header("location")).status, 404);
    EXPECT_EQ(sim.executedCommands().size(), 0u);
    EXPECT_EQ(StoredJobs(state.path()), 0u);
}

TEST_F(ServiceRun, ClientsThatTrickleOrHoardConnectionsCannotLockOthersOut) {
    const HttpClient client = service->Unix();
    // 64 connections that send half a header and stop: the 65th is turned away, and each of
    // the 64 is closed once its header is late.
    std::vector<int> idle;
    for (std::size_t i = 0; i < 64; ++i) {
        const int fd = client.Connect();
        ASSERT_GE(fd, 0);
        const std::string half = "GET /v1/health HTTP/1.1\r\nHost: loc";
        ASSERT_EQ(::send(fd, half.data(), half.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(half.size()));
        idle.push_back(fd);
    }
    ASSERT_TRUE(test::WaitFor([&] { return client.Request("GET", "/v1/health").status == 503; }));
    for (const int fd : idle) {
        bool closed = false;
        const std::string answer = test::ReadUntilClosed(fd, std::chrono::seconds(30), &closed);
        EXPECT_TRUE(closed) << "a header that does not come in time closes the connection";
        EXPECT_EQ(answer, "") << "and nothing is answered to half a request";
        ::close(fd);
    }
    EXPECT_TRUE(test::WaitFor([&] { return client.Request("GET", "/v1/health").status == 200; }));
}

TEST(ServiceStart, RefusesWhatWouldServeBeyondThisMachineOrWithoutTokens) {
    const TempDir dir;
    ASSERT_TRUE(TempDir::WriteFile(dir.file("devices.xml"), test::DevicesXml({})));
    const std::vector<std::string> base = {"--devices", dir.file("devices.xml"), "--state",
                                           dir.file("state")};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = base;
        args.insert(args.end(), more.begin(), more.end());
        return test::RunServiceToEnd(args);
    };
    EXPECT_EQ(with({"--listen", "0.0.0.0:8080", "--token-file", "/dev/null"}).exitCode, 2);
    EXPECT_EQ(with({"--listen", "127.0.0.1:0"}).exitCode, 2) << "TCP without a token file";
    EXPECT_EQ(with({"--listen", "127.0.0.1:0", "--token-file", "/dev/null"}).exitCode, 1)
        << "a token file without tokens";
    EXPECT_EQ(with({"--listen", "unix:" + dir.file("s"), "--allow-origin", "*"}).exitCode, 2);
    EXPECT_EQ(test::RunServiceToEnd({"--listen", "unix:" + dir.file("s")}).exitCode, 2);
    const test::ServiceRefusal help = test::RunServiceToEnd({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--allow-origin"), std::string::npos);
}

}  // namespace
}  // namespace tallix
