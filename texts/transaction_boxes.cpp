#include "texts/transaction_boxes.h"

namespace torv {

std::string FailureText(std::uint8_t function, ModbusLink::Outcome outcome)
{
    const bool crc = outcome == ModbusLink::Outcome::BadCrc;
    if (function == 0x06)
        return crc ? texts::kWriteCrcError : texts::kNoWriteAck;
    return crc ? texts::kReadCrcError : texts::kNoCommunication;
}

std::optional<Box> TransactionBox(std::uint8_t function, ModbusLink::Outcome outcome, bool confirmWrite)
{
    if (outcome != ModbusLink::Outcome::Ok)
        return Box{FailureText(function, outcome), texts::kCaptionWarning};
    if (confirmWrite && function == 0x06)
        return Box{texts::kWriteOk, texts::kCaptionReply};
    return std::nullopt;
}

void ShowTransactionBox(Notifier& notifier, std::uint8_t function, ModbusLink::Outcome outcome, bool confirmWrite)
{
    if (const auto box = TransactionBox(function, outcome, confirmWrite))
        notifier.notice(box->text, box->caption);
}

std::string PortOpenFailureText(const std::string& portName)
{
    return "Niewłaściwa nazwa portu " + portName + "\r lub jest on aktywny !!!";
}

void ShowPortOpenFailure(Notifier& notifier, const std::string& portName)
{
    notifier.beep();
    notifier.errorDialog(PortOpenFailureText(portName), texts::kCaptionError);
}

} // namespace torv
