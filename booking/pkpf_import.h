#pragma once
// Bookings as JSON lines, for the command line import and the demo data:
//   {"BuchungsNr": [R, L], "BuchDatum": "YYYY-MM-DD", "BuchZeit": "HH:MM:SS", "Programm": "...",
//    "Vorfall": "...", "SatzAnzahl": n, "GesLaenge": n, "ProzessId": n,
//    "StartDatum": ..., "StartZeit": ..., "EndeDatum": ..., "EndeZeit": ..., "Terminal": "...",
//    "BenutzerId": [a, b], "BenutzerName": "...", "Version": "...", "VersionDatum": "YYYY-MM-DD",
//    "Saetze": [{"Kennung": "...", "WRDON": "...", "Beschreibung": "..."}, ...]}
// with BlobBase64 (the stored blob bytes) in place of Saetze to store a blob as it is. Every
// field is required, no other is allowed; texts are UTF-8 and must exist in Windows-1252.
#include "booking/pkpf_writer.h"

#include <cstddef>
#include <string>

namespace infemora {

// One line to a booking; EPkpfError with a German text naming the field otherwise.
TPKPF_Buchung PkpfBuchungAusJson(const std::string& line);
// The line for a booking (no line end).
std::string PkpfBuchungAlsJson(const TPKPF_Buchung& buchung);

// Imports every booking of the file into the database, creating it when missing, in one
// transaction: a bad line ("Zeile N: ...") or a number already present imports nothing, and a
// database created for the import is removed again. Blank lines are skipped. Returns the
// number of bookings imported; EPkpfError or EFileError otherwise.
std::size_t PkpfJsonlImportieren(const std::string& jsonlPath, const std::string& dbPath);

} // namespace infemora
