#include "sim/ReplySchedule.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "posix/UniqueFd.h"

namespace tallix {
namespace {

using Clock = ReplySchedule::Clock;
using std::chrono::milliseconds;

// The schedule writes into a pipe; the test reads what reached the line. Times are given,
// never waited for.
class ScheduleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
        in_.reset(fds[0]);
        out_.reset(fds[1]);
    }
    static Reply Of(const std::string& text, int delayMs, bool detached = false) {
        return Reply{std::vector<uint8_t>(text.begin(), text.end()), delayMs, detached};
    }
    // Writes what is due at start + ms and returns what reached the line.
    std::string At(ReplySchedule& schedule, int ms) {
        schedule.write(out_.get(), start + milliseconds(ms));
        std::string got;
        char buffer[256];
        ssize_t n = 0;
        while ((n = read(in_.get(), buffer, sizeof buffer)) > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    Clock::time_point start = Clock::now();
    UniqueFd in_;
    UniqueFd out_;
};

// A reply whose time has come waits for the one caused before it.
TEST_F(ScheduleTest, RepliesInOrderNeverOvertake) {
    ReplySchedule schedule(std::chrono::nanoseconds(0));
    schedule.add(Of("A", 300), start);
    schedule.add(Of("B", 100), start + milliseconds(10));
    EXPECT_EQ(At(schedule, 150), "");
    ASSERT_TRUE(schedule.nextDue());
    EXPECT_EQ(*schedule.nextDue(), start + milliseconds(300));
    EXPECT_EQ(At(schedule, 300), "AB");
    EXPECT_TRUE(schedule.empty());
    EXPECT_FALSE(schedule.nextDue());
}

// A detached reply goes out at its own time, between the others, and holds none back.
TEST_F(ScheduleTest, DetachedRepliesGoOutAtTheirOwnTime) {
    ReplySchedule schedule(std::chrono::nanoseconds(0));
    schedule.add(Of("answer", 0), start);
    schedule.add(Of("copy", 3000, true), start);
    schedule.add(Of("ack", 200), start + milliseconds(100));
    schedule.add(Of("early", 50, true), start + milliseconds(100));
    EXPECT_EQ(At(schedule, 0), "answer");
    EXPECT_EQ(At(schedule, 150), "early");
    EXPECT_EQ(At(schedule, 300), "ack");
    EXPECT_FALSE(schedule.empty());
    EXPECT_EQ(At(schedule, 2999), "");
    EXPECT_EQ(At(schedule, 3000), "copy");
    EXPECT_TRUE(schedule.empty());
}

// Paced, one byte per byte time, and a reply is never cut by another.
TEST_F(ScheduleTest, PacedBytesAreSpacedAndRepliesStayWhole) {
    ReplySchedule schedule(milliseconds(10));
    schedule.add(Of("abc", 0), start);
    schedule.add(Of("X", 0, true), start);
    EXPECT_EQ(At(schedule, 0), "a");
    EXPECT_EQ(At(schedule, 5), "");
    EXPECT_EQ(*schedule.nextDue(), start + milliseconds(10));
    EXPECT_EQ(At(schedule, 10), "b");
    EXPECT_EQ(At(schedule, 20), "c");
    EXPECT_EQ(At(schedule, 30), "X");
}

}  // namespace
}  // namespace tallix
