#pragma once
#include <cstddef>
#include <string>
#include <sys/types.h>

namespace torv::files {

// What a name stands for when the tool is about to save over it or read it.
// Saves replace their file through a rename, which would as readily replace a
// device node or a FIFO as a file; reading a FIFO or a device can block for
// ever. Both are refused before anything is opened.
enum class Refusal {
    None,
    NotRegular,   // a device, FIFO, socket or directory
    Unresolvable, // a link loop, an unreadable link, or the name cannot be examined
    Unreadable,   // could not be opened or read (errno in `error`)
    TooLarge,     // bigger than the reader takes
};

struct Target {
    std::string path;        // the final name: links followed one at a time
    bool exists = false;
    mode_t type = 0;         // S_IFMT bits of what exists there
    Refusal refusal = Refusal::None;
    int error = 0;
    bool ok() const { return refusal == Refusal::None; }
};

// Where a save of `path` lands. A link to a name not there yet still tells
// where to create it. Refused when that name exists and is not a regular file.
Target SaveTarget(const std::string& path);

struct Contents {
    std::string bytes;
    unsigned long long size = 0; // as examined; of a file too large, more than the reader takes
    mode_t type = 0;
    Refusal refusal = Refusal::None;
    int error = 0;
    bool ok() const { return refusal == Refusal::None; }
};

// A regular file opened for reading (O_NONBLOCK set, harmless for a file),
// or -1 with the refusal in `c`. The caller closes it.
int OpenRegularFile(const std::string& path, Contents& c);

// The whole of a regular file of at most `maxBytes`. Anything else is refused
// before a read can block: the name is examined first and what was opened
// (without waiting) is examined again, in case the name changed in between.
Contents ReadRegularFile(const std::string& path, std::size_t maxBytes);

// The descriptor that a name like /dev/stdin, /dev/fd/N or /proc/self/fd/N
// stands for, opened by whoever started this program (a pipe, a shell's
// process substitution); -1 for any other name. Reading it waits for the
// writer the caller set up, not for an unknown one.
int InheritedDescriptor(const std::string& path);
// The rest of what an open descriptor gives, at most `maxBytes`.
Contents ReadDescriptor(int fd, std::size_t maxBytes);

// The directory part of a path ("." for a bare name).
std::string DirectoryOf(const std::string& path);

// What the refusal says, in the window's language ("to nie jest zwykły plik,
// lecz urządzenie"), and in torv-cli's and the logs' ("is a device, not a
// regular file"); the errno text for Unreadable.
std::string RefusalText(Refusal refusal, mode_t type, int error);
std::string RefusalTextEnglish(Refusal refusal, mode_t type, int error);

} // namespace torv::files
