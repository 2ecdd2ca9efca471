#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace torv {

// A log file opened for one appended line, as each system does it durably:
// O_APPEND and fdatasync on POSIX; FILE_APPEND_DATA, shared for reading so a
// viewer can follow the log as it grows, and FlushFileBuffers on Windows.
// Each step returns 0 or the system's error number (SystemErrorText says it).
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens `path` for reading and appending, made when missing.
    int open(const std::string& path);
    // True for open()'s error when the folder is not there.
    static bool folderMissing(int error);
    // Makes the one folder `dir` (its parent must exist); 0 when it is there already.
    static int makeFolder(const std::string& dir);

    // Whether a regular file on the disk was opened, and its size.
    int examine(bool& regular, std::uint64_t& size);
    // The byte at `offset` (to tell whether the file ends in a torn line).
    int byteAt(std::uint64_t offset, char& byte);
    // Appends `data` with one write; `written` tells how much went.
    int append(std::string_view data, std::size_t& written);
    // Waits until what was appended is on the disk.
    int flush();
    // Makes a new file's name durable in its folder, where the system lets it.
    static void syncFolder(const std::string& dir);
    int close();

private:
    std::intptr_t handle_ = -1; // the descriptor, or the HANDLE; -1 when closed
};

// Makes and removes a trial file in `dir`: 0 when files can be made there.
int TryFileIn(const std::string& dir);

} // namespace torv
