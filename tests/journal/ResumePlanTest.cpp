// The resume decision: every combination of what the journal holds, which file runs and where
// the printer's counter stands.

#include <gtest/gtest.h>

#include "journal/ResumePlan.h"

namespace tallix {
namespace {

const JobIdentity kFile = IdentityOf("49;PAINE;0;1;2.50;1;0;0\n51\n");
const JobIdentity kOtherFile = IdentityOf("49;PAINE;0;1;2.50;1;0;0\n51\n\n");
constexpr uint64_t kLines = 10;

JobState Saved(uint64_t nextLine, int32_t sequence, bool inFlight, bool finished = false) {
    JobState state;
    state.job = kFile;
    state.nextLine = nextLine;
    state.sequence = sequence;
    state.inFlight = inFlight;
    state.finished = finished;
    return state;
}

void ExpectFullRun(const ResumePlan& plan, const std::string& reasonPart) {
    EXPECT_FALSE(plan.resume);
    EXPECT_EQ(plan.firstLine, 0u);
    EXPECT_FALSE(plan.inFlightExecuted);
    EXPECT_NE(plan.reason.find(reasonPart), std::string::npos) << plan.reason;
}

TEST(ResumePlan, IdentityIsTheFilesBytes) {
    EXPECT_EQ(IdentityOf("abc"), IdentityOf("abc"));
    EXPECT_FALSE(IdentityOf("abc") == IdentityOf("abd"));
    EXPECT_FALSE(kFile == kOtherFile);
    JobIdentityHasher hasher;
    hasher.add("49;PAINE;0;1;2.5");
    hasher.add("");
    hasher.add("0;1;0;0\n51\n");
    EXPECT_EQ(hasher.identity(), kFile);
    EXPECT_EQ(ParseIdentityText(IdentityText(kFile)), kFile);
    EXPECT_EQ(IdentityText(kFile).size(), 32u);
    EXPECT_FALSE(ParseIdentityText(IdentityText(kFile).substr(1)));
    EXPECT_FALSE(ParseIdentityText(std::string(31, '0') + "G"));
    EXPECT_FALSE(ParseIdentityText(std::string(31, '0') + "A"));  // upper case is not written
}

TEST(ResumePlan, RunsInFullWithoutAnUnfinishedJobOfThisFile) {
    ExpectFullRun(PlanResume(std::nullopt, kFile, 5, kLines, true), "no job");
    ExpectFullRun(PlanResume(Saved(kLines, 9, false, true), kFile, 9, kLines, true), "finished");
    JobState other = Saved(3, 5, true);
    other.job = kOtherFile;
    ExpectFullRun(PlanResume(other, kFile, 5, kLines, true), "another command file");
    ExpectFullRun(PlanResume(Saved(3, 5, true), kFile, 5, kLines, false), "--no-resume");
    ExpectFullRun(PlanResume(Saved(3, 5, true), kFile, std::nullopt, kLines, true), "not known");
}

TEST(ResumePlan, ALineInFlightIsDecidedByTheCounter) {
    const ResumePlan executed = PlanResume(Saved(3, 5, true), kFile, 6, kLines, true);
    EXPECT_TRUE(executed.resume);
    EXPECT_EQ(executed.firstLine, 4u);
    EXPECT_EQ(executed.inFlightExecuted, true);
    EXPECT_NE(executed.reason.find("line 4 was in flight"), std::string::npos) << executed.reason;
    EXPECT_NE(executed.reason.find("lines 1 to 4 answered"), std::string::npos);

    const ResumePlan notExecuted = PlanResume(Saved(3, 5, true), kFile, 5, kLines, true);
    EXPECT_TRUE(notExecuted.resume);
    EXPECT_EQ(notExecuted.firstLine, 3u);
    EXPECT_EQ(notExecuted.inFlightExecuted, false);
    EXPECT_NE(notExecuted.reason.find("sent again"), std::string::npos);

    // A move up counts, also across the wrap of the 32-bit counter, and by more than one.
    EXPECT_EQ(PlanResume(Saved(3, 5, true), kFile, 9, kLines, true).firstLine, 4u);
    EXPECT_EQ(PlanResume(Saved(3, 2147483647, true), kFile, -2147483647 - 1, kLines, true)
                  .inFlightExecuted,
              true);
    // The first line in flight and found not executed: the whole file is sent, as its job.
    const ResumePlan first = PlanResume(Saved(0, 5, true), kFile, 5, kLines, true);
    EXPECT_TRUE(first.resume);
    EXPECT_EQ(first.firstLine, 0u);
    // The last line in flight and executed: nothing is left to send.
    EXPECT_EQ(PlanResume(Saved(kLines - 1, 5, true), kFile, 6, kLines, true).firstLine, kLines);
}

// A counter behind the remembered one (the printer lost its state) says nothing about the line
// in flight: it is neither skipped nor sent, and stays to be decided.
TEST(ResumePlan, ACounterThatWentBackLeavesTheLineInFlightUndecided) {
    for (const int32_t now : {4, 1, -7}) {
        const ResumePlan plan = PlanResume(Saved(3, 5, true), kFile, now, kLines, true);
        EXPECT_TRUE(plan.resume) << now;
        EXPECT_TRUE(plan.inFlightUndecided) << now;
        EXPECT_EQ(plan.firstLine, 3u) << now;
        EXPECT_FALSE(plan.inFlightExecuted) << now;
        EXPECT_NE(plan.reason.find("went back"), std::string::npos) << plan.reason;
    }
    ExpectFullRun(PlanResume(Saved(3, 5, true), kFile, 1, kLines, false), "--no-resume");
    EXPECT_FALSE(PlanResume(Saved(3, 5, true), kFile, 6, kLines, true).inFlightUndecided);
}

TEST(ResumePlan, WithNoLineInFlightTheCounterMustNotHaveMoved) {
    const ResumePlan same = PlanResume(Saved(6, 8, false), kFile, 8, kLines, true);
    EXPECT_TRUE(same.resume);
    EXPECT_EQ(same.firstLine, 6u);
    EXPECT_FALSE(same.inFlightExecuted);
    EXPECT_NE(same.reason.find("resuming at line 7"), std::string::npos) << same.reason;

    ExpectFullRun(PlanResume(Saved(6, 8, false), kFile, 9, kLines, true), "another program");
    ExpectFullRun(PlanResume(Saved(6, 8, false), kFile, 7, kLines, true), "another program");
    // Every line done but the job not recorded as finished (its end was not written): the
    // resumed run answers every line without sending anything.
    EXPECT_EQ(PlanResume(Saved(kLines, 8, false), kFile, 8, kLines, true).firstLine, kLines);
}

TEST(ResumePlan, AJournalThatDoesNotFitTheFileIsNotFollowed) {
    ExpectFullRun(PlanResume(Saved(kLines + 1, 8, false), kFile, 8, kLines, true), "not fit");
    ExpectFullRun(PlanResume(Saved(kLines, 8, true), kFile, 9, kLines, true), "not fit");
}

}  // namespace
}  // namespace tallix
