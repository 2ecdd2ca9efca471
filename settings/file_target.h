#pragma once
#include <cstddef>
#include <string>

namespace torv::files {

// What a name stands for when the tool is about to save over it or read it.
// Saves replace their file through a rename, which would as readily replace a
// device node or a FIFO as a file; reading a FIFO or a device can block for
// ever. Both are refused before anything is opened.
// On Windows the reserved device names (CON, NUL, COM1, ... in the last part
// of a path, with any extension) and \\.\ or \\?\ paths count as devices.
enum class Refusal {
    None,
    NotRegular,   // a device, FIFO, socket or directory
    Unresolvable, // a link loop, an unreadable link, or the name cannot be examined
    Unreadable,   // could not be opened or read (the system's error number in `error`)
    TooLarge,     // bigger than the reader takes
};

// What exists under a name, in the same words on every system.
enum class FileKind { None, Regular, Device, Fifo, Directory, Socket, Other };

struct Target {
    std::string path;        // the final name: links followed one at a time
    bool exists = false;
    FileKind type = FileKind::None; // what exists there
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
    FileKind type = FileKind::None;
    Refusal refusal = Refusal::None;
    int error = 0;
    bool ok() const { return refusal == Refusal::None; }
};

// A regular file opened for reading (O_NONBLOCK set, harmless for a file),
// or -1 with the refusal in `c`; its size in `c.size`. The caller closes it
// (CloseDescriptor).
int OpenRegularFile(const std::string& path, Contents& c);
// Reads what comes next, at most `n` bytes, into `buffer`: 0 with the count
// in `got` (0 at the end), or the system's error number.
int ReadFromDescriptor(int fd, char* buffer, std::size_t n, std::size_t& got);
void CloseDescriptor(int fd);

// The whole of a regular file of at most `maxBytes`. Anything else is refused
// before a read can block: the name is examined first and what was opened
// (without waiting) is examined again, in case the name changed in between.
Contents ReadRegularFile(const std::string& path, std::size_t maxBytes);

// The descriptor that a name like /dev/stdin, /dev/fd/N or /proc/self/fd/N
// stands for, opened by whoever started this program (a pipe, a shell's
// process substitution); -1 for any other name, and always on Windows.
// Reading it waits for the writer the caller set up, not for an unknown one.
int InheritedDescriptor(const std::string& path);
// The rest of what an open descriptor gives, at most `maxBytes`.
Contents ReadDescriptor(int fd, std::size_t maxBytes);

// The directory part of a path ("." for a bare name).
std::string DirectoryOf(const std::string& path);

// What the refusal says, in the window's language ("to nie jest zwykły plik,
// lecz urządzenie"), and in torv-cli's and the logs' ("is a device, not a
// regular file"); the system's text of `error` for Unreadable.
std::string RefusalText(Refusal refusal, FileKind type, int error);
std::string RefusalTextEnglish(Refusal refusal, FileKind type, int error);

} // namespace torv::files
