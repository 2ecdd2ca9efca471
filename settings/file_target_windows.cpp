// The file checks on Windows: the reserved device names and device paths
// refused by name, everything else asked of the file system. Descriptors are
// the C runtime's, over the system's handles.
#include "settings/file_target.h"

#include <cctype>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "link/wide_text.h"

namespace torv::files {

namespace {

// A file name the system takes for a device in any folder, with any extension.
constexpr const char* kReservedNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                          "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                          "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

bool DeviceName(const std::string& path)
{
    for (const char* prefix : {"\\\\.\\", "\\\\?\\", "//./", "//?/"})
        if (path.rfind(prefix, 0) == 0)
            return true;
    const std::size_t slash = path.find_last_of("/\\:");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* reserved : kReservedNames)
        if (name == reserved)
            return true;
    return false;
}

bool Missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

FileKind KindOfHandle(HANDLE h)
{
    switch (GetFileType(h)) {
    case FILE_TYPE_DISK: return FileKind::Regular;
    case FILE_TYPE_CHAR: return FileKind::Device;
    case FILE_TYPE_PIPE: return FileKind::Fifo;
    default: return FileKind::Other;
    }
}

} // namespace

Target SaveTarget(const std::string& path)
{
    Target t;
    t.path = path;
    if (DeviceName(path)) {
        t.exists = true;
        t.type = FileKind::Device;
        t.refusal = Refusal::NotRegular;
        return t;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(WideOf(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        if (!Missing(error)) {
            t.refusal = Refusal::Unresolvable;
            t.error = static_cast<int>(error);
        }
        return t;
    }
    t.exists = true;
    t.type = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory : FileKind::Regular;
    if (t.type != FileKind::Regular)
        t.refusal = Refusal::NotRegular;
    return t;
}

int OpenRegularFile(const std::string& path, Contents& c)
{
    const auto refuse = [&c](Refusal r, int error) {
        c.refusal = r;
        c.error = error;
        return -1;
    };
    if (DeviceName(path)) {
        c.type = FileKind::Device;
        return refuse(Refusal::NotRegular, 0);
    }
    const std::wstring wide = WideOf(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
        return refuse(Refusal::Unreadable, static_cast<int>(GetLastError()));
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        c.type = FileKind::Directory;
        return refuse(Refusal::NotRegular, 0);
    }
    // Others may go on writing or replacing the file while it is read.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return refuse(Refusal::Unreadable, static_cast<int>(GetLastError()));
    c.type = KindOfHandle(h);
    LARGE_INTEGER size{};
    if (c.type != FileKind::Regular || !GetFileSizeEx(h, &size)) {
        const DWORD error = c.type == FileKind::Regular ? GetLastError() : 0;
        CloseHandle(h);
        return c.type == FileKind::Regular ? refuse(Refusal::Unreadable, static_cast<int>(error))
                                           : refuse(Refusal::NotRegular, 0);
    }
    c.size = static_cast<unsigned long long>(size.QuadPart);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return refuse(Refusal::Unreadable, ERROR_TOO_MANY_OPEN_FILES);
    }
    return fd;
}

int InheritedDescriptor(const std::string&) { return -1; }

int ReadFromDescriptor(int fd, char* buffer, std::size_t n, std::size_t& got)
{
    got = 0;
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD read = 0;
    if (!ReadFile(h, buffer, static_cast<DWORD>(n), &read, nullptr)) {
        const DWORD error = GetLastError();
        return error == ERROR_BROKEN_PIPE ? 0 : static_cast<int>(error); // a pipe's writer closing is its end
    }
    got = read;
    return 0;
}

void CloseDescriptor(int fd) { _close(fd); }

} // namespace torv::files
