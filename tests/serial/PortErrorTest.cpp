// Why a port could not be opened: each reason from the situation that gives it, its text, and
// its note in the line trace.

#include "serial/PortError.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "serial/LineSetup.h"
#include "serial/LineTrace.h"
#include "serial/SerialManager.h"
#include "tests/serial/PtyPair.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::PtyPair;
using test::TempDir;

PortError OpenFailure(const std::string& path) {
    SerialManager port;
    EXPECT_EQ(port.open(path, 9600, 8, 0, 1), -1) << path;
    return port.openError();
}

TEST(PortError, EachSituationGivesItsReason) {
    const TempDir dir;
    const PortError missing = OpenFailure(dir.file("ttyUSB7"));
    EXPECT_EQ(missing.failure, PortFailure::Missing);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.describe(), dir.file("ttyUSB7") +
                                      ": No such file or directory: check the port and that the "
                                      "printer is connected");

    // A command file given as the port, and a character device that is no terminal.
    const std::string file = dir.file("receipt.txt");
    ASSERT_TRUE(TempDir::WriteFile(file, "48;1\n"));
    for (const std::string& path : {file, std::string("/dev/null"), dir.path()}) {
        const PortError notTerminal = OpenFailure(path);
        EXPECT_EQ(notTerminal.failure, PortFailure::NotATerminal) << path;
        EXPECT_EQ(notTerminal.error, path == dir.path() ? EISDIR : ENOTTY) << path;
        EXPECT_EQ(notTerminal.text(),
                  "Not a serial port: the path is no terminal (a file, folder, FIFO or /dev/null)");
    }

    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialManager holder;  // another run on the same printer
    ASSERT_GE(holder.open(pty.path(), 9600, 8, 0, 1), 0);
    EXPECT_FALSE(holder.openError().failed());
    const PortError held = OpenFailure(pty.path());
    EXPECT_EQ(held.failure, PortFailure::InUse);
    EXPECT_EQ(held.text(),
              "Port in use: another tallix run, the set-up window or another program has it open");

    // Once the holder lets go, the port opens and no reason is left.
    holder.close();
    SerialManager next;
    ASSERT_EQ(next.open(dir.file("gone"), 9600, 8, 0, 1), -1);
    EXPECT_TRUE(next.openError().failed());
    ASSERT_GE(next.open(pty.path(), 9600, 8, 0, 1), 0);
    EXPECT_FALSE(next.openError().failed());
    EXPECT_EQ(next.openError().describe(), "");
}

// The reason a user outside the group dialout gets. Root may open anything, so as root the
// open is made by a child that has given up root first.
TEST(PortError, ADeniedPermissionSaysToJoinTheGroupDialout) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(::chmod(pty.path().c_str(), 0), 0);
    int error = 0;
    if (::geteuid() != 0) {
        error = OpenFailure(pty.path()).error;
    } else {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            constexpr uid_t kNobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                ::_exit(255);
            }
            PortError why;
            const int fd = openPort(pty.path(), 9600, 8, 0, 1, why);
            ::_exit(fd >= 0 ? 0 : why.error);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 255) {
            GTEST_SKIP() << "cannot give up root here";
        }
        error = WEXITSTATUS(status);
    }
    EXPECT_EQ(error, EACCES);
    const PortError denied = PortErrorOf(error, pty.path());
    EXPECT_EQ(denied.failure, PortFailure::PermissionDenied);
    EXPECT_EQ(denied.text(),
              "Permission denied: add the user to the group dialout and log in again");
}

TEST(PortError, ErrorsWithoutAnAdviceKeepTheirSystemText) {
    EXPECT_EQ(PortErrorOf(EPERM, "/dev/ttyS0").failure, PortFailure::PermissionDenied);
    EXPECT_EQ(PortErrorOf(EBUSY, "/dev/ttyS0").failure, PortFailure::InUse);  // TIOCEXCL
    EXPECT_EQ(PortErrorOf(ENODEV, "/dev/ttyS0").failure, PortFailure::Missing);
    const PortError io = PortErrorOf(EIO, "/dev/ttyS0");
    EXPECT_EQ(io.failure, PortFailure::Other);
    EXPECT_EQ(io.describe(), "/dev/ttyS0: Input/output error");
    EXPECT_EQ(PortError{}.text(), "");
}

TEST(PortError, TheLineTraceGetsTheReason) {
    const TempDir dir;
    const std::string trace = dir.file("trace.txt");
    ASSERT_TRUE(StartLineTrace(trace));
    (void)OpenFailure(dir.file("ttyACM3"));
    StopLineTrace();
    const std::string text = TempDir::ReadFile(trace);
    EXPECT_NE(text.find(" PORT     | " + dir.file("ttyACM3") + ": No such file or directory: "),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace tallix
