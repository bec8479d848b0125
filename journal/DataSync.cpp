#include "journal/DataSync.h"

#include <linux/aio_abi.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace tallix {

DataSync::DataSync() {
    aio_context_t context = 0;
    if (::syscall(SYS_io_setup, 1, &context) == 0) {
        context_ = context;
    }
}

DataSync::~DataSync() {
    (void)Wait();
    if (context_ != 0) {
        (void)::syscall(SYS_io_destroy, static_cast<aio_context_t>(context_));
    }
}

bool DataSync::Start(int fd) {
    if (context_ == 0 || pending_ || fd < 0) {
        return false;
    }
    iocb request{};
    request.aio_fildes = static_cast<uint32_t>(fd);
    request.aio_lio_opcode = IOCB_CMD_FDSYNC;
    iocb* requests[1] = {&request};
    if (::syscall(SYS_io_submit, static_cast<aio_context_t>(context_), 1, requests) != 1) {
        return false;
    }
    pending_ = true;
    return true;
}

bool DataSync::Wait() {
    if (!pending_) {
        return true;
    }
    io_event event{};
    long got = 0;
    do {
        got = ::syscall(SYS_io_getevents, static_cast<aio_context_t>(context_), 1, 1, &event,
                        nullptr);
    } while (got < 0 && errno == EINTR);
    pending_ = false;
    if (got != 1) {
        errno = got < 0 ? errno : EIO;
        return false;
    }
    if (event.res != 0) {
        errno = event.res < 0 ? static_cast<int>(-event.res) : EIO;
        return false;
    }
    return true;
}

}  // namespace tallix
