#pragma once

// A serial driver that refuses settings or does not keep them, stood in for the real one by
// interposition: the test binary that links FakeLineDriverTermios.cpp and
// FakeLineDriverIoctl.cpp defines tcsetattr, tcgetattr and ioctl itself, so the port code in
// it calls these and they call the C library's. A pseudo-terminal takes every setting; real
// USB adapters do not (a driver that cannot set a speed keeps the old one or falls back to
// 9600 and says so only when asked).
//
// While no FakeLineDriverScope lives, every call goes straight through.

#include <cstdint>

namespace tallix::test {

struct FakeLineDriver {
    int refuseSettings = 0;     // errno that tcsetattr fails with (0: it does not fail)
    int refuseSpeed = 0;        // errno that setting a speed through termios2 fails with
    int64_t reportedSpeed = 0;  // the speed the line reports, in its flags and through termios2
                                // (0: the real one)
    int reportedDataBits = 0;   // the data bits tcgetattr reports (0: the real ones)
};

// The driver in force; nullptr: the real one.
const FakeLineDriver* ActiveFakeLineDriver();

// Puts driver in force for one scope.
class FakeLineDriverScope {
  public:
    explicit FakeLineDriverScope(const FakeLineDriver& driver);
    ~FakeLineDriverScope();
    FakeLineDriverScope(const FakeLineDriverScope&) = delete;
    FakeLineDriverScope& operator=(const FakeLineDriverScope&) = delete;
};

}  // namespace tallix::test
