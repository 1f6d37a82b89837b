#pragma once
// The texts of the main window's status line, as a German reader writes them (UTF-8).
#include "host/datetime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace infemora {

// 12345 as "12.345".
std::string AnzahlText(std::int64_t n);
// "3 Dateien, 12.345 Zeilen"; "1 Datei, 1 Zeile"; "keine Datei" when nothing is shown.
std::string DateienZeilenText(int dateien, std::int64_t zeilen);
// "Zeitraum 08.12.2026 10:00:00 – 11:00:00" (the date once when both ends lie on one day);
// "Zeitraum bis 08.12.2026 23:59:59" for a window without start.
std::string ZeitraumText(TDateTime von, TDateTime bis);
// The filter in force: the period, or "alle Einträge".
std::string FilterText(bool gefiltert, TDateTime von, TDateTime bis);
// What an empty filtered view says.
std::string KeinEintragImZeitraumText(TDateTime von, TDateTime bis);
// "Zeile 12 von 345", and " · Eintrag vom 08.12.2026 10:00:01" when the entry has a stamp.
// zeile counts from 0.
std::string CursorText(std::int64_t zeile, std::int64_t zeilen, std::optional<TDateTime> stempel);
// "„text“ nicht gefunden"
std::string NichtGefundenText(const std::string& textUtf8);

} // namespace infemora
