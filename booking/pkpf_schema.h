#pragma once
// The booking protocol file: one SQLite database, one table.
//
//   pkpf(rnr, lnr            BuchungsNr, first and second part       INTEGER (32-bit)
//        buchdatum, buchzeit  booking date and time of day            INTEGER
//        programm, vorfall    program, incident                       TEXT
//        satzanzahl, geslaenge, prozessid                             INTEGER (32-bit)
//        startdatum, startzeit, endedatum, endezeit                   INTEGER
//        terminal                                                     TEXT
//        benutzer_a, benutzer_b  BenutzerId                           INTEGER (32-bit)
//        benutzername, version                                        TEXT
//        versiondatum                                                 INTEGER
//        saetze               zlib-compressed INI text of the record lines  BLOB)
//
// Dates and times are the program family's day number kept as whole milliseconds since
// 30.12.1899 00:00 (TDateTime::ms): a date is a multiple of a day, a time of day lies in
// 0..86'399'999. Integers compare exactly, so day bounds need no text conversion. Texts are
// stored as UTF-8 and held as Windows-1252 in the program.
//
// KeyBuchungsNr is the unique index pkpf_buchungsnr (rnr, lnr). KeyListe is the index
// pkpf_liste (buchdatum, buchzeit, rnr, lnr): bookings in the order they were booked, and
// bookings of the same second by number.
//
// PRAGMA application_id marks the file as a booking protocol, PRAGMA user_version is the
// schema version; a file with another id or version is refused.
#include "booking/sqlite_db.h"

namespace infemora {

inline constexpr std::int64_t PkpfApplicationId = 0x504B5046; // "PKPF"
inline constexpr std::int64_t PkpfSchemaVersion = 1;

// Creates table, indexes, id and version in an empty database (inside the caller's transaction).
void PkpfSchemaAnlegen(SqliteDb& db);
// Throws EPkpfError with a German text when the file is no booking protocol of this version.
void PkpfSchemaPruefen(SqliteDb& db);

} // namespace infemora
