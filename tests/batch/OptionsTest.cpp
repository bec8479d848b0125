#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "batch/Options.h"

namespace tallix {
namespace {

using Args = std::vector<std::string>;

TEST(ChooseMode, SetupOnlyForNoArgumentsOrOneProcessSerialNumber) {
    EXPECT_EQ(ChooseMode({}), Mode::Setup);
    EXPECT_EQ(ChooseMode({"-psn"}), Mode::Setup);
    EXPECT_EQ(ChooseMode({"-psn_0_12345"}), Mode::Setup);
    EXPECT_EQ(ChooseMode({"-psn_0_1", "-i"}), Mode::Batch);
    EXPECT_EQ(ChooseMode({"-ps"}), Mode::Batch);
    EXPECT_EQ(ChooseMode({"-PSN"}), Mode::Batch);
    EXPECT_EQ(ChooseMode({"-x"}), Mode::Batch);
    EXPECT_EQ(ChooseMode({""}), Mode::Batch);
    EXPECT_EQ(ChooseMode({"--help"}), Mode::Help);
    EXPECT_EQ(ChooseMode({"--version"}), Mode::Version);
    EXPECT_EQ(ChooseMode({"--help", "-i"}), Mode::Batch);
    EXPECT_EQ(ChooseMode({"-i", "--version"}), Mode::Batch);
}

TEST(ChooseMode, PortCommandsOnlyWhereTheyCannotChangeABatchRun) {
    EXPECT_EQ(ChooseMode({"--list-ports"}), Mode::ListPorts);
    EXPECT_EQ(ChooseMode({"--list-ports", "-i", "x"}), Mode::Batch);
    EXPECT_EQ(ChooseMode({"-i", "x", "--list-ports"}), Mode::Batch);
    EXPECT_EQ(ChooseMode({"--detect"}), Mode::Detect);
    EXPECT_EQ(ChooseMode({"--detect", "--all-ids", "ttyUSB0", "/dev/ttyS0"}), Mode::Detect);
    EXPECT_EQ(ChooseMode({"-i", "x", "--detect"}), Mode::Batch);
    EXPECT_EQ(ChooseMode({"--all-ids", "--detect"}), Mode::Batch);
}

TEST(ScanOptions, EveryOptionInBothCases) {
    const Options lower =
        ScanOptions({"-i", "/tmp/in", "-o", "/tmp/out", "-t", "VX-37", "-k", "shop", "-p", "ttyUSB",
                     "-s", "9600", "-l", "7", "-c", "RO", "-n", "AB12345678"});
    EXPECT_EQ(lower.commandFilePath, "/tmp/in");
    EXPECT_EQ(lower.resultFilePath, "/tmp/out");
    EXPECT_EQ(lower.deviceType, "VX-37");
    EXPECT_EQ(lower.deviceKey, "shop");
    EXPECT_EQ(lower.portName, "ttyUSB");
    EXPECT_EQ(lower.speedText, "9600");
    EXPECT_EQ(lower.speed, 9600);
    EXPECT_EQ(lower.logicalIDText, "7");
    EXPECT_EQ(lower.logicalID, 7);
    EXPECT_EQ(lower.country, "RO");
    EXPECT_EQ(lower.serialNumber, "AB12345678");
    EXPECT_FALSE(lower.serialNumberOnly);
    EXPECT_TRUE(lower.IsComplete());

    const Options upper =
        ScanOptions({"-I", "/tmp/in", "-O", "/tmp/out", "-T", "VX-37", "-K", "shop", "-P", "ttyUSB",
                     "-S", "9600", "-L", "7", "-C", "RO", "-N", "AB12345678"});
    EXPECT_EQ(upper.commandFilePath, lower.commandFilePath);
    EXPECT_EQ(upper.resultFilePath, lower.resultFilePath);
    EXPECT_EQ(upper.deviceKey, lower.deviceKey);
    EXPECT_EQ(upper.speed, lower.speed);
    EXPECT_EQ(upper.serialNumber, lower.serialNumber);
    EXPECT_TRUE(upper.IsComplete());
}

TEST(ScanOptions, ValuesAreTakenAsTheOptionTableSays) {
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    setenv("HOME", "/home/kasa", 1);
    const Options options = ScanOptions({"-i", "~/jobs/./in.txt", "-o", "out//r.txt/", "-p",
                                         "~/port/", "-s", " 19200x", "-l", "abc", "-t", "vx-37"});
    EXPECT_EQ(options.commandFilePath, "/home/kasa/jobs/in.txt");
    EXPECT_EQ(options.resultFilePath, "out/r.txt");
    EXPECT_EQ(options.portName, "~/port/");  // not a path: unchanged
    EXPECT_EQ(options.speed, 19200);
    EXPECT_EQ(options.logicalIDText, "abc");
    EXPECT_EQ(options.logicalID, 0);
    EXPECT_EQ(options.deviceType, "vx-37");
    EXPECT_FALSE(options.IsComplete());
    if (oldHome != nullptr) {
        setenv("HOME", savedHome.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
}

TEST(ScanOptions, OptionFollowedByOptionIsIgnored) {
    const Options options = ScanOptions({"-i", "-o", "/tmp/out"});
    EXPECT_EQ(options.commandFilePath, "");
    EXPECT_EQ(options.resultFilePath, "/tmp/out");
    EXPECT_EQ(ValidateOptions(options), kExitNoCommandFile);

    // A value may not begin with "-", even when it is not an option.
    const Options dashed = ScanOptions({"-i", "-in.txt", "-o", "out"});
    EXPECT_EQ(dashed.commandFilePath, "");
    EXPECT_EQ(dashed.resultFilePath, "out");
}

TEST(ScanOptions, SerialNumberOptionWithAndWithoutValue) {
    const Options withValue = ScanOptions({"-n", "123", "-i", "a", "-o", "b"});
    EXPECT_EQ(withValue.serialNumber, "123");
    EXPECT_FALSE(withValue.serialNumberOnly);
    EXPECT_EQ(withValue.commandFilePath, "a");

    EXPECT_TRUE(ScanOptions({"-i", "a", "-o", "b", "-n"}).serialNumberOnly);
    EXPECT_TRUE(ScanOptions({"-i", "a", "-o", "b", "-N"}).serialNumberOnly);
    const Options beforeOption = ScanOptions({"-n", "-i", "a"});
    EXPECT_TRUE(beforeOption.serialNumberOnly);
    EXPECT_EQ(beforeOption.commandFilePath, "a");
    // Once set, the mode stays set.
    const Options both = ScanOptions({"-n", "-n", "42"});
    EXPECT_TRUE(both.serialNumberOnly);
    EXPECT_EQ(both.serialNumber, "42");
}

TEST(ScanOptions, LastValueCountsAndUnknownArgumentsAreSkipped) {
    const Options options = ScanOptions(
        {"-i", "first", "-x", "-in", "other", "-I", "second", "i", "--i", "-s", "1", "-S", "2"});
    EXPECT_EQ(options.commandFilePath, "second");
    EXPECT_EQ(options.speed, 2);
    // "-in" is not "-i": its next argument is not taken as a command file.
    EXPECT_EQ(ScanOptions({"-in", "file"}).commandFilePath, "");
    EXPECT_EQ(ScanOptions({"-i"}).commandFilePath, "");
    // An option's value is consumed and never scanned as an option itself.
    const Options consumed = ScanOptions({"-k", "-o"});
    EXPECT_EQ(consumed.deviceKey, "");
    const Options valueLooksLikeOption = ScanOptions({"-k", "o", "-o", "r"});
    EXPECT_EQ(valueLooksLikeOption.deviceKey, "o");
    EXPECT_EQ(valueLooksLikeOption.resultFilePath, "r");
}

TEST(ValidateOptions, CommandFileIsCheckedFirst) {
    EXPECT_EQ(ValidateOptions(ScanOptions({"-x"})), kExitNoCommandFile);
    EXPECT_EQ(ValidateOptions(ScanOptions({"-o", "r"})), kExitNoCommandFile);
    EXPECT_EQ(ValidateOptions(ScanOptions({"-i", "c"})), kExitNoResultFile);
    EXPECT_EQ(ValidateOptions(ScanOptions({"-i", "c", "-o", "r"})), kExitOk);
}

}  // namespace
}  // namespace tallix
