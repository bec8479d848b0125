#include "posix/UniqueFd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tallix {
namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

int OpenNull() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

TEST(UniqueFd, ClosesOnceWhereverOwnershipEnds) {
    int seen = -1;
    {
        const UniqueFd fd(OpenNull());
        seen = fd.get();
        ASSERT_TRUE(IsOpen(seen));
    }
    EXPECT_FALSE(IsOpen(seen));  // scope end

    UniqueFd first(OpenNull());
    seen = first.get();
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first.valid());  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_EQ(second.get(), seen);
    EXPECT_TRUE(IsOpen(seen));

    UniqueFd third(OpenNull());
    const int replaced = third.get();
    third = std::move(second);  // the descriptor third held closes, seen moves in
    EXPECT_FALSE(IsOpen(replaced));
    EXPECT_TRUE(IsOpen(seen));
    third.reset();
    EXPECT_FALSE(IsOpen(seen));
    EXPECT_FALSE(third);

    UniqueFd kept(OpenNull());
    const int raw = kept.release();
    EXPECT_FALSE(kept.valid());
    EXPECT_TRUE(IsOpen(raw));  // release hands it over open
    EXPECT_TRUE(UniqueFd(raw).close());
    EXPECT_FALSE(IsOpen(raw));
}

TEST(UniqueFd, CloseReportsTheResult) {
    UniqueFd none;
    EXPECT_TRUE(none.close());  // nothing held: nothing failed

    int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    UniqueFd reader(pipeEnds[0]);
    UniqueFd writer(pipeEnds[1]);
    // Someone closed it behind the owner's back: close says so instead of passing silently.
    ASSERT_EQ(::close(writer.get()), 0);
    errno = 0;
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(writer.valid());
    EXPECT_TRUE(reader.close());
}

}  // namespace
}  // namespace tallix
