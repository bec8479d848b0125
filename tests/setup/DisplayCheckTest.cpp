// Whether tallix-setup lets Qt start: a named display or an explicitly chosen platform.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/DisplayCheck.h"

namespace tallix {
namespace {

TEST(DisplayCheck, ANamedDisplayOrChosenPlatformLetsTheWindowStart) {
    EXPECT_TRUE(CanShowWindow({":0", "", ""}, {}));
    EXPECT_TRUE(CanShowWindow({"", "wayland-0", ""}, {}));
    EXPECT_TRUE(CanShowWindow({"", "", "offscreen"}, {}));
    EXPECT_TRUE(CanShowWindow({"", "", ""}, {"-platform", "offscreen"}));
    EXPECT_TRUE(CanShowWindow({"", "", ""}, {"-psn_0_1", "--platform", "vnc"}));
}

TEST(DisplayCheck, NothingNamedMeansNoWindow) {
    EXPECT_FALSE(CanShowWindow({"", "", ""}, {}));
    EXPECT_FALSE(CanShowWindow({"", "", ""}, {"-psn_0_1"}));
    EXPECT_FALSE(CanShowWindow({"", "", ""}, {"-platform"}));      // no name follows
    EXPECT_FALSE(CanShowWindow({"", "", ""}, {"-platform", ""}));  // an empty name
    EXPECT_FALSE(CanShowWindow({"", "", ""}, {"offscreen", "-platform"}));
}

TEST(DisplayCheck, MessageIsOneLine) {
    const std::string message = NoDisplayMessage();
    EXPECT_EQ(message.find('\n'), message.size() - 1);
    EXPECT_EQ(message.rfind("tallix-setup: ", 0), 0U);
}

}  // namespace
}  // namespace tallix
