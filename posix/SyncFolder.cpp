#include "posix/SyncFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include "posix/UniqueFd.h"

namespace tallix {

void SyncFolder(const std::string& folder) {
    const UniqueFd fd(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        (void)::fsync(fd.get());
    }
}

}  // namespace tallix
