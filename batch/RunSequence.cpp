#include "batch/RunSequence.h"

#include "batch/ExitCodes.h"

namespace tallix {

int RunBatch(const Options& options) {
    // Completion, the device stage and the command run are not in place yet.
    (void)options;
    return kExitOk;
}

}  // namespace tallix
