// The service's parts without processes: the command line, who may call, the job store on
// disk, the result lines read back and the screening of requests.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "service/Access.h"
#include "service/Api.h"
#include "service/JobStore.h"
#include "service/ResultLines.h"
#include "service/ServiceOptions.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

TEST(ServiceOptions, ListenersServeThisMachineOnlyAndTcpNeedsATokenFile) {
    std::string error;
    const auto parse = [&](std::vector<std::string> more) {
        std::vector<std::string> args = {"--devices", "d.xml", "--state", "s"};
        args.insert(args.end(), more.begin(), more.end());
        return ParseServiceOptions(args, error);
    };
    const auto ok =
        parse({"--listen", "unix:/run/t.sock", "--listen=127.0.0.1:0", "--listen", "[::1]:8080",
               "--token-file", "t", "--allow-origin", "https://pos.example:8443"});
    ASSERT_TRUE(ok) << error;
    ASSERT_EQ(ok->listen.size(), 3u);
    EXPECT_EQ(ok->listen[0].path, "/run/t.sock");
    EXPECT_EQ(ok->listen[1].host, "127.0.0.1");
    EXPECT_EQ(ok->listen[2].host, "::1");
    EXPECT_EQ(ok->listen[2].port, 8080);
    EXPECT_EQ(ListenAddressText(ok->listen[2]), "[::1]:8080");

    for (const char* refused : {"0.0.0.0:80", "192.168.1.5:80", "localhost:80", "[::]:80",
                                "127.0.0.1:65536", "127.0.0.1:", "127.0.0.1:x", "unix:"}) {
        EXPECT_FALSE(parse({"--listen", refused, "--token-file", "t"})) << refused;
    }
    EXPECT_FALSE(parse({"--listen", "127.0.0.1:0"})) << "TCP without a token file";
    EXPECT_TRUE(parse({"--listen", "unix:/x"})) << "a Unix socket needs no token";
    for (const char* origin : {"*", "null", "https://pos.example/", "pos.example",
                               "https://pos.example/path", "ftp://pos.example"}) {
        EXPECT_FALSE(parse({"--listen", "unix:/x", "--allow-origin", origin})) << origin;
    }
    EXPECT_FALSE(parse({"--listen", "unix:/x", "--bogus"}));
    EXPECT_FALSE(ParseServiceOptions({"--listen", "unix:/x"}, error)) << "devices and state";
}

TEST(ServiceAccess, TokensHostsAndKeys) {
    const TempDir dir;
    ASSERT_TRUE(TempDir::WriteFile(dir.file("t"), "# tills\n  abc123  \n\ndef # second\n#x\n"));
    std::string error;
    const auto tokens = LoadTokens(dir.file("t"), error);
    ASSERT_TRUE(tokens);
    EXPECT_EQ(*tokens, (std::vector<std::string>{"abc123", "def"}));
    EXPECT_TRUE(BearerAllowed("Bearer abc123", *tokens));
    EXPECT_TRUE(BearerAllowed("Bearer def", *tokens));
    for (const char* refused : {"Bearer abc12", "Bearer abc1234", "bearer abc123", "abc123",
                                "Basic abc123", "Bearer ", "", "Bearer # second"}) {
        EXPECT_FALSE(BearerAllowed(refused, *tokens)) << refused;
    }
    ASSERT_TRUE(TempDir::WriteFile(dir.file("empty"), "# none\n\n"));
    EXPECT_FALSE(LoadTokens(dir.file("empty"), error));
    EXPECT_FALSE(LoadTokens(dir.file("missing"), error));

    for (const char* host :
         {"localhost", "localhost:8080", "127.0.0.1", "127.0.0.1:1", "[::1]", "[::1]:8080"}) {
        EXPECT_TRUE(IsLoopbackHost(host)) << host;
    }
    for (const char* host : {"", "attacker.example", "localhost.attacker.example", "127.0.0.2",
                             "[::1]x", "[::1", "0.0.0.0", "127.0.0.1.nip.io"}) {
        EXPECT_FALSE(IsLoopbackHost(host)) << host;
    }
    EXPECT_TRUE(IsIdempotencyKey("A-z_0.9:x"));
    EXPECT_TRUE(IsIdempotencyKey(std::string(128, 'k')));
    for (const std::string& key : {std::string(), std::string(129, 'k'), std::string("a/b"),
                                   std::string(".."), std::string("a b"), std::string("ș")}) {
        EXPECT_EQ(IsIdempotencyKey(key), key == "..") << key;
    }
}

TEST(ServiceResultLines, LinesAreReadBackAndTellFailuresAndSilence) {
    const std::string bytes =
        "\"49\";\"0\";\"No error\";\n"
        "\"53\";\"0\";\"No error\";\"\";\n"
        "\"49\";\"1\";\"No printer response\";\n"
        "\"53\";\"9\";\"Error in previous command\";\n"
        "\"49\";\"0\";\"No er";  // still being written
    const std::vector<ResultEntry> lines = ParseResultLines(bytes);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].command, 53);
    EXPECT_EQ(lines[1].extra, "");
    EXPECT_FALSE(lines[0].extra);
    EXPECT_EQ(lines[2].messageNumber, 1);
    EXPECT_EQ(lines[3].message, "Error in previous command");
    EXPECT_TRUE(Summarize(lines).unanswered);
    EXPECT_TRUE(Summarize(lines).anyFailure);
    const std::vector<ResultEntry> good =
        ParseResultLines("\"109\";\"71\";\"Item PLU is not programed\";\n");
    EXPECT_FALSE(Summarize(good).anyFailure);
    EXPECT_FALSE(Summarize(good).unanswered);
    const std::vector<ResultEntry> refused = ParseResultLines("\"200\";\"21\";\"Syntax error\";\n");
    EXPECT_TRUE(Summarize(refused).anyFailure);
    EXPECT_FALSE(Summarize(refused).unanswered);
    // What the printer may have executed: an answered line, and one it left unanswered; not a
    // refused one nor one skipped after it.
    EXPECT_TRUE(Summarize(lines).anyExecuted);
    EXPECT_TRUE(Summarize(good).anyExecuted);
    EXPECT_FALSE(Summarize(refused).anyExecuted);
    EXPECT_FALSE(Summarize(ParseResultLines("\"200\";\"21\";\"Syntax error\";\n"
                                            "\"49\";\"9\";\"Error in previous command\";\n"))
                     .anyExecuted);
    EXPECT_TRUE(Summarize(ParseResultLines("\"49\";\"1\";\"No printer response\";\n")).anyExecuted);
}

class ServiceStore : public ::testing::Test {
  protected:
    std::unique_ptr<JobStore> Open() {
        std::string error;
        std::unique_ptr<JobStore> store = JobStore::Open(dir.file("state"), error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    TempDir dir;
};

TEST_F(ServiceStore, KeysReplayTheirJobAndEverythingSurvivesAReopen) {
    std::string firstId;
    {
        const std::unique_ptr<JobStore> store = Open();
        JobRecord job;
        ASSERT_EQ(store->Accept("p", "k1", "h1", "49;A\n", job), Acceptance::Created);
        firstId = job.id;
        EXPECT_EQ(job.id.size(), 32u);
        EXPECT_EQ(TempDir::ReadFile(store->BodyPath(job.id)), "49;A\n");
        EXPECT_EQ(store->Accept("p", "k1", "h1", "49;A\n", job), Acceptance::Replayed);
        EXPECT_EQ(job.id, firstId);
        EXPECT_EQ(store->Accept("p", "k1", "h2", "49;B\n", job), Acceptance::KeyReused);
        EXPECT_EQ(store->Accept("q", "k1", "h2", "49;B\n", job), Acceptance::Created)
            << "keys are per printer";
        EXPECT_EQ(store->Accept("p", "k2", "h1", "49;A\n", job), Acceptance::Created)
            << "the same receipt with another key is another job";
        const std::optional<JobRecord> claimed = store->Claim("p");
        ASSERT_TRUE(claimed);
        EXPECT_EQ(claimed->id, firstId);
        EXPECT_EQ(claimed->state, ServiceJobState::Running);
        EXPECT_FALSE(store->RemoveQueued(firstId)) << "a running job stays";
        EXPECT_TRUE(store->RemoveQueued(job.id));
        EXPECT_FALSE(store->Find(job.id));
    }
    const std::unique_ptr<JobStore> store = Open();
    const std::optional<JobRecord> again = store->Find(firstId);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->state, ServiceJobState::Running)
        << "continued through the journal after a crash";
    EXPECT_EQ(again->attempts, 1);
    EXPECT_EQ(store->Pending("p"), 1u);
    EXPECT_EQ(store->Pending("q"), 1u);
    JobRecord done = *again;
    done.state = ServiceJobState::Done;
    done.exitCode = 0;
    done.endedOnFailure = true;
    ASSERT_TRUE(store->Update(done));
    EXPECT_EQ(store->Pending("p"), 0u);
    JobRecord later;
    ASSERT_EQ(store->Accept("p", "k3", "h3", "49;C\n", later), Acceptance::Created);
    using Requeued = JobStore::RequeueResult;
    ASSERT_EQ(store->Requeue(firstId), Requeued::Queued);
    EXPECT_EQ(store->NextPending("p")->id, firstId) << "a retried job goes before later ones";
    EXPECT_EQ(store->Requeue(later.id), Requeued::NotRetryable);
    const std::unique_ptr<JobStore> reopened = Open();
    EXPECT_EQ(reopened->NextPending("p")->id, firstId);

    // Once another job ran on the printer, its journal names that one: a retry would run the
    // first job in full and print its executed lines twice. A restart does not forget it.
    JobRecord retried = *reopened->Claim("p");
    retried.state = ServiceJobState::Done;
    retried.exitCode = 0;
    retried.endedOnFailure = true;
    ASSERT_TRUE(reopened->Update(retried));
    ASSERT_EQ(reopened->Claim("p")->id, later.id);
    EXPECT_EQ(reopened->Requeue(firstId), Requeued::AnotherRanSince);
    EXPECT_EQ(Open()->Requeue(firstId), Requeued::AnotherRanSince);
}

// A done job that holds its printer's queue: the store hands out no other job of that printer
// (others go on), a release or a retry ends the hold, and a reopened store knows each.
TEST_F(ServiceStore, AHoldingJobStopsItsPrintersQueueUntilReleasedOrRequeued) {
    std::string holderId;
    std::string nextId;
    {
        const std::unique_ptr<JobStore> store = Open();
        JobRecord job;
        ASSERT_EQ(store->Accept("p", "k1", "h1", "49;A\n", job), Acceptance::Created);
        holderId = job.id;
        ASSERT_EQ(store->Accept("p", "k2", "h2", "49;B\n", job), Acceptance::Created);
        nextId = job.id;
        ASSERT_EQ(store->Accept("q", "k1", "h1", "49;A\n", job), Acceptance::Created);
        JobRecord held = *store->Claim("p");
        held.state = ServiceJobState::Done;
        held.exitCode = 0;
        held.endedOnFailure = true;
        held.holdsQueue = true;
        ASSERT_TRUE(store->Update(held));
        EXPECT_EQ(store->Holder("p"), holderId);
        EXPECT_FALSE(store->Claim("p")) << "held";
        EXPECT_TRUE(store->Claim("q")) << "another printer goes on";
        EXPECT_EQ(store->Release(nextId), JobStore::ReleaseResult::NotHolding)
            << "a queued job holds nothing";
    }
    {
        const std::unique_ptr<JobStore> store = Open();
        EXPECT_EQ(store->Holder("p"), holderId);
        EXPECT_FALSE(store->Claim("p"));
        EXPECT_EQ(store->Release(holderId), JobStore::ReleaseResult::Released);
        EXPECT_EQ(store->Release(holderId), JobStore::ReleaseResult::NotHolding);
        EXPECT_EQ(store->Find(holderId)->state, ServiceJobState::Done);
        EXPECT_TRUE(store->Find(holderId)->endedOnFailure);
    }
    {
        const std::unique_ptr<JobStore> store = Open();
        EXPECT_FALSE(store->Holder("p"));
        EXPECT_EQ(store->Requeue(holderId), JobStore::RequeueResult::Queued)
            << "nothing ran since the release";
        const std::optional<JobRecord> retried = store->Claim("p");
        ASSERT_TRUE(retried);
        EXPECT_EQ(retried->id, holderId);
        JobRecord again = *retried;
        again.state = ServiceJobState::Done;
        again.exitCode = 0;
        again.endedOnFailure = true;
        again.holdsQueue = true;
        ASSERT_TRUE(store->Update(again));
        EXPECT_FALSE(store->Claim("p")) << "refused again: held again";
        EXPECT_EQ(store->Requeue(holderId), JobStore::RequeueResult::Queued);
        EXPECT_FALSE(store->Holder("p")) << "a retry ends the hold";
        EXPECT_EQ(store->Claim("p")->id, holderId);
    }
}

TEST_F(ServiceStore, AQueueHoldsAHundredJobsAndLeftoversOfACutAcceptanceAreDropped) {
    const std::unique_ptr<JobStore> store = Open();
    JobRecord job;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(store->Accept("p", "k" + std::to_string(i), "h", "x", job), Acceptance::Created);
    }
    EXPECT_EQ(store->Accept("p", "k100", "h", "x", job), Acceptance::QueueFull);
    EXPECT_EQ(store->Accept("p", "k5", "h", "x", job), Acceptance::Replayed);
    EXPECT_EQ(store->Accept("other", "k100", "h", "x", job), Acceptance::Created);
    ASSERT_EQ(::mkdir(dir.file("state/jobs/.new-0123").c_str(), 0700), 0);
    ASSERT_TRUE(TempDir::WriteFile(dir.file("state/jobs/.new-0123/body"), "half"));
    const std::unique_ptr<JobStore> reopened = Open();
    EXPECT_EQ(reopened->Pending("p"), 100u);
    EXPECT_EQ(TempDir::ModeOf(dir.file("state/jobs/.new-0123")), 0u);
    EXPECT_EQ(TempDir::ModeOf(dir.file("state")) & 0777, 0700u);
}

TEST(ServiceApi, ScreeningRefusesForeignOriginsFirstThenHostsThenMissingTokens) {
    const TempDir dir;
    std::string error;
    const std::unique_ptr<JobStore> store = JobStore::Open(dir.file("s"), error);
    ASSERT_TRUE(store);
    AccessRules rules;
    rules.tokens = {"secret"};
    rules.allowOrigins = {"https://pos.example"};
    const Api api(rules, *store, {}, "1");
    HttpRequest request;
    request.method = "POST";
    request.target = "/v1/printers/p/jobs";
    request.overTcp = true;
    request.headers = {{"origin", "https://evil.example"}};
    EXPECT_EQ(api.Screen(request)->status, 403);
    request.headers = {{"origin", "https://pos.example"}, {"host", "evil.example"}};
    EXPECT_EQ(api.Screen(request)->status, 403);
    request.headers = {{"origin", "https://pos.example"}, {"host", "localhost:1"}};
    EXPECT_EQ(api.Screen(request)->status, 401);
    request.headers["authorization"] = "Bearer secret";
    EXPECT_FALSE(api.Screen(request));
    request.overTcp = false;
    request.headers.erase("authorization");
    EXPECT_FALSE(api.Screen(request)) << "the socket's permissions authorise";
    request.headers.erase("host");
    EXPECT_EQ(api.Screen(request)->status, 400);
}

}  // namespace
}  // namespace tallix
