// A line that does not take its settings is not opened: the port fails with the reason, the
// lock is let go and nothing is written, instead of the run going on at whatever speed or
// character format the line had and blaming the printer for the noise. The driver that
// refuses is stood in by interposition (tests/serial/FakeLineDriver.h); the line is a
// pseudo-terminal.

#include <poll.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "serial/LineSetup.h"
#include "serial/SerialManager.h"
#include "serial/Termios2Speed.h"
#include "tests/serial/FakeLineDriver.h"
#include "tests/serial/PtyLine.h"
#include "tests/serial/PtyPair.h"

namespace tallix {
namespace {

using test::FakeLineDriver;
using test::FakeLineDriverScope;
using test::PtyLine;
using test::PtyPair;

// Opens the pseudo-terminal at speed with driver in force; the reason, none when it opened.
PortError OpenWith(const PtyPair& pty, const FakeLineDriver& driver, int speed) {
    SerialManager port;
    const FakeLineDriverScope scope(driver);
    const int fd = port.open(pty.path(), speed, 8, 0, 1);
    EXPECT_EQ(fd < 0, port.openError().failed());
    return port.openError();
}

// The refused open left nothing behind: no byte on the line, and the port opens again with
// the real driver.
void ExpectLeftAlone(const PtyPair& pty) {
    pollfd line{pty.master(), POLLIN, 0};
    (void)poll(&line, 1, 0);  // a hang-up (nobody has the port open) is no byte
    EXPECT_EQ(line.revents & POLLIN, 0) << "a byte was written";
    SerialManager next;
    EXPECT_GE(next.open(pty.path(), 9600, 8, 0, 1), 0) << next.openError().describe();
}

TEST(LineRefusal, SettingsTheDriverRefusesFailTheOpenWithItsError) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    FakeLineDriver driver;
    driver.refuseSettings = EIO;
    const PortError refused = OpenWith(pty, driver, 9600);
    EXPECT_EQ(refused.failure, PortFailure::LineSettings);
    EXPECT_EQ(refused.describe(),
              pty.path() +
                  ": Input/output error: the port refused the line settings (9600 baud "
                  "8N1)");
    ExpectLeftAlone(pty);

    // A speed without a termios constant goes through termios2.
    driver = FakeLineDriver{};
    driver.refuseSpeed = EINVAL;
    EXPECT_EQ(OpenWith(pty, driver, 31250).text(),
              "Invalid argument: the port refused the line settings (31250 baud 8N1)");
    ExpectLeftAlone(pty);
}

TEST(LineRefusal, ALineThatKeepsAnotherSpeedOrFormatFailsTheOpen) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    // The driver took the call but the line still runs at the speed it had.
    FakeLineDriver driver;
    driver.reportedSpeed = 38400;
    const PortError kept = OpenWith(pty, driver, 9600);
    EXPECT_EQ(kept.failure, PortFailure::LineSettings);
    EXPECT_EQ(kept.error, 0);
    EXPECT_EQ(kept.text(),
              "The port did not keep the line settings: it runs at 38400 baud, not 9600");
    ExpectLeftAlone(pty);

    // A driver that falls back to 9600 for a speed it cannot divide to.
    driver.reportedSpeed = 9600;
    EXPECT_EQ(OpenWith(pty, driver, 250000).text(),
              "The port did not keep the line settings: it runs at 9600 baud, not 250000");

    driver = FakeLineDriver{};
    driver.reportedDataBits = 7;
    EXPECT_EQ(OpenWith(pty, driver, 9600).text(),
              "The port did not keep the line settings: it runs 7N1, not 8N1");
    ExpectLeftAlone(pty);
}

// A driver that cannot divide its clock exactly reports the speed it set; a little off still
// frames every byte.
TEST(LineRefusal, ASpeedSlightlyOffIsTheSpeed) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    FakeLineDriver driver;
    driver.reportedSpeed = 9696;  // 1 % off
    EXPECT_FALSE(OpenWith(pty, driver, 9600).failed());
    driver.reportedSpeed = 9408;  // 2 % off
    EXPECT_FALSE(OpenWith(pty, driver, 9600).failed());
    driver.reportedSpeed = 9407;
    EXPECT_TRUE(OpenWith(pty, driver, 9600).failed());

    EXPECT_TRUE(SpeedMatches(115200, 117000));
    EXPECT_FALSE(SpeedMatches(115200, 57600));
    EXPECT_FALSE(SpeedMatches(9600, 0));
    EXPECT_FALSE(SpeedMatches(9600, -1));
}

// No speed asked (0): the line keeps the one it has, as before; only the format is checked.
TEST(LineRefusal, NoSpeedAskedChecksTheFormatOnly) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    FakeLineDriver driver;
    driver.reportedSpeed = 38400;
    EXPECT_FALSE(OpenWith(pty, driver, 0).failed());
    driver.reportedDataBits = 7;
    EXPECT_EQ(OpenWith(pty, driver, 0).text(),
              "The port did not keep the line settings: it runs 7N1, not 8N1");
}

TEST(LineRefusal, ASpeedChangeOnAnOpenLineIsReadBack) {
    PtyLine line;
    auto& [pty, port, fd] = line;
    ASSERT_GE(fd, 0);
    {
        FakeLineDriver driver;
        driver.reportedSpeed = 9600;  // the driver kept the old speed
        const FakeLineDriverScope scope(driver);
        EXPECT_FALSE(port.setSpeed(19200));
    }
    {
        FakeLineDriver driver;
        driver.refuseSpeed = EINVAL;
        const FakeLineDriverScope scope(driver);
        EXPECT_FALSE(port.setSpeed(31250));
    }
    EXPECT_TRUE(port.setSpeed(31250));
    EXPECT_EQ(GetLineSpeed(fd), 31250);
}

}  // namespace
}  // namespace tallix
