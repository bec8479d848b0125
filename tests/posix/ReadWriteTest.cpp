// Whole reads and writes against descriptors that take or give bytes in parts (pipes), and
// the failures that must come back as values.

#include "posix/ReadWrite.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "posix/UniqueFd.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

struct Pipe {
    Pipe() {
        int ends[2] = {-1, -1};
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        read.reset(ends[0]);
        write.reset(ends[1]);
    }
    UniqueFd read;
    UniqueFd write;
};

// Bytes that show their own position, so a lost or doubled part shows up.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    return bytes;
}

// Four times what a pipe holds: the writer is held up and resumed many times.
TEST(ReadWrite, EveryByteCrossesAPipeInOrder) {
    Pipe pipe;
    const std::string sent = Pattern(std::size_t{256} * 1024 + 17);
    std::optional<std::string> received;
    std::thread reader([&] { received = ReadAll(pipe.read.get()); });
    EXPECT_TRUE(WriteAll(pipe.write.get(), sent));
    pipe.write.reset();
    reader.join();
    ASSERT_TRUE(received.has_value());
    EXPECT_TRUE(*received == sent);
}

TEST(ReadWrite, ReadingStopsAtTheLimit) {
    const UniqueFd zero(::open("/dev/zero", O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(zero);
    const std::optional<std::string> bytes = ReadAll(zero.get(), 100001);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size(), 100001U);
    EXPECT_EQ(ReadAll(zero.get(), 0), std::string());
}

TEST(ReadWrite, FailuresAreValuesWithTheirErrno) {
    Pipe pipe;
    errno = 0;
    EXPECT_FALSE(ReadAll(pipe.write.get()).has_value());
    EXPECT_EQ(errno, EBADF);
    errno = 0;
    EXPECT_FALSE(WriteAll(pipe.read.get(), "x"));
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(WriteAllAt(pipe.write.get(), "x", 0));  // a pipe has no offsets
    EXPECT_EQ(errno, ESPIPE);
    EXPECT_TRUE(WriteAll(pipe.read.get(), ""));  // nothing to write is no failure
}

TEST(ReadWrite, WritingAtAnOffsetLeavesThePositionAlone) {
    const TempDir dir;
    const std::string path = dir.file("slots");
    ASSERT_TRUE(TempDir::WriteFile(path, "0123456789"));
    const UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(fd);
    ASSERT_TRUE(WriteAllAt(fd.get(), "abc", 4));
    EXPECT_EQ(::lseek(fd.get(), 0, SEEK_CUR), 0);
    EXPECT_EQ(ReadAll(fd.get()), std::string("0123abc789"));
    ASSERT_TRUE(WriteAllAt(fd.get(), "XY", 12));  // past the end: a hole of zero bytes
    EXPECT_EQ(TempDir::ReadFile(path), std::string("0123abc789\0\0XY", 14));
}

}  // namespace
}  // namespace tallix
