#pragma once

namespace torv::texts {

// What the operator is told of saving and loading a parameter set.
inline constexpr const char* kSetOutOfRange = "Nie zapisano pliku, wartości poza zakresem:";
inline constexpr const char* kSetNotSaved = "Nie zapisano pliku ";
inline constexpr const char* kSetSaved = "Zapisano parametry do pliku: ";
inline constexpr const char* kSetNotRead = "Nie wczytano pliku ";
inline constexpr const char* kSetRead = "Wczytano parametry z pliku: ";
inline constexpr const char* kSetReadNext = "Naciśnij ZAPIS, aby zapisać je w module.";

} // namespace torv::texts
