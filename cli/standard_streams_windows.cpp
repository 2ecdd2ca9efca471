#include "cli/standard_streams.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

namespace torv::cli {

// Files and the port are opened as the system's handles, which never take
// the standard streams' places: nothing to hold. The texts are UTF-8.
bool PrepareStandardStreams()
{
    SetConsoleOutputCP(CP_UTF8);
    return true;
}

bool ErrorsGoToTerminal() { return _isatty(_fileno(stderr)) != 0; }

} // namespace torv::cli
