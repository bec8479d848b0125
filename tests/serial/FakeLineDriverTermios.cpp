// The C library's terminal calls, passed through or answered as the fake driver says.

#include <dlfcn.h>
#include <termios.h>

#include <atomic>
#include <cerrno>

#include "serial/StandardSpeed.h"
#include "tests/serial/FakeLineDriver.h"

namespace tallix::test {
namespace {

std::atomic<const FakeLineDriver*> active{nullptr};

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

const FakeLineDriver* ActiveFakeLineDriver() {
    return active.load();
}

FakeLineDriverScope::FakeLineDriverScope(const FakeLineDriver& driver) {
    active.store(&driver);
}

FakeLineDriverScope::~FakeLineDriverScope() {
    active.store(nullptr);
}

}  // namespace tallix::test

extern "C" int tcsetattr(int fd, int actions, const struct termios* settings) noexcept {
    using Function = int (*)(int, int, const struct termios*);
    static const auto real = tallix::test::Real<Function>("tcsetattr");
    const tallix::test::FakeLineDriver* driver = tallix::test::ActiveFakeLineDriver();
    if (driver != nullptr && driver->refuseSettings != 0) {
        errno = driver->refuseSettings;
        return -1;
    }
    return real(fd, actions, settings);
}

extern "C" int tcgetattr(int fd, struct termios* settings) noexcept {
    using Function = int (*)(int, struct termios*);
    static const auto real = tallix::test::Real<Function>("tcgetattr");
    const int result = real(fd, settings);
    const tallix::test::FakeLineDriver* driver = tallix::test::ActiveFakeLineDriver();
    if (result != 0 || driver == nullptr) {
        return result;
    }
    if (driver->reportedDataBits != 0) {
        settings->c_cflag &= ~CSIZE;
        settings->c_cflag |= driver->reportedDataBits == 7 ? CS7 : CS8;
    }
    // The speed as the kernel puts it in the flags: its constant, or "other" (the speed is
    // then read through termios2).
    if (driver->reportedSpeed != 0) {
        speed_t constant = 0;
        if (tallix::StandardSpeed(driver->reportedSpeed, constant)) {
            (void)cfsetospeed(settings, constant);
            (void)cfsetispeed(settings, constant);
        } else {
            settings->c_cflag = (settings->c_cflag & ~CBAUD) | CBAUDEX;
        }
    }
    return result;
}
