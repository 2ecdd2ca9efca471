#include "station/read_blk.h"

namespace torv {

bool Read_Blk(ModbusLink& link, std::uint8_t ActiveAddress)
{
    bool ok = link.Read_Modbus_Byte(ActiveAddress, kBlockReadStarts[0], kBlockReadRegisters).ok();
    for (std::size_t i = 1; i < kBlockReadStarts.size(); ++i) {
        link.DelayMs(kBlockReadPauseMs);
        if (ok)
            ok = link.Read_Modbus_Byte(ActiveAddress, kBlockReadStarts[i], kBlockReadRegisters).ok();
    }
    return ok;
}

} // namespace torv
