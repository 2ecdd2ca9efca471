#pragma once
#include <cstdint>

#include "link/com_device.h"
#include "link/modbus_link.h"
#include "texts/transaction_boxes.h"

namespace torv::testing {

// The link's calls followed by the boxes the window raises for them, as its
// presenter raises them: for tests that pin a transaction together with its box.

inline ModbusLink::Reply ReadShown(ModbusLink& link, Notifier& notifier, std::uint8_t address, std::uint8_t start,
                                   std::uint8_t count, bool show)
{
    const ModbusLink::Reply reply = link.Read_Modbus_Byte(address, start, count);
    if (show && reply.sent)
        ShowTransactionBox(notifier, 0x03, reply.outcome);
    return reply;
}

// Writes the register the image holds, as the window does.
inline ModbusLink::Reply LoadShown(ModbusLink& link, Notifier& notifier, std::uint8_t address, std::uint8_t start,
                                   bool show)
{
    const ModbusLink::Reply reply = link.Load_Modbus_Byte(address, start, link.imageWord(address, start));
    if (show && reply.sent)
        ShowTransactionBox(notifier, 0x06, reply.outcome, true);
    return reply;
}

inline bool OpenShown(ModbusLink& link, Notifier& notifier)
{
    const bool opened = link.Ustaw_COM();
    if (!opened)
        ShowPortOpenFailure(notifier, ComPortName(link.settings().ComIndex));
    return opened;
}

} // namespace torv::testing
