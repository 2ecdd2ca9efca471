#include "files/append_file.h"

#include <windows.h>

#include "link/wide_text.h"

namespace torv {

namespace {
HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
int lastError() { return static_cast<int>(GetLastError()); }
} // namespace

AppendFile::~AppendFile() { close(); }

int AppendFile::open(const std::string& path)
{
    // Appending only, so every write lands at the end; read access for the
    // last byte. Others may read the log (a viewer) while it grows.
    HANDLE h = CreateFileW(WideOf(path).c_str(), FILE_APPEND_DATA | GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lastError();
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return 0;
}

bool AppendFile::folderMissing(int error) { return error == ERROR_PATH_NOT_FOUND; }

int AppendFile::makeFolder(const std::string& dir)
{
    if (CreateDirectoryW(WideOf(dir).c_str(), nullptr))
        return 0;
    const int error = lastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

int AppendFile::examine(bool& regular, std::uint64_t& size)
{
    regular = GetFileType(handleOf(handle_)) == FILE_TYPE_DISK;
    LARGE_INTEGER n{};
    if (regular && !GetFileSizeEx(handleOf(handle_), &n))
        return lastError();
    size = static_cast<std::uint64_t>(n.QuadPart);
    return 0;
}

int AppendFile::byteAt(std::uint64_t offset, char& byte)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), &byte, 1, &got, &at))
        return lastError();
    return got == 1 ? 0 : ERROR_HANDLE_EOF;
}

int AppendFile::append(std::string_view data, std::size_t& written)
{
    DWORD n = 0;
    if (!WriteFile(handleOf(handle_), data.data(), static_cast<DWORD>(data.size()), &n, nullptr))
        return lastError();
    written = n;
    return 0;
}

int AppendFile::flush() { return FlushFileBuffers(handleOf(handle_)) ? 0 : lastError(); }

// The folder's entry is written with the file on NTFS; nothing to ask for.
void AppendFile::syncFolder(const std::string&) {}

int AppendFile::close()
{
    if (handle_ == -1)
        return 0;
    HANDLE h = handleOf(handle_);
    handle_ = -1;
    return CloseHandle(h) ? 0 : lastError();
}

int TryFileIn(const std::string& dir)
{
    const std::wstring trial = WideOf(dir) + L"\\.torv-trial-" + std::to_wstring(GetCurrentProcessId());
    HANDLE h = CreateFileW(trial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int error = lastError();
        return error == ERROR_FILE_EXISTS ? 0 : error; // a trial of ours already there: files can be made
    }
    CloseHandle(h);
    return 0;
}

} // namespace torv
