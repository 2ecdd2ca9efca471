#pragma once
#include <cstdint>
#include <string>

#include "view/control_change.h"

namespace torv {

namespace texts {
inline constexpr const char* kScannerOn = "Skaner ModBUS = ON";
inline constexpr const char* kScannerOff = "Skaner ModBUS = OFF";
inline constexpr const char* kButtonStop = "&STOP";
inline constexpr const char* kButtonStart = "&START";
inline constexpr const char* kConnected = "POŁĄCZONY ";
inline constexpr const char* kDisconnected = "ROZŁĄCZONY ! ";
inline constexpr const char* kLinkOk = "TEST ModBUS = OK";
inline constexpr const char* kLinkError = "ModBUS ERROR !!!";          // module read, parameter view
inline constexpr const char* kScanLinkError = "TEST ModBUS ERROR !";   // measurement scan
inline constexpr const char* kErrorsPrefixView = "Błędy ModBus =";     // parameter view
inline constexpr const char* kErrorsPrefixRead = "Błędy MODBUS=";      // module read
inline constexpr const char* kErrorsPrefixScan = "Błędy ModBUS=";      // measurement scan
} // namespace texts

// The recurring status sequences, each in its fixed order.
// Scanner: Label33 colour and text, Button2 caption, Label66 colour and text.
ControlChanges ScannerIndicators(bool ScanOn);
// Link: Label35 colour, then its text.
ControlChanges LinkIndicator(bool ReplyOk, const std::string& failureText);
// Error counter: Label36 text (prefix + count), then its colour. Counting, if
// any, is the caller's business and happens before.
ControlChanges ErrorCounterDisplay(const std::string& prefix, std::uint16_t ErrorCount);

} // namespace torv
