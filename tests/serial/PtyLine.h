#pragma once

// A port opened on a fresh pseudo-terminal with the settings a line test takes unless it tests
// them: 9600 baud, 8N1.

#include "serial/SerialManager.h"
#include "tests/serial/PtyPair.h"

namespace tallix::test {

// Members in this order, so that the port closes before the far end goes.
struct PtyLine {
    PtyPair pty;
    SerialManager port;
    // The port's descriptor; -1 when the pseudo-terminal or the open failed.
    int fd = pty.ok() ? port.open(pty.path(), 9600, 8, 0, 1) : -1;
};

}  // namespace tallix::test
