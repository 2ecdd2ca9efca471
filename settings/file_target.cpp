// What every system shares of the file checks: reading through them and the
// refusals' texts. What a name stands for is asked of the system in
// file_target_posix.cpp and file_target_windows.cpp.
#include "settings/file_target.h"

#include <algorithm>

#include "link/system_error_text.h"

namespace torv::files {

namespace {

// The words for what is there, in the window's language and in English.
struct KindName {
    FileKind kind;
    const char* pl;
    const char* en;
};
constexpr KindName kKindNames[] = {
    {FileKind::Device, "urządzenie", "a device"},  {FileKind::Fifo, "potok (FIFO)", "a FIFO"},
    {FileKind::Directory, "katalog", "a directory"}, {FileKind::Socket, "gniazdo", "a socket"},
};

const KindName* kindName(FileKind kind)
{
    for (const KindName& k : kKindNames)
        if (k.kind == kind)
            return &k;
    return nullptr;
}

const char* typeNamePl(FileKind type)
{
    const KindName* k = kindName(type);
    return k ? k->pl : "nie zwykły plik";
}

const char* typeNameEn(FileKind type)
{
    const KindName* k = kindName(type);
    return k ? k->en : "something else";
}

} // namespace

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

Contents ReadRegularFile(const std::string& path, std::size_t maxBytes)
{
    Contents c;
    const int fd = OpenRegularFile(path, c);
    if (fd < 0)
        return c;
    if (c.size > maxBytes) {
        CloseDescriptor(fd);
        c.refusal = Refusal::TooLarge;
        return c;
    }
    Contents rest = ReadDescriptor(fd, maxBytes);
    CloseDescriptor(fd);
    rest.type = c.type;
    rest.size = std::max<unsigned long long>(c.size, rest.size);
    return rest;
}

Contents ReadDescriptor(int fd, std::size_t maxBytes)
{
    Contents c;
    // One byte past the limit tells a file that is too large (or grew).
    char buffer[8192];
    for (;;) {
        std::size_t got = 0;
        if (const int error = ReadFromDescriptor(fd, buffer, sizeof buffer, got); error != 0) {
            c.refusal = Refusal::Unreadable;
            c.error = error;
            c.bytes.clear();
            return c;
        }
        if (got == 0)
            break;
        c.bytes.append(buffer, got);
        c.size = c.bytes.size();
        if (c.bytes.size() > maxBytes) {
            c.refusal = Refusal::TooLarge;
            c.bytes.clear();
            return c;
        }
    }
    return c;
}

std::string RefusalText(Refusal refusal, FileKind type, int error)
{
    switch (refusal) {
    case Refusal::None: return {};
    case Refusal::NotRegular: return std::string("to nie jest zwykły plik, lecz ") + typeNamePl(type);
    case Refusal::Unresolvable: return "nie można ustalić pliku docelowego: " + SystemErrorText(error);
    case Refusal::Unreadable: return "nie można otworzyć pliku: " + SystemErrorText(error);
    case Refusal::TooLarge: return "plik jest za duży";
    }
    return {};
}

std::string RefusalTextEnglish(Refusal refusal, FileKind type, int error)
{
    switch (refusal) {
    case Refusal::None: return {};
    case Refusal::NotRegular: return std::string("is ") + typeNameEn(type) + ", not a regular file";
    case Refusal::Unresolvable: return "cannot be followed to a file: " + SystemErrorText(error);
    case Refusal::Unreadable: return "cannot be read: " + SystemErrorText(error);
    case Refusal::TooLarge: return "is too large";
    }
    return {};
}

} // namespace torv::files
