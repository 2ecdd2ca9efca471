#pragma once

namespace torv::cli {

// Readies stdin, stdout and stderr before anything else is opened. On POSIX
// a descriptor 0..2 started closed would be taken by the next file opened,
// the serial port among them, and results printed onto the line: each is
// held on /dev/null (stdout read-only, so a result written there fails as it
// should). On Windows the console is switched to UTF-8 for the texts.
// False when that could not be done.
bool PrepareStandardStreams();

// True when stderr is a terminal, where a progress line can be redrawn.
bool ErrorsGoToTerminal();

} // namespace torv::cli
