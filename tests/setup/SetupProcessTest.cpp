// tallix-setup as a process, alone and started by tallix, on a machine with and without a
// display.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "setup/DisplayCheck.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

namespace tallix::test {
namespace {

// The environment of a machine without a display; extra settings on top.
RunOptions NoDisplay(const std::map<std::string, std::optional<std::string>>& extra = {}) {
    RunOptions options;
    options.env = {{"DISPLAY", std::nullopt},
                   {"WAYLAND_DISPLAY", std::nullopt},
                   {"QT_QPA_PLATFORM", std::nullopt}};
    for (const auto& [name, value] : extra) {
        options.env[name] = value;
    }
    options.captureStdout = true;
    options.captureStderr = true;
    options.timeout = std::chrono::seconds(60);
    return options;
}

void ExpectNoDisplayLine(const ProcessResult& result, const std::string& shown) {
    EXPECT_EQ(result.exitCode, kExitNoDisplay) << shown;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_EQ(result.err, NoDisplayMessage()) << shown;
}

TEST(SetupProcess, WithoutADisplayBothProgramsSayItInOneLine) {
    ExpectNoDisplayLine(RunProcess(TALLIX_SETUP_PATH, {}, NoDisplay()), "tallix-setup");
    ExpectNoDisplayLine(RunProcess(TALLIX_SETUP_PATH, {"-psn_0_1"}, NoDisplay()),
                        "tallix-setup -psn_0_1");
    // tallix starts the tallix-setup next to it, which answers for both.
    ExpectNoDisplayLine(RunProcess(TALLIX_PATH, {}, NoDisplay()), "tallix");
    ExpectNoDisplayLine(RunProcess(TALLIX_PATH, {"-psn_0_1"}, NoDisplay()), "tallix -psn_0_1");
    // Empty variables name no display either.
    ExpectNoDisplayLine(
        RunProcess(TALLIX_PATH, {}, NoDisplay({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}})),
        "tallix, empty DISPLAY");
}

// With a platform chosen the window starts: it takes its own picture and quits.
TEST(SetupProcess, AChosenPlatformStartsTheWindow) {
    TempHome home;
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        std::map<std::string, std::optional<std::string>> env;
    };
    const std::string picture = dir.file("window.png");
    for (const Case& c : {Case{{"--screenshot", picture}, {{"QT_QPA_PLATFORM", "offscreen"}}},
                          Case{{"-platform", "offscreen", "--screenshot", picture}, {}}}) {
        (void)std::remove(picture.c_str());
        RunOptions options = NoDisplay(c.env);
        options.env["HOME"] = home.path();
        const ProcessResult result = RunProcess(TALLIX_SETUP_PATH, c.args, options);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        struct stat info {};
        EXPECT_EQ(::stat(picture.c_str(), &info), 0);
        EXPECT_GT(info.st_size, 0);
    }
}

// A picture taken with an unreadable preferences file keeps it and says so on standard error:
// nobody is there to read an alert.
TEST(SetupProcess, AScreenshotKeepsAnUnreadablePreferencesFile) {
    TempHome home;
    TempDir dir;
    const std::string broken = "<Data><Devices><Device SerialNumber=\"A1\"/></Devices>";
    ASSERT_TRUE(home.writePreferences(broken));
    RunOptions options = NoDisplay({{"QT_QPA_PLATFORM", "offscreen"}});
    options.env["HOME"] = home.path();
    const ProcessResult result =
        RunProcess(TALLIX_SETUP_PATH, {"--screenshot", dir.file("window.png")}, options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string said = "It was kept as " + home.preferencesFile() + ".broken-";
    const std::size_t at = result.err.find(said);
    ASSERT_NE(at, std::string::npos) << result.err;
    const std::size_t start = at + said.size() - home.preferencesFile().size() - 8;
    const std::string kept = result.err.substr(start, result.err.find(' ', start) - start);
    EXPECT_EQ(TempDir::ReadFile(kept), broken) << kept;
}

}  // namespace
}  // namespace tallix::test
