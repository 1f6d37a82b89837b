#pragma once
// Plain records of the info-log evaluation. Texts are Windows-1252 bytes as the logs hold them.
#include "host/datetime.h"

#include <cstdint>
#include <string>

namespace infemora {

// One error entry of an info log.
struct TFehlerRec {
    std::string Zeile;      // the header line, unchanged
    std::string CallStack;  // lines joined with CR LF
    std::string ZusatzInfo; // from its "Zusatzinfo:" line on; empty when the entry has none
    std::string Text;       // lines joined with CR LF
    TDateTime DateTime;     // the header's time stamp, whole seconds
    std::string Programm;
    std::string User;       // with " (Rec ...)" when the header has that part
    std::string FehlerCode; // trimmed, e.g. STANDARD.993
    std::string FehlerTyp;  // empty until the rule file types the record
};

// One group of equal errors of one day in the error evaluation report.
struct TFehlerauswertung {
    std::string Datum; // the day in the locale's short date form
    std::string Programm;
    std::string Fehlercode;
    std::string Callstack; // without its first 13 characters
    std::int32_t Anzahl = 0;
};

// One count of the start/end report.
struct TProtokoll_Start_Ende {
    std::string Datum; // YYYYMMDD as it stands in the line
    std::string Programm;
    std::string Benutzer;
    std::string Start_Ende; // "Protokollstart" or "Protokollende"
    std::int32_t Anzahl = 0;
};

} // namespace infemora
