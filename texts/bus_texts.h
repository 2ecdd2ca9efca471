#pragma once

namespace torv::texts {

// What the operator is told of the line's transactions (caption first where there is one).
inline constexpr const char* kCaptionWarning = "Uwaga !";
inline constexpr const char* kCaptionReply = "Odpowiedź...";
inline constexpr const char* kNoCommunication = "Brak komunikacji z modułem !!!";
inline constexpr const char* kReadCrcError = "Błąd CRC ramki !!!";
inline constexpr const char* kNoWriteAck = "Brak potwierdzenia zapisu !!!";
inline constexpr const char* kWriteCrcError = "Błąd CRC ramki odpowiedzi !!!";
inline constexpr const char* kWriteOk = "Zapis danych poprawny !!!";
inline constexpr const char* kCaptionError = "Error";

// After "port NAME": a pseudo-terminal asked for parity (terminal, not a box).
inline constexpr const char* kParityLeftOff = " is a pseudo-terminal, which carries no parity: opened without it";

// The bus test's outcome.
inline constexpr const char* kBusTestOk = "Test Sieci ModBUS poprawny, aktywnych urządzeń = ";
inline constexpr const char* kBusTestNone = "Test Sieci ModBUS nieaktywny, brak wykrytych urządzeń na linii !!!";

} // namespace torv::texts
