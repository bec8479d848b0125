// Opening, closing, hang-up and exclusive use of a line.

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "serial/SerialManager.h"
#include "serial/Termios2Speed.h"
#include "tests/serial/PtyLine.h"
#include "tests/serial/PtyPair.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::PtyLine;
using test::PtyPair;
using test::TempDir;

TEST(LineLifecycle, ClosedLineDoesNothing) {
    SerialManager port;
    EXPECT_EQ(port.fileDescriptor(), -1);
    port.setRTS(true);
    port.setDTR(false);
    EXPECT_EQ(port.getTermios(), 0);
    EXPECT_FALSE(port.setSpeed(9600));
    EXPECT_EQ(port.write(reinterpret_cast<const uint8_t*>("x"), 1), 0);
    EXPECT_EQ(port.readByte(0.01), -1);
    port.close();
    port.clear();
    EXPECT_EQ(port.open("/nonexistent/tty", 9600, 8, 0, 1), -1);
    EXPECT_EQ(port.fileDescriptor(), -1);
}

TEST(LineLifecycle, CloseEndsTheReadingThreadWhileNoDataComes) {
    PtyLine line;
    auto& [pty, port, fd] = line;
    ASSERT_GE(fd, 0);
    EXPECT_EQ(port.fileDescriptor(), fd);
    port.close();  // returns only once the thread has ended
    EXPECT_EQ(port.fileDescriptor(), -1);

    // The same object opens again, with a fresh, empty buffer and a new thread.
    ASSERT_GE(port.open(pty.path(), 9600, 8, 0, 1), 0);
    ASSERT_TRUE(pty.send("z"));
    EXPECT_EQ(port.readByte(5), 'z');
}

TEST(LineLifecycle, SecondOpenOnAnOpenObjectIsRefused) {
    PtyLine line;
    auto& [pty, port, fd] = line;
    ASSERT_GE(fd, 0);
    PtyPair other;
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(port.open(other.path(), 9600, 8, 0, 1), -1);
    EXPECT_EQ(port.fileDescriptor(), fd) << "the open line stays in use";
    ASSERT_TRUE(pty.send("q"));
    EXPECT_EQ(port.readByte(5), 'q');
}

TEST(LineLifecycle, HangUpOfTheOtherEndEndsTheReadingThread) {
    PtyLine line;
    auto& [pty, port, fd] = line;
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(pty.send("a"));
    ASSERT_EQ(port.readByte(5), 'a');
    pty.closeMaster();

    // Reads just time out (bench/IdleLineBench.cpp measures that they do not spin).
    EXPECT_EQ(port.readByte(0.05), -1);
    EXPECT_LT(port.write(reinterpret_cast<const uint8_t*>("abc"), 3), 3);
    port.close();
    EXPECT_EQ(port.fileDescriptor(), -1);
}

// Only a terminal can carry the printer. Anything else is refused before a byte is written:
// a command file named as the port by mistake keeps its content, a FIFO gets nothing, and
// /dev/zero (which never stops giving bytes) is not drained.
TEST(LineLifecycle, APathThatIsNoTerminalIsRefusedAndGetsNoByte) {
    TempDir dir;
    const std::string file = dir.file("commands.txt");
    const std::string fifo = dir.file("fifo");
    ASSERT_TRUE(TempDir::WriteFile(file, "49;PAINE;0;1;2.50;1;0;0\n"));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    for (const std::string& path :
         {file, fifo, dir.path(), std::string("/dev/null"), std::string("/dev/zero")}) {
        SerialManager port;
        EXPECT_EQ(port.open(path, 9600, 8, 0, 1), -1) << path;
        EXPECT_EQ(port.fileDescriptor(), -1) << path;
    }
    EXPECT_EQ(TempDir::ReadFile(file), "49;PAINE;0;1;2.50;1;0;0\n");
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0) << "a byte came through the FIFO";
    ::close(reader);
}

TEST(LineLifecycle, NonStandardSpeeds) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialManager port;
    const int fd = port.open(pty.path(), 250000, 8, 0, 1);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(GetLineSpeed(fd), 250000);
    EXPECT_TRUE(port.setSpeed(31250));
    EXPECT_EQ(GetLineSpeed(fd), 31250);
    EXPECT_TRUE(port.setSpeed(19200));
    EXPECT_EQ(GetLineSpeed(fd), 19200);
    EXPECT_FALSE(port.setSpeed(0));
    EXPECT_FALSE(port.setSpeed(-5));
}

TEST(ExclusiveLine, TwoObjectsCannotHoldOnePort) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialManager first;
    SerialManager second;
    ASSERT_GE(first.open(pty.path(), 9600, 8, 0, 1), 0);
    EXPECT_EQ(second.open(pty.path(), 9600, 8, 0, 1), -1);
    EXPECT_EQ(second.fileDescriptor(), -1);
    first.close();
    EXPECT_GE(second.open(pty.path(), 9600, 8, 0, 1), 0);
}

// The child only makes system calls between fork and _exit.
TEST(ExclusiveLine, TwoProcessesCannotHoldOnePort) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);

    // Another process holds the port: this one cannot open it.
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char held = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
        (void)!::write(toParent[1], &held, 1);
        char done = 0;
        (void)!::read(toChild[0], &done, 1);
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(toParent[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');
    SerialManager port;
    EXPECT_EQ(port.open(pty.path(), 9600, 8, 0, 1), -1);
    const char done = 'x';
    ASSERT_EQ(::write(toChild[1], &done, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);

    // This process holds it: another cannot take it.
    ASSERT_GE(port.open(pty.path(), 9600, 8, 0, 1), 0);
    const pid_t taker = fork();
    ASSERT_GE(taker, 0);
    if (taker == 0) {
        const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK ? 0 : 1);
    }
    ASSERT_EQ(waitpid(taker, &status, 0), taker);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) {
        ::close(fd);
    }
}

class WatchingDelegate : public SerialManagerDelegate {
  public:
    bool respondsToControlFlagsChanged() const override { return true; }
    void controlFlagsChanged(int) override { ++changes; }
    std::atomic<int> changes{0};
};

TEST(ModemLineWatcher, StartsAndStopsWithTheDelegate) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    WatchingDelegate delegate;
    SerialManager port;
    port.setDelegate(&delegate);
    EXPECT_EQ(port.delegate(), &delegate);
    EXPECT_EQ(port.notificationDescriptor(), -1) << "this delegate does not want port notices";
    port.setDelegate(&delegate);  // a second install starts no second watcher
    ASSERT_GE(port.open(pty.path(), 9600, 8, 0, 1), 0);
    // A pseudo-terminal has no modem lines to report; the watcher must still share the line
    // with the reading thread and the caller.
    ASSERT_TRUE(pty.send("m"));
    EXPECT_EQ(port.readByte(5), 'm');
    port.setDelegate(nullptr);  // joins the watcher, from its 0.25 s pause
    EXPECT_EQ(port.delegate(), nullptr);
    port.setDelegate(&delegate);  // and it starts again; the destructor stops it
    // A pseudo-terminal has no modem lines (TIOCMGET fails), so nothing may be reported.
    EXPECT_EQ(delegate.changes.load(), 0);
}

}  // namespace
}  // namespace tallix
