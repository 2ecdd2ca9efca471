#include "cli/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace torv::cli {

bool PrepareStandardStreams()
{
    for (const auto& [fd, flags] : {std::pair{0, O_RDONLY}, std::pair{1, O_RDONLY}, std::pair{2, O_WRONLY}})
        if (::fcntl(fd, F_GETFD) == -1 && ::open("/dev/null", flags) != fd)
            return false;
    return true;
}

bool ErrorsGoToTerminal() { return isatty(STDERR_FILENO) == 1; }

} // namespace torv::cli
