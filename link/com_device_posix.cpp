#include "com_device.h"

#include <fstream>
#include <sys/stat.h>

#include "line_url.h"

namespace torv {

namespace {
bool entryExists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}
} // namespace

std::string ResolveComDevice(std::uint8_t comIndex, const std::string& dir, const std::string& devDir)
{
    const std::string link = (dir.empty() ? std::string(".") : dir) + "/" + ComPortName(comIndex);
    if (entryExists(link)) {
        // A regular file (or a link to one) may name a network line on its first line.
        struct stat st {};
        if (stat(link.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            std::ifstream file(link);
            std::string first;
            std::getline(file, first);
            while (!first.empty() && (first.back() == '\r' || first.back() == ' ' || first.back() == '\t'))
                first.pop_back();
            if (IsLineUrl(first))
                return first;
        }
        return link;
    }
    const std::string usb = devDir + "/ttyUSB" + std::to_string(comIndex);
    if (entryExists(usb))
        return usb;
    return devDir + "/ttyS" + std::to_string(comIndex);
}

} // namespace torv
