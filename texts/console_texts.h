#pragma once

namespace torv::texts {

// What the window tells the operator of the address, the bus test, leaving
// the program and the write-back's preconditions (caption after its text).
inline constexpr const char* kAddressActive = "Adr.aktywny";
inline constexpr const char* kAddressInactive = "Adr.nieaktywny";
inline constexpr const char* kExitQuestion = "Czy zakończyć program?";
inline constexpr const char* kExitCaption = "Koniec pracy...";
inline constexpr const char* kBusTestRunning = "Trwa test sieci MODBUS, proszę czekać....";
inline constexpr const char* kWaitBox = "Automatyczne testowanie magistrali ModBUS...";
inline constexpr const char* kWaitCaption = "Proszę czekać !!!";
inline constexpr const char* kNotLoaded = "Nie wczytano danych z modułu !!!";
inline constexpr const char* kScanningOn = "Wyłącz skanowanie wyników pomiarów !!!";

} // namespace torv::texts
