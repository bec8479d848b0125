// Keeping a file beside itself before it is replaced: the name with the date and time, a
// second keep within the same second, links followed, and files that cannot be kept.

#include "config/KeptCopy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "tests/support/TempDir.h"

namespace tallix::test {
namespace {

// 2026-12-09 14:30:00 in local time.
std::time_t NinthOfDecember() {
    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 9;
    when.tm_hour = 14;
    when.tm_min = 30;
    when.tm_isdst = -1;
    return std::mktime(&when);
}

TEST(KeptCopy, NameCarriesDateAndTime) {
    EXPECT_EQ(KeptName("/home/a/com.veltra.tallix.xml", NinthOfDecember()),
              "/home/a/com.veltra.tallix.xml.broken-20261209-143000");
}

TEST(KeptCopy, KeepsTheBytesAndModeAndNeverOverwritesAnEarlierKeep) {
    TempDir dir;
    const std::string path = dir.file("prefs.xml");
    ASSERT_TRUE(TempDir::WriteFile(path, "<Data><Devices>"));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    std::string error;
    const auto first = KeepBeside(path, NinthOfDecember(), &error);
    ASSERT_TRUE(first) << error;
    EXPECT_EQ(*first, path + ".broken-20261209-143000");
    EXPECT_EQ(TempDir::ReadFile(*first), "<Data><Devices>");
    EXPECT_EQ(TempDir::ModeOf(*first), 0640);

    // The original is then replaced the way the preferences are: by a rename over it.
    ASSERT_TRUE(TempDir::WriteFile(dir.file("new"), "<Data/>"));
    ASSERT_EQ(::rename(dir.file("new").c_str(), path.c_str()), 0);
    EXPECT_EQ(TempDir::ReadFile(*first), "<Data><Devices>");

    const auto second = KeepBeside(path, NinthOfDecember(), &error);
    ASSERT_TRUE(second) << error;
    EXPECT_EQ(*second, path + ".broken-20261209-143000-2");
    EXPECT_EQ(TempDir::ReadFile(*second), "<Data/>");
    EXPECT_EQ(TempDir::ReadFile(*first), "<Data><Devices>");
}

TEST(KeptCopy, ALinkedFileIsKeptByItsContent) {
    TempDir dir;
    ASSERT_TRUE(TempDir::WriteFile(dir.file("target.xml"), "broken"));
    ASSERT_EQ(::symlink(dir.file("target.xml").c_str(), dir.file("prefs.xml").c_str()), 0);
    const auto kept = KeepBeside(dir.file("prefs.xml"), NinthOfDecember());
    ASSERT_TRUE(kept);
    EXPECT_EQ(*kept, dir.file("prefs.xml") + ".broken-20261209-143000");
    EXPECT_EQ(TempDir::ReadFile(*kept), "broken");
}

TEST(KeptCopy, NothingToKeepSaysWhy) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(KeepBeside(dir.file("missing.xml"), NinthOfDecember(), &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

}  // namespace
}  // namespace tallix::test
