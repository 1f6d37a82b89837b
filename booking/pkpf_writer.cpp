#include "booking/pkpf_writer.h"

#include "booking/pkpf_schema.h"
#include "host/codec1252.h"
#include "host/fileutil.h"

#include <sqlite3.h>

namespace infemora {

std::string PkpfBlobBytes(const TPKPF_Buchung& buchung) {
    if (buchung.Blob)
        return *buchung.Blob;
    TMemoryStream text(PkpfSaetzeAlsIniText(buchung.Saetze));
    TMemoryStream packed;
    ZipStream(packed, text);
    return packed.Bytes();
}

BookingWriter::BookingWriter(const std::string& path, int busyTimeoutMs) {
    RefuseIrregularFile(path);
    created_ = !FileExists(path);
    db_ = SqliteDb::Open(path, false, created_, busyTimeoutMs);
    if (created_ || db_.pragmaInt("PRAGMA application_id") == 0) {
        // An empty database (fresh, or left by an import that was rolled back) gets the schema
        // in the first transaction, so that it is all or nothing with the bookings.
        if (db_.pragmaInt("PRAGMA schema_version") != 0)
            PkpfSchemaPruefen(db_);
        schemaPending_ = true;
    } else {
        PkpfSchemaPruefen(db_);
    }
}

BookingWriter::~BookingWriter() {
    if (inTransaction_) {
        try {
            rollback();
        } catch (...) {
        }
    }
}

void BookingWriter::begin() {
    db_.exec("BEGIN IMMEDIATE");
    inTransaction_ = true;
    if (schemaPending_)
        PkpfSchemaAnlegen(db_);
}

void BookingWriter::insert(const TPKPF_Buchung& b) {
    if (!insert_)
        insert_ =
            SqliteStmt(db_, "INSERT INTO pkpf (rnr, lnr, buchdatum, buchzeit, programm, vorfall, satzanzahl,"
                            " geslaenge, prozessid, startdatum, startzeit, endedatum, endezeit, terminal,"
                            " benutzer_a, benutzer_b, benutzername, version, versiondatum, saetze)"
                            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert_.reset();
    int i = 0;
    insert_.bind(++i, b.BuchungsNr.R);
    insert_.bind(++i, b.BuchungsNr.L);
    insert_.bind(++i, b.BuchDatum.ms);
    insert_.bind(++i, b.BuchZeit.ms);
    insert_.bindText(++i, Win1252ToUtf8(b.Programm));
    insert_.bindText(++i, Win1252ToUtf8(b.Vorfall));
    insert_.bind(++i, b.SatzAnzahl);
    insert_.bind(++i, b.GesLaenge);
    insert_.bind(++i, b.ProzessId);
    insert_.bind(++i, b.StartDatum.ms);
    insert_.bind(++i, b.StartZeit.ms);
    insert_.bind(++i, b.EndeDatum.ms);
    insert_.bind(++i, b.EndeZeit.ms);
    insert_.bindText(++i, Win1252ToUtf8(b.Terminal));
    insert_.bind(++i, b.BenutzerId.R);
    insert_.bind(++i, b.BenutzerId.L);
    insert_.bindText(++i, Win1252ToUtf8(b.BenutzerName));
    insert_.bindText(++i, Win1252ToUtf8(b.Version));
    insert_.bind(++i, b.VersionDatum.ms);
    insert_.bindBlob(++i, PkpfBlobBytes(b));
    int rc = insert_.tryStep();
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw EPkpfError("Die Buchungsnummer " + qvr_TIntPair2String(b.BuchungsNr) +
                         " ist schon im Buchungsprotokoll.");
    if (rc != SQLITE_DONE)
        db_.fail(rc, "geschrieben");
    insert_.reset();
}

void BookingWriter::commit() {
    db_.exec("COMMIT");
    inTransaction_ = false;
    schemaPending_ = false;
}

void BookingWriter::rollback() {
    inTransaction_ = false;
    insert_.reset();
    db_.exec("ROLLBACK");
}

} // namespace infemora
