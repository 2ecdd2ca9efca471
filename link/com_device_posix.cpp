#include "com_device.h"

#include <sys/stat.h>

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
    if (entryExists(link))
        return link;
    const std::string usb = devDir + "/ttyUSB" + std::to_string(comIndex);
    if (entryExists(usb))
        return usb;
    return devDir + "/ttyS" + std::to_string(comIndex);
}

} // namespace torv
