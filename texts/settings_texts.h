#pragma once

namespace torv::texts {

// What the operator is told of the settings file.
inline constexpr const char* kSettingsMissing = "Prawdopodobnie brak zbioru konfiguracyjnego.";
// Two lines, the second after a carriage return.
inline constexpr const char* kSettingsDamaged = "U W A G A   ! ! !\rUszkodzony zbiór konfiguracyjny.";
inline constexpr const char* kSettingsWriteBlocked = "Blokada zapisu pliku na dysku !";
inline constexpr const char* kSettingsCaption = "Uwaga !";

} // namespace torv::texts
