#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "posix/UniqueFd.h"
#include "tests/sim/PrinterHarness.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/WaitFor.h"

namespace tallix::test {
namespace {

// A host's end of the line, opened as a host would.
class HostPort {
  public:
    explicit HostPort(const std::string& path) {
        fd_.reset(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (fd_) {
            termios tio{};
            tcgetattr(fd_.get(), &tio);
            cfmakeraw(&tio);
            tcsetattr(fd_.get(), TCSANOW, &tio);
        }
    }

    [[nodiscard]] bool ok() const { return fd_.valid(); }
    bool setSpeed(speed_t speed) {
        termios tio{};
        return tcgetattr(fd_.get(), &tio) == 0 && cfsetspeed(&tio, speed) == 0 &&
               tcsetattr(fd_.get(), TCSANOW, &tio) == 0;
    }
    bool send(const Bytes& bytes) {
        return write(fd_.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Reads until `count` bytes came or the time is up.
    Bytes receive(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        Bytes got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            pollfd p{fd_.get(), POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
                break;
            }
            uint8_t buffer[256];
            const ssize_t n = read(fd_.get(), buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

  private:
    UniqueFd fd_;
};

const Bytes kReset = {kFill, kFill, kDC3, kDC3, kDC3, kFill};

// An answer is its text with LF before and CR and two checksum bytes after.
std::string AnswerText(const Bytes& answer) {
    if (answer.size() < 4) {
        return {};
    }
    return {answer.begin() + 1, answer.end() - 3};
}

TEST(SimProcess, ServesWakeUpsAcrossReopens) {
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    struct stat st {};
    ASSERT_EQ(lstat(sim.path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    for (int round = 0; round < 3; ++round) {
        HostPort host(sim.path());
        ASSERT_TRUE(host.ok());
        ASSERT_TRUE(host.send(kReset + WakeUpRequest("01")));
        EXPECT_EQ(AnswerText(host.receive(17)), "VX37000001;1;") << "round " << round;
    }
    EXPECT_TRUE(WaitFor([&] {
        int answered = 0;
        for (const auto& e : sim.journalLines()) {
            answered += e.kind() == "wakeup" && e.flag("answered") ? 1 : 0;
        }
        return answered == 3;
    }));
}

// A real printer hears garbage from a host at another speed; the virtual one hears nothing.
TEST(SimProcess, HearsOnlyAHostAtItsSpeed) {
    SimProcess sim({"--baud", "38400"});
    ASSERT_TRUE(sim.ready());
    const auto speedEntries = [&sim] {
        std::vector<std::pair<long long, bool>> seen;
        for (const auto& e : sim.journalLines()) {
            if (e.kind() == "line_speed") {
                seen.emplace_back(e.integer("speed"), e.flag("heard"));
            }
        }
        return seen;
    };
    {
        // A host that sets no speed finds the line at the printer's.
        HostPort host(sim.path());
        ASSERT_TRUE(host.send(kReset + WakeUpRequest("01")));
        EXPECT_EQ(AnswerText(host.receive(17)), "VX37000001;1;");
    }
    {
        HostPort host(sim.path());
        ASSERT_TRUE(host.setSpeed(B9600));
        ASSERT_TRUE(host.send(kReset + WakeUpRequest("01")));
        ASSERT_TRUE(WaitFor([&] { return !speedEntries().empty(); }));
        EXPECT_EQ(speedEntries(), (std::vector<std::pair<long long, bool>>{{9600, false}}));

        ASSERT_TRUE(host.setSpeed(B38400));
        ASSERT_TRUE(host.send(kReset + WakeUpRequest("01")));
        EXPECT_EQ(AnswerText(host.receive(17)), "VX37000001;1;");
    }
    EXPECT_EQ(speedEntries(),
              (std::vector<std::pair<long long, bool>>{{9600, false}, {38400, true}}));
    int wakeUps = 0;
    int resets = 0;
    for (const auto& e : sim.journalLines()) {
        wakeUps += e.kind() == "wakeup" ? 1 : 0;
        resets += e.kind() == "reset" ? 1 : 0;
    }
    EXPECT_EQ(wakeUps, 2);  // the request at 9600 never reached the printer
    EXPECT_EQ(resets, 2);
}

TEST(SimProcess, ExecutesFramesAndRecordsThem) {
    SimProcess sim({"--serial", "TEST000042", "--sequence", "10"});
    ASSERT_TRUE(sim.ready());
    HostPort host(sim.path());
    ASSERT_TRUE(host.send(FrameOf("L;;PAINE;2.50;1.000;1;1;1;0;0;")));
    EXPECT_EQ(host.receive(1), Bytes{kACK});
    ASSERT_TRUE(host.send(FrameOf("E;0;;;;;")));
    EXPECT_EQ(host.receive(1), Bytes{kACK});
    ASSERT_TRUE(host.send(WakeUpRequest()));
    EXPECT_EQ(AnswerText(host.receive(18)), "TEST000042;12;");
    EXPECT_TRUE(WaitFor([&] { return sim.executedCommands().size() == 2; }));
    EXPECT_EQ(sim.executedCommands().front(), "L;;PAINE;2.50;1.000;1;1;1;0;0;");
    EXPECT_TRUE(
        WaitFor([&] { return sim.paper().find("BON FISCAL NR. 0001") != std::string::npos; }));
}

TEST(SimProcess, SigtermEndsCleanlyAndRemovesTheLink) {
    SimProcess sim;
    ASSERT_TRUE(sim.ready());
    const std::string link = sim.path();
    EXPECT_EQ(sim.stop(), 0);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    const auto journal = sim.journalLines();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.front().kind(), "start");
    EXPECT_EQ(journal.back().kind(), "stop");
    EXPECT_EQ(journal.back().str("reason"), "signal");
}

TEST(SimProcess, HangupAfterCommandsEndsTheProcess) {
    SimProcess sim({"--hangup-after", "1"});
    ASSERT_TRUE(sim.ready());
    const std::string link = sim.path();
    {
        HostPort host(link);
        ASSERT_TRUE(host.send(FrameOf("A;;;X;")));
        EXPECT_EQ(host.receive(1), Bytes{kACK});
        EXPECT_EQ(sim.waitForExit(std::chrono::seconds(5)), 0);
    }
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);
}

TEST(SimProcess, PacedAndDelayedRepliesStillArrive) {
    SimProcess sim({"--baud", "9600", "--delay-ms", "20", "--noise", "3"});
    ASSERT_TRUE(sim.ready());
    HostPort host(sim.path());
    ASSERT_TRUE(host.send(WakeUpRequest()));
    const Bytes answer = host.receive(20);
    ASSERT_EQ(answer.size(), 20U);
    EXPECT_EQ(AnswerText(Bytes(answer.begin() + 3, answer.end())), "VX37000001;1;");
}

// On the line: the copy of an answer given twice comes after the ACK of the frame sent
// meanwhile (it holds nothing back), and the false answer after the frame shows the counter
// from before it, with a checksum that does not match.
TEST(SimProcess, CopiesAndFalseAnswersComeBetweenTheReplies) {
    SimProcess sim({"--double-answers", "1", "--double-gap-ms", "1500", "--false-answer-at", "2",
                    "--false-answer-ms", "100,100"});
    ASSERT_TRUE(sim.ready());
    HostPort host(sim.path());
    ASSERT_TRUE(host.send(WakeUpRequest()));
    const Bytes answer = host.receive(17);
    EXPECT_EQ(AnswerText(answer), "VX37000001;1;");
    ASSERT_TRUE(host.send(FrameOf("L;;PAINE;2.50;1.000;1;1;1;0;0;")));
    EXPECT_EQ(host.receive(1), Bytes{kACK});
    const Bytes later = host.receive(34);
    ASSERT_EQ(later.size(), 34U);
    const Bytes falseAnswer(later.begin(), later.begin() + 17);
    const Bytes copy(later.begin() + 17, later.end());
    EXPECT_EQ(AnswerText(falseAnswer), "VX37000001;1;");
    EXPECT_NE(falseAnswer, answer) << "its checksum is wrong";
    EXPECT_EQ(copy, answer);
}

// --port serves a device it did not create; here the slave of a pseudo-terminal of the test,
// whose master plays the host's end of a cable.
TEST(SimProcess, ServesAGivenPort) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    char name[256];
    ASSERT_EQ(ptsname_r(master, name, sizeof name), 0);
    {
        SimProcess sim({"--port", name, "--baud", "19200", "--logical-id", "42"});
        ASSERT_TRUE(sim.ready());
        const Bytes request = kReset + WakeUpRequest("42");
        ASSERT_EQ(write(master, request.data(), request.size()),
                  static_cast<ssize_t>(request.size()));
        Bytes got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (got.size() < 17 && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                uint8_t buffer[64];
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0) {
                    got.insert(got.end(), buffer, buffer + n);
                }
            }
        }
        EXPECT_EQ(AnswerText(got), "VX37000001;1;");
        EXPECT_EQ(sim.stop(), 0);
    }
    close(master);
}

TEST(SimProcess, BadCommandLinesAreRefused) {
    RunOptions capture;
    capture.captureStderr = true;
    capture.captureStdout = true;
    auto result = RunProcess(SimExecutable(), {"--no-such-option"}, capture);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("unknown option --no-such-option"), std::string::npos);
    EXPECT_TRUE(result.out.empty());

    TempDir dir;
    ASSERT_TRUE(TempDir::WriteFile(dir.file("taken"), "x"));
    result = RunProcess(SimExecutable(), {"--link", dir.file("taken")}, capture);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("not a symbolic link"), std::string::npos);
    EXPECT_EQ(TempDir::ReadFile(dir.file("taken")), "x");

    result = RunProcess(SimExecutable(), {"--help"}, capture);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("--drop-ack-every"), std::string::npos);
}

}  // namespace
}  // namespace tallix::test
