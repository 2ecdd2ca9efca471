#pragma once

namespace torv::texts {

// What the window's views write into its labels and buttons.

// The status indicators.
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

// The measurements.
inline constexpr const char* kManualMode = "Praca ręczna sterownika!";
inline constexpr const char* kSensorInactive = "NIE AKT.!";

} // namespace torv::texts
