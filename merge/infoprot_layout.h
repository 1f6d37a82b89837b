#pragma once
// The line layout of the info logs and the names written beside them. Positions in the comments
// are 1-based, as the log format is documented by the programs that write it.
#include "host/datetime.h"

#include <string_view>

namespace infemora {

// Names this program writes next to the logs or in STATEMP.
inline constexpr std::string_view InfoMaske = "inf*.*";
inline constexpr std::string_view InfemoraName = "INFEMORA.000";
inline constexpr std::string_view AltInfoPrefix = "ALT-INFO";
inline constexpr std::string_view TemoSortName = "TEMOSORT.TXT";

// Text of the list after a search that found nothing.
inline constexpr std::string_view KeineDateienGefunden = "Keine Dateien gefunden";

// A start line has "<<" at positions 6 and 7; a time-stamp line "##".
inline bool IstStartZeile(std::string_view line) {
    return line.size() >= 7 && line[5] == '<' && line[6] == '<';
}
inline bool IstZeitstempelZeile(std::string_view line) {
    return line.size() >= 7 && line[5] == '#' && line[6] == '#';
}

// Inside an entry: the separator line holds 43 hyphens anywhere; an error entry's time-stamp
// line holds one of the two message words; a program's log start and end are reported by lines
// holding these words.
inline constexpr std::string_view Trennzeile = "-------------------------------------------";
inline constexpr std::string_view NoneMeldung = "NONE-Meldung";
inline constexpr std::string_view FehlerMeldung = "Fehler-Meldung";
inline constexpr std::string_view Protokollstart = "Protokollstart";
inline constexpr std::string_view Protokollende = "Protokollende";

// Only the first characters of a time-stamp line carry the stamp (date 9-16, time 18-23).
inline constexpr std::size_t ZeitstempelLaenge = 23;

// The time stamp of a "##" line: date digits 9-16 through JJJJMMTT2Date, hour, minute and second
// from 18-23, each 0 when it is no number. False when that gives no valid date-time.
bool TryZeitstempelAusZeile(std::string_view line, TDateTime& out);
// Readers convert one stamp per entry; the date part rarely changes between neighbours, so the
// last converted date digits are remembered.
struct DatumsCache {
    char digits[8] = {};
    bool gueltig = false; // digits were valid and gave tag
    bool belegt = false;  // digits hold a converted text
    TDateTime tag;
};
bool TryZeitstempelAusZeile(std::string_view line, TDateTime& out, DatumsCache& cache);
// The same; EConvertError names what is wrong.
TDateTime ZeitstempelAusZeile(std::string_view line);

} // namespace infemora
