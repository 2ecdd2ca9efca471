#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "link/modbus_link.h"
#include "texts/bus_texts.h"
#include "texts/notifier.h"

namespace torv {

struct Box {
    std::string text;
    std::string caption;
};

// The box the window raises after a transaction of `function` (0x03, 0x06)
// it reports: its failure, or a write's confirmation when `confirmWrite`.
std::optional<Box> TransactionBox(std::uint8_t function, ModbusLink::Outcome outcome, bool confirmWrite = false);
// The operator's text for a failed transaction (the box's text).
std::string FailureText(std::uint8_t function, ModbusLink::Outcome outcome);
void ShowTransactionBox(Notifier& notifier, std::uint8_t function, ModbusLink::Outcome outcome,
                        bool confirmWrite = false);

// The port `portName` ("COM3") could not be opened: the text, and the beep and
// error box the window gives it.
std::string PortOpenFailureText(const std::string& portName);
void ShowPortOpenFailure(Notifier& notifier, const std::string& portName);

} // namespace torv
