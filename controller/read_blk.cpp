#include "controller/read_blk.h"

namespace torv {

void Read_Blk(ModbusLink& link, std::uint8_t ActiveAddress, bool showErrors)
{
    link.Read_Modbus_Byte(ActiveAddress, kBlockReadStarts[0], kBlockReadRegisters, showErrors);
    for (std::size_t i = 1; i < kBlockReadStarts.size(); ++i) {
        link.DelayMs(kBlockReadPauseMs);
        if (link.ReplyOk)
            link.Read_Modbus_Byte(ActiveAddress, kBlockReadStarts[i], kBlockReadRegisters, showErrors);
    }
}

} // namespace torv
