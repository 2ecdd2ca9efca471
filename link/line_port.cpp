#include "line_port.h"

#include "network_port.h"

namespace torv {

std::unique_ptr<Port> OpenLinePort(const std::string& device, const LineSettings& line, Clock& clock,
                                   OpenError* error, unsigned connectMs)
{
    if (!IsLineUrl(device))
        return SerialPort::open(device, line, error);
    const LineUrlParse parsed = ParseLineUrl(device);
    if (!parsed.url) {
        if (error)
            *error = {OpenFailure::Other, 0, parsed.error};
        return nullptr;
    }
    return NetworkPort::open(*parsed.url, line, clock, error, connectMs);
}

} // namespace torv
