#pragma once
// Writing bookings into a booking protocol file, as the point-of-sale programs do; used by the
// import of the command line, by tests and by the demo. The viewer never writes.
#include "booking/intpair.h"
#include "booking/pkpf_blob.h"
#include "booking/sqlite_db.h"
#include "host/datetime.h"

#include <optional>
#include <string>

namespace infemora {

// One booking with every header field and its record lines (texts in Windows-1252).
struct TPKPF_Buchung {
    TIntPair BuchungsNr;
    TDateTime BuchDatum; // date only
    TDateTime BuchZeit;  // time of day only
    std::string Programm;
    std::string Vorfall;
    std::int32_t SatzAnzahl = 0;
    std::int32_t GesLaenge = 0;
    std::int32_t ProzessId = 0;
    TDateTime StartDatum;
    TDateTime StartZeit;
    TDateTime EndeDatum;
    TDateTime EndeZeit;
    std::string Terminal;
    TIntPair BenutzerId;
    std::string BenutzerName;
    std::string Version;
    TDateTime VersionDatum;
    TPKPF_Blob_Arr Saetze;
    // The stored blob bytes as they are, instead of Saetze (to keep or make a damaged blob).
    std::optional<std::string> Blob;
};

// The blob a booking is stored with: Blob as it is, else the compressed INI text of Saetze.
std::string PkpfBlobBytes(const TPKPF_Buchung& buchung);

class BookingWriter {
public:
    // Opens the file for writing; a missing file is created with the schema. An existing file
    // must be a booking protocol of this schema version (EPkpfError otherwise).
    explicit BookingWriter(const std::string& path, int busyTimeoutMs = 3000);
    ~BookingWriter(); // rolls back what was not committed

    bool created() const { return created_; }

    void begin();
    // EPkpfError when the booking number is already in the file.
    void insert(const TPKPF_Buchung& buchung);
    void commit();
    void rollback();

private:
    SqliteDb db_;
    SqliteStmt insert_;
    bool created_ = false;
    bool inTransaction_ = false;
    bool schemaPending_ = false;
};

} // namespace infemora
