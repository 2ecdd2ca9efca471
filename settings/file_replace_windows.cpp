// Whole-file replacement on Windows: a new file beside the target, flushed,
// then moved over it with MoveFileExW, which writes the move through.
#include "settings/file_replace.h"

#include <string>
#include <windows.h>

#include "link/wide_text.h"

namespace torv::files {

namespace {

// Every byte written and flushed to the disk.
bool writeFlushed(HANDLE h, const std::uint8_t* data, std::size_t size)
{
    DWORD written = 0;
    return WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr) && written == size &&
           FlushFileBuffers(h);
}

enum class Replace { Done, Failed, DirectoryRefused };

Replace replaceWhole(const std::wstring& target, const std::uint8_t* data, std::size_t size)
{
    // A name of our own beside the target: this process's and a counter, made
    // only when nothing is there yet.
    static unsigned counter = 0;
    std::wstring tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        tmp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return Replace::DirectoryRefused;
    }
    if (h == INVALID_HANDLE_VALUE)
        return Replace::Failed;
    const bool ok = writeFlushed(h, data, size);
    if (!CloseHandle(h) || !ok) {
        DeleteFileW(tmp.c_str());
        return Replace::Failed;
    }
    if (!MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(tmp.c_str());
        return error == ERROR_ACCESS_DENIED ? Replace::DirectoryRefused : Replace::Failed;
    }
    return Replace::Done;
}

HANDLE openExisting(const std::wstring& target)
{
    return CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Overwrites the file from its start and cuts it to the new length.
bool rewriteInPlace(const std::wstring& target, const std::uint8_t* data, std::size_t size)
{
    HANDLE h = openExisting(target);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = writeFlushed(h, data, size) && SetEndOfFile(h) && FlushFileBuffers(h);
    return CloseHandle(h) && ok;
}

} // namespace

bool ReplaceFileContents(const std::string& target, const std::uint8_t* data, std::size_t size)
{
    const std::wstring wide = WideOf(target);
    // The move would replace a read-only file as readily as any other, so an
    // existing one must open for writing first; only a file on a disk.
    bool existing = false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return false;
        HANDLE h = openExisting(wide);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        const bool disk = GetFileType(h) == FILE_TYPE_DISK;
        // Closed before the move: an open handle would keep the name from being replaced.
        CloseHandle(h);
        if (!disk)
            return false;
        existing = true;
    } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return false;
    }
    switch (replaceWhole(wide, data, size)) {
    case Replace::Done: return true;
    case Replace::Failed: return false;
    case Replace::DirectoryRefused:
        // A folder that takes no new names still lets a writable file be
        // rewritten; without the move's safety, but the save is not lost.
        return existing && rewriteInPlace(wide, data, size);
    }
    return false;
}

} // namespace torv::files
