#include "controller/read_blk.h"

namespace torv {

void Read_Blk(ModbusLink& link, std::uint8_t ActiveAddress)
{
    link.Read_Modbus_Byte(ActiveAddress, kBlockReadStarts[0], kBlockReadRegisters, true);
    for (std::size_t i = 1; i < kBlockReadStarts.size(); ++i) {
        link.DelayMs(kBlockReadPauseMs);
        if (link.ReplyOk)
            link.Read_Modbus_Byte(ActiveAddress, kBlockReadStarts[i], kBlockReadRegisters, true);
    }
}

} // namespace torv
