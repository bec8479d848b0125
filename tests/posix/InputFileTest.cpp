// Files read whole that are not regular files: a FIFO waits for its writer without blocking
// the open and ends on a stop; a source that never ends stops one byte past the limit.

#include "posix/InputFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "posix/UniqueFd.h"

namespace tallix {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// A fresh folder for one test, removed with what the test made in it.
class Folder {
  public:
    Folder() {
        std::string pattern = "/tmp/tallix-input-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~Folder() {
        for (const char* name : {"fifo", "file"}) {
            (void)::unlink(file(name).c_str());
        }
        (void)::rmdir(path_.c_str());
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const char* name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    return fd && WriteAll(fd.get(), bytes);
}

// An eventfd to stop a read with.
struct Stop {
    UniqueFd fd{::eventfd(0, EFD_CLOEXEC)};
    void ask() const {
        const uint64_t one = 1;
        EXPECT_EQ(::write(fd.get(), &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }
};

TEST(ReadWholeFile, AFifoWithoutAWriterEndsOnTheStop) {
    Folder folder;
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    Stop stop;
    // Asked before: the open does not wait for a writer, and the read sees the stop.
    stop.ask();
    EXPECT_EQ(ReadWholeFile(folder.file("fifo"), kMiB, stop.fd.get()).end, ReadEnd::Stopped);

    // Asked while the read waits.
    Stop later;
    std::thread asker([&later] { later.ask(); });
    const WholeFile whole = ReadWholeFile(folder.file("fifo"), kMiB, later.fd.get());
    asker.join();
    EXPECT_EQ(whole.end, ReadEnd::Stopped);
    EXPECT_TRUE(whole.bytes.empty());
}

TEST(ReadWholeFile, AFifoIsReadFromItsWriterToItsEnd) {
    Folder folder;
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "49;LINE " + std::to_string(i) + ";0;1;1.00;1;0;0\n";  // more than a pipe holds
    }
    // The writer comes after the reader has opened: the read waits for it.
    std::thread writer([&] {
        const UniqueFd fd(::open(fifo.c_str(), O_WRONLY | O_CLOEXEC));
        EXPECT_TRUE(fd && WriteAll(fd.get(), text));
    });
    Stop stop;
    const WholeFile whole = ReadWholeFile(fifo, 64 * kMiB, stop.fd.get());
    writer.join();
    EXPECT_EQ(whole.end, ReadEnd::Complete);
    EXPECT_EQ(whole.bytes, text);
}

TEST(ReadWholeFile, SourcesThatNeverEndStopOneBytePastTheLimit) {
    EXPECT_EQ(ReadWholeFile("/dev/zero", kMiB).end, ReadEnd::TooLong);
    EXPECT_EQ(ReadWholeFile("/dev/zero", 3 * kMiB + 5).end, ReadEnd::TooLong);

    // A pipe of exactly the limit is whole; one byte more is too long.
    for (const std::size_t extra : {std::size_t{0}, std::size_t{1}}) {
        int ends[2];
        ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        UniqueFd readEnd(ends[0]);
        UniqueFd writeEnd(ends[1]);
        const std::string bytes(kMiB + 10 + extra, 'x');
        std::thread writer([&] {
            EXPECT_TRUE(WriteAll(writeEnd.get(), bytes));
            writeEnd.reset();
        });
        // The read takes every byte either way: the limit's and the one past it.
        const WholeFile whole =
            ReadWholeFile("/proc/self/fd/" + std::to_string(readEnd.get()), kMiB + 10);
        writer.join();
        EXPECT_EQ(whole.end, extra == 0 ? ReadEnd::Complete : ReadEnd::TooLong) << extra;
        if (extra == 0) {
            EXPECT_EQ(whole.bytes, bytes);
        }
    }
}

TEST(ReadWholeFile, RegularFilesUpToTheLimitFoldersAndMissingFiles) {
    Folder folder;
    const std::string file = folder.file("file");
    ASSERT_TRUE(WriteFile(file, std::string(1000, 'a')));
    const WholeFile whole = ReadWholeFile(file, 1000);
    EXPECT_EQ(whole.end, ReadEnd::Complete);
    EXPECT_EQ(whole.bytes, std::string(1000, 'a'));
    EXPECT_EQ(ReadWholeFile(file, 999).end, ReadEnd::TooLong);
    ASSERT_TRUE(WriteFile(file, ""));
    EXPECT_EQ(ReadWholeFile(file, 999).end, ReadEnd::Complete);

    const WholeFile isFolder = ReadWholeFile(folder.path(), kMiB);
    EXPECT_EQ(isFolder.end, ReadEnd::Failed);
    EXPECT_EQ(isFolder.error, EISDIR);
    const WholeFile missing = ReadWholeFile(folder.file("missing"), kMiB);
    EXPECT_EQ(missing.end, ReadEnd::Failed);
    EXPECT_EQ(missing.error, ENOENT);
}

TEST(IsSpecialFile, FifosAndDevicesButNotRegularOrMissingFiles) {
    Folder folder;
    ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
    ASSERT_TRUE(WriteFile(folder.file("file"), "x"));
    EXPECT_TRUE(IsSpecialFile(folder.file("fifo")));
    EXPECT_TRUE(IsSpecialFile("/dev/zero"));
    EXPECT_FALSE(IsSpecialFile(folder.file("file")));
    EXPECT_FALSE(IsSpecialFile(folder.file("missing")));
}

}  // namespace
}  // namespace tallix
