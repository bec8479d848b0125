#include "posix/SystemLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallix {
namespace {

TEST(SystemLog, LinesGoToTheSinkInPlaceAndTheOldSinkComesBack) {
    std::vector<std::string> first;
    std::vector<std::string> second;
    const SystemLogSink before =
        SetSystemLogSink([&](const std::string& line) { first.push_back(line); });
    LogToSystem("one");
    const SystemLogSink mine =
        SetSystemLogSink([&](const std::string& line) { second.push_back(line); });
    LogToSystem("two");
    (void)SetSystemLogSink(mine);
    LogToSystem("three");
    (void)SetSystemLogSink(before);
    EXPECT_EQ(first, (std::vector<std::string>{"one", "three"}));
    EXPECT_EQ(second, std::vector<std::string>{"two"});
}

}  // namespace
}  // namespace tallix
