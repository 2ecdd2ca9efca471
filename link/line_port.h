#pragma once
#include <memory>
#include <string>

#include "clock.h"
#include "port.h"
#include "serial_port.h"

namespace torv {

// The line `device` names: a network line for tcp:// and rfc2217:// URLs
// (connected within `connectMs`), a serial port otherwise. nullptr when it
// cannot be had; `error` tells why.
std::unique_ptr<Port> OpenLinePort(const std::string& device, const LineSettings& line, Clock& clock,
                                   OpenError* error = nullptr, unsigned connectMs = 3000);

} // namespace torv
