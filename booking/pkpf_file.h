#pragma once
// Typed access to a record database file of the program family, and the booking protocol file
// Tpkpffile built on it. A file offers selection scans over a chosen key with conditions on its
// fields, key reads and the compressed blob of the current record. The viewer only reads.
#include "booking/intpair.h"
#include "booking/pkpf_blob.h"
#include "booking/sqlite_db.h"
#include "host/datetime.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace infemora {

enum class TDBComparisonCode : int {
    Gleich = 1,
    GroesserGleich = 5,
    KleinerGleich = 6,
};

// How a condition joins the next one: Und = and the next condition, Letzte = last condition.
enum class TDBLogicConnection : int {
    Letzte = 0,
    Und = 1,
};

using TDBKeyNr = int;
inline constexpr TDBKeyNr KeyBuchungsNr = 1;
inline constexpr TDBKeyNr KeyListe = 2;

// OpenNew mode of the viewer: read only, waiting briefly while a writer holds the file.
inline constexpr std::int16_t OpenNurLesen = -1;

class TVKT_DBFile;

// One field of the file's records. Values are read from the positioned record on first use,
// so a scan pays only for the fields it looks at.
class TDatenFeld {
public:
    TDatenFeld(const TDatenFeld&) = delete;
    TDatenFeld& operator=(const TDatenFeld&) = delete;
    virtual ~TDatenFeld() = default;

    const std::string& Name() const { return name_; }

protected:
    TDatenFeld(TVKT_DBFile& owner, std::string name, std::vector<std::string> spalten);

    // Reads the value of the positioned record unless it was read (or set) since the file moved.
    void aktualisieren() const;
    void alsAktuellMarkieren() const;

    virtual void lesen(const SqliteStmt& zeile, int spalte) const = 0;
    // SQL over this field's columns with '?' for the values it appends.
    virtual std::string bedingung(TDBComparisonCode code, std::vector<SqlWert>& werte) const = 0;
    // A key read's condition over this field's columns, and the values it compares with.
    virtual std::string schluesselBedingung() const;
    virtual void schluesselWerte(std::vector<SqlWert>& werte) const;

    TVKT_DBFile& owner_;
    std::vector<std::string> spalten_;

private:
    friend class TVKT_DBFile;
    std::string name_;
    std::size_t nr_ = 0;  // place among the file's fields
    int ersteSpalte_ = 0; // in a statement over all fields
    mutable std::uint64_t stand_ = 0;
};

// A field of type Integer (std::int32_t), string (Windows-1252), TDateTime or TIntPair.
template <class T> class TDatenfeld_Gen : public TDatenFeld {
public:
    TDatenfeld_Gen(TVKT_DBFile& owner, std::string name, std::vector<std::string> spalten)
        : TDatenFeld(owner, std::move(name), std::move(spalten)) {}

    // The current record's value.
    T GetWert() const {
        aktualisieren();
        return wert_;
    }
    // The value the next ExtendedFilterAdd of this field compares with.
    void SetWert(const T& wert) {
        wert_ = wert;
        alsAktuellMarkieren();
    }

protected:
    void lesen(const SqliteStmt& zeile, int spalte) const override;
    std::string bedingung(TDBComparisonCode code, std::vector<SqlWert>& werte) const override;

    mutable T wert_{};
};

// The four kinds of field are implemented once, in the library.
template <> void TDatenfeld_Gen<std::int32_t>::lesen(const SqliteStmt& zeile, int spalte) const;
template <>
std::string TDatenfeld_Gen<std::int32_t>::bedingung(TDBComparisonCode code,
                                                    std::vector<SqlWert>& werte) const;
extern template class TDatenfeld_Gen<std::int32_t>;
template <> void TDatenfeld_Gen<std::string>::lesen(const SqliteStmt& zeile, int spalte) const;
template <>
std::string TDatenfeld_Gen<std::string>::bedingung(TDBComparisonCode code, std::vector<SqlWert>& werte) const;
extern template class TDatenfeld_Gen<std::string>;
template <> void TDatenfeld_Gen<TDateTime>::lesen(const SqliteStmt& zeile, int spalte) const;
template <>
std::string TDatenfeld_Gen<TDateTime>::bedingung(TDBComparisonCode code, std::vector<SqlWert>& werte) const;
extern template class TDatenfeld_Gen<TDateTime>;
template <> void TDatenfeld_Gen<TIntPair>::lesen(const SqliteStmt& zeile, int spalte) const;
template <>
std::string TDatenfeld_Gen<TIntPair>::bedingung(TDBComparisonCode code, std::vector<SqlWert>& werte) const;
extern template class TDatenfeld_Gen<TIntPair>;

// A pair field that is (part of) a unique key: SetKeyWert names the record of a key read.
class TIntPairDatenKeyFeld : public TDatenfeld_Gen<TIntPair> {
public:
    using TDatenfeld_Gen<TIntPair>::TDatenfeld_Gen;
    void SetKeyWert(const TIntPair& wert) { keyWert_ = wert; }
    TIntPair KeyWert() const { return keyWert_; }

protected:
    std::string schluesselBedingung() const override;
    void schluesselWerte(std::vector<SqlWert>& werte) const override;

private:
    TIntPair keyWert_{};
};

class TVKT_DBFile {
public:
    TVKT_DBFile(const TVKT_DBFile&) = delete;
    TVKT_DBFile& operator=(const TVKT_DBFile&) = delete;
    virtual ~TVKT_DBFile();

    // Opens the file the class knows. Only OpenNurLesen (-1) is offered: the viewer never
    // writes. A file that a writer holds is waited for up to the busy timeout; if it is still
    // held the file opens anyway and its kind is checked at the first read.
    void OpenNew(std::int16_t modus);
    void Close();
    bool IsOpen() const { return static_cast<bool>(db_); }
    const std::string& DateiName() const { return pfad_; }
    void SetBusyTimeout(int milliseconds) { busyMs_ = milliseconds; }
    static constexpr int StandardBusyTimeoutMs = 3000;

    // Drops the previous selection: conditions, scan and current record.
    void ExtendedFilterClear();
    void ExtendedFilterAdd(const TDatenFeld& feld, TDBComparisonCode code, TDBLogicConnection verbindung);
    void SelectKey(TDBKeyNr key);
    // The scans of this selection read only these fields, which spares the file the rest of
    // every record; reading another field on such a scan throws. Until the next
    // ExtendedFilterClear or BlockweiseMitBlobLesen; key reads always read every field.
    void NurFelderLesen(const std::vector<const TDatenFeld*>& felder);
    // The scans of this selection read every field and each record's blob, and read the records
    // in blocks of at most n: the file is held for one block at a time, and the next block goes
    // on after the last record's key. Only for keys whose index the conditions use, as the order
    // is then read off the index; the key's columns must be integers (they are in every file of
    // the family). Until the next ExtendedFilterClear or NurFelderLesen.
    void BlockweiseMitBlobLesen(std::size_t n);

    // Scan over the selected key, delivering the records that meet every condition.
    void Get_first_extMode();
    void Get_next_extMode();
    // Key read by the key values of the selected key's fields.
    void Get_equal();
    bool Found() const { return found_; }

    // A new stream over the current record's compressed blob.
    std::unique_ptr<TMemoryStream> CreateBlobStream();
    // The same bytes copied into bytes, for a reader of thousands of blobs.
    void BlobKopieren(std::string& bytes);

    // Reads between these two share one read of the file: a long series of key reads (an export)
    // takes the file's read lock once instead of for every read. Writers wait while a block is
    // open, so callers keep blocks short. Nothing happens while the file is not open.
    void LeseblockBeginnen();
    void LeseblockBeenden() noexcept;

protected:
    TVKT_DBFile(std::string tabelle, std::string blobSpalte);
    void DefineKey(TDBKeyNr nr, std::vector<const TDatenFeld*> felder);
    // The file this class stands for.
    virtual std::string Pfad() const = 0;
    // Throws when the open database is not a file of this class.
    virtual void SchemaPruefen(SqliteDb& db) = 0;

private:
    friend class TDatenFeld;
    struct Bedingung {
        std::string sql;
        std::vector<SqlWert> werte;
    };

    void feldAnmelden(TDatenFeld& feld);
    void bereitZumLesen();
    void positionAufgeben();
    void positionieren(SqliteStmt& stmt);
    SqliteStmt& anweisung(const std::string& sql);
    const std::string& spaltenListe() const;
    std::string scanSpaltenListe();
    bool blockLesen(bool fortsetzen);
    int spalteVon(const TDatenFeld& feld) const;
    std::string schluesselReihenfolge() const;

    std::string tabelle_;
    std::string blobSpalte_;
    std::string pfad_;
    std::vector<TDatenFeld*> felder_;
    int spaltenAnzahl_ = 1; // column 0 of every query is the rowid
    std::map<TDBKeyNr, std::vector<const TDatenFeld*>> keys_;
    TDBKeyNr key_ = 0;
    std::vector<Bedingung> bedingungen_;
    std::vector<SqlWert> keyWerte_; // of the last key read
    bool letzteBedingung_ = false;
    std::vector<const TDatenFeld*> nurFelder_; // empty: scans read every field
    std::vector<int> scanSpalten_;             // column of each field in the narrowed scan, -1 if none
    bool scanEingeschraenkt_ = false;          // the record stands on a narrowed scan
    std::size_t blockGroesse_ = 0;             // records per block of a blockwise scan; 0: none
    std::size_t imBlock_ = 0;                  // records the current block has given
    std::string blockSql_;                     // the blockwise scan up to its conditions
    std::string blockBedingung_;               // its conditions (empty: none)
    std::vector<SqlWert> blockWerte_;          // the values of its conditions
    std::vector<SqlWert> letzterSchluessel_;   // key of the last record given
    int busyMs_ = StandardBusyTimeoutMs;
    bool schemaGeprueft_ = false;
    bool leseblock_ = false;
    mutable std::string spaltenListe_;

    SqliteDb db_; // declared before the statements, so that they go first
    std::map<std::string, SqliteStmt> anweisungen_;
    std::map<TDBKeyNr, SqliteStmt*> keyAnweisungen_; // Get_equal's statement of each key, in anweisungen_
    SqliteStmt* scan_ = nullptr;
    const SqliteStmt* zeile_ = nullptr; // statement standing on the current record while scanning
    std::uint64_t stand_ = 1;           // grows whenever the file moves
    std::int64_t rowid_ = 0;
    bool found_ = false;
    std::string blob_;             // the blob of the record of the last key read
    std::int64_t blobZuRowid_ = 0; // its rowid; 0 when none is held (rowids start at 1)
};

// The booking protocol file named by the settings ([Buchungsprotokoll] Datei).
class Tpkpffile : public TVKT_DBFile {
public:
    Tpkpffile();

    TIntPairDatenKeyFeld BuchungsNr;
    TDatenfeld_Gen<TDateTime> BuchDatum;
    TDatenfeld_Gen<TDateTime> BuchZeit;
    TDatenfeld_Gen<std::string> Programm;
    TDatenfeld_Gen<std::string> Vorfall;
    TDatenfeld_Gen<std::int32_t> SatzAnzahl;
    TDatenfeld_Gen<std::int32_t> GesLaenge;
    TDatenfeld_Gen<std::int32_t> ProzessId;
    TDatenfeld_Gen<TDateTime> StartDatum;
    TDatenfeld_Gen<TDateTime> StartZeit;
    TDatenfeld_Gen<TDateTime> EndeDatum;
    TDatenfeld_Gen<TDateTime> EndeZeit;
    TDatenfeld_Gen<std::string> Terminal;
    TDatenfeld_Gen<TIntPair> BenutzerId;
    TDatenfeld_Gen<std::string> BenutzerName;
    TDatenfeld_Gen<std::string> Version;
    TDatenfeld_Gen<TDateTime> VersionDatum;

protected:
    std::string Pfad() const override;
    void SchemaPruefen(SqliteDb& db) override;
};

} // namespace infemora
