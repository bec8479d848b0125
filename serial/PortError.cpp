#include "serial/PortError.h"

#include <cerrno>

#include "posix/ErrnoText.h"

namespace tallix {

std::string PortError::text() const {
    switch (failure) {
        case PortFailure::None:
            return {};
        case PortFailure::Missing:
            return ErrnoText(error) + ": check the port and that the printer is connected";
        case PortFailure::PermissionDenied:
            return ErrnoText(error) + ": add the user to the group dialout and log in again";
        case PortFailure::InUse:
            return "Port in use: another tallix run, the set-up window or another program has "
                   "it open";
        case PortFailure::NotATerminal:
            return "Not a serial port: the path is no terminal (a file, folder, FIFO or "
                   "/dev/null)";
        case PortFailure::NotListed:
            return "No such serial port: no port's name begins with this text";
        case PortFailure::NoPortGiven:
            return "no port given";
        case PortFailure::LineSettings:
            if (error != 0) {
                return ErrnoText(error) + ": the port refused the line settings (" + detail + ")";
            }
            return "The port did not keep the line settings: " + detail;
        case PortFailure::Other:
            break;
    }
    return ErrnoText(error);
}

std::string PortError::describe() const {
    if (!failed()) {
        return {};
    }
    return port.empty() ? text() : port + ": " + text();
}

PortError PortErrorOf(int error, const std::string& path) {
    PortError reason;
    reason.error = error;
    reason.port = path;
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            reason.failure = PortFailure::Missing;
            break;
        case EACCES:
        case EPERM:
            reason.failure = PortFailure::PermissionDenied;
            break;
        case EWOULDBLOCK:  // the lock of another port object
        case EBUSY:        // opened exclusively (TIOCEXCL) by another program
            reason.failure = PortFailure::InUse;
            break;
        case ENOTTY:
        case EISDIR:
            reason.failure = PortFailure::NotATerminal;
            break;
        default:
            reason.failure = PortFailure::Other;
            break;
    }
    return reason;
}

}  // namespace tallix
