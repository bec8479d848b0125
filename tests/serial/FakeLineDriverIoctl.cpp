// ioctl, passed through except for the line speeds of termios2, which the fake driver may
// refuse or report otherwise. Only kernel headers here: <asm/termbits.h> and the C library's
// <termios.h> define the same names.

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <dlfcn.h>

#include <cerrno>
#include <cstdarg>

#include "tests/serial/FakeLineDriver.h"

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    using Function = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<Function>(::dlsym(RTLD_NEXT, "ioctl"));

    const tallix::test::FakeLineDriver* driver = tallix::test::ActiveFakeLineDriver();
    if (driver != nullptr && request == TCSETS2 && driver->refuseSpeed != 0) {
        errno = driver->refuseSpeed;
        return -1;
    }
    const int result = real(fd, request, argument);
    if (driver != nullptr && request == TCGETS2 && result == 0 && driver->reportedSpeed != 0) {
        auto* settings = static_cast<termios2*>(argument);
        settings->c_ispeed = static_cast<speed_t>(driver->reportedSpeed);
        settings->c_ospeed = static_cast<speed_t>(driver->reportedSpeed);
    }
    return result;
}
