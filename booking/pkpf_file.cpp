#include "booking/pkpf_file.h"

#include "booking/pkpf_schema.h"
#include "host/codec1252.h"
#include "host/fileutil.h"
#include "host/settings.h"

namespace infemora {

namespace {

const char* vergleich(TDBComparisonCode code) {
    switch (code) {
    case TDBComparisonCode::Gleich:
        return "=";
    case TDBComparisonCode::GroesserGleich:
        return ">=";
    case TDBComparisonCode::KleinerGleich:
        return "<=";
    }
    throw EPkpfError("Der Vergleich " + std::to_string(static_cast<int>(code)) + " wird nicht unterstützt.");
}

std::string einfacheBedingung(const std::string& spalte, TDBComparisonCode code) {
    return spalte + " " + vergleich(code) + " ?";
}

} // namespace

// ---- fields ----

TDatenFeld::TDatenFeld(TVKT_DBFile& owner, std::string name, std::vector<std::string> spalten)
    : owner_(owner), spalten_(std::move(spalten)), name_(std::move(name)) {
    owner_.feldAnmelden(*this);
}

void TDatenFeld::aktualisieren() const {
    if (owner_.zeile_ && stand_ != owner_.stand_) {
        lesen(*owner_.zeile_, owner_.spalteVon(*this));
        stand_ = owner_.stand_;
    }
}

void TDatenFeld::alsAktuellMarkieren() const {
    stand_ = owner_.stand_;
}

std::string TDatenFeld::schluesselBedingung() const {
    throw EPkpfError("Das Feld " + name_ + " ist kein Schlüsselfeld.");
}

void TDatenFeld::schluesselWerte(std::vector<SqlWert>&) const {
    throw EPkpfError("Das Feld " + name_ + " ist kein Schlüsselfeld.");
}

template <> void TDatenfeld_Gen<std::int32_t>::lesen(const SqliteStmt& zeile, int spalte) const {
    wert_ = static_cast<std::int32_t>(zeile.columnInt64(spalte));
}
template <>
std::string TDatenfeld_Gen<std::int32_t>::bedingung(TDBComparisonCode code,
                                                    std::vector<SqlWert>& werte) const {
    werte.emplace_back(std::int64_t{wert_});
    return einfacheBedingung(spalten_[0], code);
}

template <> void TDatenfeld_Gen<std::string>::lesen(const SqliteStmt& zeile, int spalte) const {
    wert_ = Utf8ToWin1252(zeile.columnTextView(spalte));
}
template <>
std::string TDatenfeld_Gen<std::string>::bedingung(TDBComparisonCode code,
                                                   std::vector<SqlWert>& werte) const {
    werte.emplace_back(Win1252ToUtf8(wert_));
    return einfacheBedingung(spalten_[0], code);
}

template <> void TDatenfeld_Gen<TDateTime>::lesen(const SqliteStmt& zeile, int spalte) const {
    wert_ = TDateTime(zeile.columnInt64(spalte));
}
template <>
std::string TDatenfeld_Gen<TDateTime>::bedingung(TDBComparisonCode code, std::vector<SqlWert>& werte) const {
    werte.emplace_back(wert_.ms);
    return einfacheBedingung(spalten_[0], code);
}

template <> void TDatenfeld_Gen<TIntPair>::lesen(const SqliteStmt& zeile, int spalte) const {
    wert_ = TIntPair{static_cast<std::int32_t>(zeile.columnInt64(spalte)),
                     static_cast<std::int32_t>(zeile.columnInt64(spalte + 1))};
}
template <>
std::string TDatenfeld_Gen<TIntPair>::bedingung(TDBComparisonCode code, std::vector<SqlWert>& werte) const {
    const std::string& r = spalten_[0];
    const std::string& l = spalten_[1];
    const std::int64_t wr = wert_.R;
    const std::int64_t wl = wert_.L;
    switch (code) {
    case TDBComparisonCode::Gleich:
        werte.insert(werte.end(), {wr, wl});
        return "(" + r + " = ? AND " + l + " = ?)";
    case TDBComparisonCode::GroesserGleich:
    case TDBComparisonCode::KleinerGleich: {
        // By first part, then second: a row value compares just so, and SQLite walks the number
        // index over exactly the range of a lower and an upper bound.
        werte.insert(werte.end(), {wr, wl});
        return "((" + r + ", " + l + ")" + (code == TDBComparisonCode::GroesserGleich ? " >= " : " <= ") +
               "(?, ?))";
    }
    }
    return std::string(vergleich(code)); // throws for codes that are not offered
}

std::string TIntPairDatenKeyFeld::schluesselBedingung() const {
    return "(" + spalten_[0] + " = ? AND " + spalten_[1] + " = ?)";
}

void TIntPairDatenKeyFeld::schluesselWerte(std::vector<SqlWert>& werte) const {
    werte.emplace_back(std::int64_t{keyWert_.R});
    werte.emplace_back(std::int64_t{keyWert_.L});
}

template class TDatenfeld_Gen<std::int32_t>;
template class TDatenfeld_Gen<std::string>;
template class TDatenfeld_Gen<TDateTime>;
template class TDatenfeld_Gen<TIntPair>;

// ---- file ----

TVKT_DBFile::TVKT_DBFile(std::string tabelle, std::string blobSpalte)
    : tabelle_(std::move(tabelle)), blobSpalte_(std::move(blobSpalte)) {}

TVKT_DBFile::~TVKT_DBFile() {
    Close();
}

void TVKT_DBFile::feldAnmelden(TDatenFeld& feld) {
    spaltenListe_.clear();
    feld.nr_ = felder_.size();
    feld.ersteSpalte_ = spaltenAnzahl_;
    spaltenAnzahl_ += static_cast<int>(feld.spalten_.size());
    felder_.push_back(&feld);
}

void TVKT_DBFile::DefineKey(TDBKeyNr nr, std::vector<const TDatenFeld*> felder) {
    keys_[nr] = std::move(felder);
}

void TVKT_DBFile::OpenNew(std::int16_t modus) {
    if (modus != OpenNurLesen)
        throw EPkpfError("Die Buchungsprotokoll-Datei wird nur zum Lesen geöffnet (Modus " +
                         std::to_string(OpenNurLesen) + "), nicht im Modus " + std::to_string(modus) + ".");
    Close();
    pfad_ = Pfad();
    if (!FileExists(pfad_))
        throw EPkpfError("Die Buchungsprotokoll-Datei \"" + pfad_ + "\" ist nicht vorhanden.");
    // SQLite opens the name itself; a FIFO there would stop the viewer for good.
    RefuseIrregularFile(pfad_);
    db_ = SqliteDb::Open(pfad_, true, false, busyMs_);
    try {
        SchemaPruefen(db_);
        schemaGeprueft_ = true;
    } catch (const EPkpfGesperrt&) {
        // A point-of-sale program is writing just now; the kind of file is checked at the first
        // read instead of leaving the viewer without a file for the rest of its life.
    } catch (...) {
        db_.close();
        throw;
    }
}

void TVKT_DBFile::LeseblockBeginnen() {
    if (!db_ || leseblock_)
        return;
    db_.exec("BEGIN");
    leseblock_ = true;
}

void TVKT_DBFile::LeseblockBeenden() noexcept {
    if (!leseblock_)
        return;
    leseblock_ = false;
    positionAufgeben();
    // A read-only block has nothing to keep; should COMMIT fail, ROLLBACK still ends the read.
    try {
        db_.exec("COMMIT");
    } catch (...) {
        try {
            db_.exec("ROLLBACK");
        } catch (...) {
            // Closing the file ends the read in any case.
        }
    }
}

void TVKT_DBFile::Close() {
    LeseblockBeenden();
    positionAufgeben();
    keyAnweisungen_.clear();
    anweisungen_.clear();
    db_.close();
    schemaGeprueft_ = false;
    found_ = false;
}

void TVKT_DBFile::bereitZumLesen() {
    if (!db_)
        throw EPkpfError("Die Buchungsprotokoll-Datei" +
                         (pfad_.empty() ? std::string() : " \"" + pfad_ + "\"") +
                         " ist nicht geöffnet. Das Öffnen war beim ersten Zugriff fehlgeschlagen; bitte das "
                         "Programm neu starten, wenn die Datei wieder bereitsteht.");
    if (!schemaGeprueft_) {
        SchemaPruefen(db_);
        schemaGeprueft_ = true;
    }
}

void TVKT_DBFile::positionAufgeben() {
    if (scan_)
        scan_->reset();
    scan_ = nullptr;
    zeile_ = nullptr;
    found_ = false;
}

void TVKT_DBFile::positionieren(SqliteStmt& stmt) {
    ++stand_;
    scanEingeschraenkt_ = false;
    blobZuRowid_ = 0;
    blob_.clear();
    zeile_ = &stmt;
    rowid_ = stmt.columnInt64(0);
    found_ = true;
    if (blockGroesse_ > 0 && &stmt == scan_) {
        ++imBlock_;
        // The blob comes with the record; the key is where the next block goes on.
        blob_.assign(stmt.columnBlobView(spaltenAnzahl_));
        blobZuRowid_ = rowid_;
        letzterSchluessel_.clear();
        for (const TDatenFeld* f : keys_.at(key_))
            for (std::size_t i = 0; i < f->spalten_.size(); ++i)
                letzterSchluessel_.emplace_back(stmt.columnInt64(f->ersteSpalte_ + static_cast<int>(i)));
    }
}

SqliteStmt& TVKT_DBFile::anweisung(const std::string& sql) {
    auto it = anweisungen_.find(sql);
    if (it == anweisungen_.end())
        it = anweisungen_.emplace(sql, SqliteStmt(db_, sql)).first;
    it->second.reset();
    return it->second;
}

const std::string& TVKT_DBFile::spaltenListe() const {
    // The fields are all known once the file object is built; an export asks thousands of times.
    if (spaltenListe_.empty()) {
        spaltenListe_ = "rowid";
        for (const TDatenFeld* f : felder_)
            for (const std::string& s : f->spalten_)
                spaltenListe_ += ", " + s;
    }
    return spaltenListe_;
}

std::string TVKT_DBFile::schluesselReihenfolge() const {
    auto it = keys_.find(key_);
    if (it == keys_.end())
        return "rowid";
    std::string order;
    for (const TDatenFeld* f : it->second)
        for (const std::string& s : f->spalten_)
            order += (order.empty() ? "" : ", ") + s;
    return order;
}

void TVKT_DBFile::ExtendedFilterClear() {
    positionAufgeben();
    bedingungen_.clear();
    letzteBedingung_ = false;
    nurFelder_.clear();
    blockGroesse_ = 0;
}

void TVKT_DBFile::BlockweiseMitBlobLesen(std::size_t n) {
    positionAufgeben();
    nurFelder_.clear();
    blockGroesse_ = n;
}

void TVKT_DBFile::NurFelderLesen(const std::vector<const TDatenFeld*>& felder) {
    for (const TDatenFeld* f : felder)
        if (&f->owner_ != this)
            throw EPkpfError("Das Feld " + f->Name() + " gehört nicht zu dieser Datei.");
    positionAufgeben();
    nurFelder_ = felder;
    blockGroesse_ = 0;
}

std::string TVKT_DBFile::scanSpaltenListe() {
    if (nurFelder_.empty())
        return spaltenListe();
    scanSpalten_.assign(felder_.size(), -1);
    std::string liste = "rowid";
    int spalte = 1;
    for (const TDatenFeld* f : nurFelder_) {
        if (scanSpalten_[f->nr_] >= 0)
            continue;
        scanSpalten_[f->nr_] = spalte;
        for (const std::string& s : f->spalten_) {
            liste += ", " + s;
            ++spalte;
        }
    }
    return liste;
}

int TVKT_DBFile::spalteVon(const TDatenFeld& feld) const {
    if (!scanEingeschraenkt_)
        return feld.ersteSpalte_;
    const int spalte = scanSpalten_[feld.nr_];
    if (spalte < 0)
        throw EPkpfError("Das Feld " + feld.Name() + " wird bei dieser Auswahl nicht gelesen.");
    return spalte;
}

void TVKT_DBFile::ExtendedFilterAdd(const TDatenFeld& feld, TDBComparisonCode code,
                                    TDBLogicConnection verbindung) {
    if (&feld.owner_ != this)
        throw EPkpfError("Das Feld " + feld.Name() + " gehört nicht zu dieser Datei.");
    if (verbindung != TDBLogicConnection::Und && verbindung != TDBLogicConnection::Letzte)
        throw EPkpfError("Die Verknüpfung " + std::to_string(static_cast<int>(verbindung)) +
                         " wird nicht unterstützt.");
    if (letzteBedingung_)
        throw EPkpfError("Nach der letzten Bedingung einer Auswahl kann keine weitere folgen.");
    feld.aktualisieren();
    Bedingung b;
    b.sql = feld.bedingung(code, b.werte);
    bedingungen_.push_back(std::move(b));
    letzteBedingung_ = verbindung == TDBLogicConnection::Letzte;
}

void TVKT_DBFile::SelectKey(TDBKeyNr key) {
    if (!keys_.count(key))
        throw EPkpfError("Den Schlüssel " + std::to_string(key) + " gibt es nicht.");
    positionAufgeben();
    key_ = key;
}

void TVKT_DBFile::Get_first_extMode() {
    bereitZumLesen();
    positionAufgeben();
    std::string sql = "SELECT " + scanSpaltenListe();
    if (blockGroesse_ > 0)
        sql += ", " + blobSpalte_;
    sql += " FROM " + tabelle_;
    std::string bedingung;
    std::vector<SqlWert> werte;
    for (const Bedingung& b : bedingungen_) {
        bedingung += (bedingung.empty() ? "" : " AND ") + b.sql;
        werte.insert(werte.end(), b.werte.begin(), b.werte.end());
    }
    if (blockGroesse_ > 0) {
        blockSql_ = std::move(sql);
        blockBedingung_ = std::move(bedingung);
        blockWerte_ = std::move(werte);
        blockLesen(false);
        return;
    }
    if (!bedingung.empty())
        sql += " WHERE " + bedingung;
    sql += " ORDER BY " + schluesselReihenfolge();
    SqliteStmt& stmt = anweisung(sql);
    stmt.bindAll(werte);
    if (stmt.step()) {
        scan_ = &stmt;
        positionieren(stmt);
        scanEingeschraenkt_ = !nurFelder_.empty();
    } else {
        stmt.reset();
    }
}

// The next block of a blockwise scan: from the start, or after the key of the last record.
bool TVKT_DBFile::blockLesen(bool fortsetzen) {
    positionAufgeben();
    const std::string reihenfolge = schluesselReihenfolge();
    std::string bedingung;
    std::vector<SqlWert> werte;
    if (fortsetzen) {
        // First in the text: of two lower bounds on the index SQLite seeks by the first, and the
        // block must start at the last key, not at the start of the selection again.
        bedingung = "(" + reihenfolge + ") > (";
        for (std::size_t i = 0; i < letzterSchluessel_.size(); ++i)
            bedingung += i == 0 ? "?" : ", ?";
        bedingung += ")";
        werte = letzterSchluessel_;
    }
    if (!blockBedingung_.empty()) {
        bedingung += (bedingung.empty() ? "" : " AND ") + blockBedingung_;
        werte.insert(werte.end(), blockWerte_.begin(), blockWerte_.end());
    }
    std::string sql = blockSql_;
    if (!bedingung.empty())
        sql += " WHERE " + bedingung;
    sql += " ORDER BY " + reihenfolge + " LIMIT " + std::to_string(blockGroesse_);
    SqliteStmt& stmt = anweisung(sql);
    stmt.bindAll(werte);
    imBlock_ = 0;
    if (!stmt.step()) {
        stmt.reset();
        return false;
    }
    scan_ = &stmt;
    positionieren(stmt);
    return true;
}

void TVKT_DBFile::Get_next_extMode() {
    if (!scan_) {
        found_ = false;
        return;
    }
    if (scan_->step()) {
        const bool eingeschraenkt = scanEingeschraenkt_;
        positionieren(*scan_);
        scanEingeschraenkt_ = eingeschraenkt;
    } else if (blockGroesse_ > 0 && imBlock_ == blockGroesse_) {
        blockLesen(true); // the block is ended first, so that writers are not held up
    } else {
        positionAufgeben(); // ends the read, so that writers are not held up
    }
}

void TVKT_DBFile::Get_equal() {
    bereitZumLesen();
    positionAufgeben();
    auto it = keys_.find(key_);
    if (it == keys_.end())
        throw EPkpfError("Für das Lesen nach Schlüssel ist kein Schlüssel gewählt.");
    // The blob comes along: a key read is followed by reading the record lines, and both then
    // stem from the same state of the file.
    // An export reads thousands of bookings by key: the statement is made once per key, and the
    // list of values keeps its memory.
    std::vector<SqlWert>& werte = keyWerte_;
    werte.clear();
    for (const TDatenFeld* f : it->second)
        f->schluesselWerte(werte);
    SqliteStmt*& gemerkt = keyAnweisungen_[key_];
    if (!gemerkt) {
        std::string bedingung;
        for (const TDatenFeld* f : it->second)
            bedingung += (bedingung.empty() ? "" : " AND ") + f->schluesselBedingung();
        gemerkt = &anweisung("SELECT " + spaltenListe() + ", " + blobSpalte_ + " FROM " + tabelle_ +
                             " WHERE " + bedingung);
    }
    SqliteStmt& stmt = *gemerkt;
    stmt.reset();
    stmt.bindAll(werte);
    if (!stmt.step()) {
        stmt.reset();
        return;
    }
    positionieren(stmt);
    // The record is taken whole and the read ended at once: a viewer that keeps showing a
    // booking must not keep point-of-sale programs from writing.
    for (const TDatenFeld* f : felder_)
        f->aktualisieren();
    blob_.assign(stmt.columnBlobView(spaltenAnzahl_));
    blobZuRowid_ = rowid_;
    stmt.reset();
    zeile_ = nullptr;
}

std::unique_ptr<TMemoryStream> TVKT_DBFile::CreateBlobStream() {
    std::string bytes;
    BlobKopieren(bytes);
    return std::make_unique<TMemoryStream>(std::move(bytes));
}

void TVKT_DBFile::BlobKopieren(std::string& bytes) {
    bereitZumLesen();
    if (!found_)
        throw EPkpfError("Es ist keine Buchung ausgewählt, deren Sätze gelesen werden könnten.");
    if (blobZuRowid_ == rowid_) {
        bytes.assign(blob_);
        return;
    }
    SqliteStmt& stmt = anweisung("SELECT " + blobSpalte_ + " FROM " + tabelle_ + " WHERE rowid = ?");
    stmt.bind(1, rowid_);
    if (!stmt.step()) {
        stmt.reset();
        throw EPkpfError("Die Buchung ist nicht mehr in der Buchungsprotokoll-Datei.");
    }
    bytes.assign(stmt.columnBlobView(0));
    stmt.reset();
}

// ---- booking protocol ----

Tpkpffile::Tpkpffile()
    : TVKT_DBFile("pkpf", "saetze"), BuchungsNr(*this, "BuchungsNr", {"rnr", "lnr"}),
      BuchDatum(*this, "BuchDatum", {"buchdatum"}), BuchZeit(*this, "BuchZeit", {"buchzeit"}),
      Programm(*this, "Programm", {"programm"}), Vorfall(*this, "Vorfall", {"vorfall"}),
      SatzAnzahl(*this, "SatzAnzahl", {"satzanzahl"}), GesLaenge(*this, "GesLaenge", {"geslaenge"}),
      ProzessId(*this, "ProzessId", {"prozessid"}), StartDatum(*this, "StartDatum", {"startdatum"}),
      StartZeit(*this, "StartZeit", {"startzeit"}), EndeDatum(*this, "EndeDatum", {"endedatum"}),
      EndeZeit(*this, "EndeZeit", {"endezeit"}), Terminal(*this, "Terminal", {"terminal"}),
      BenutzerId(*this, "BenutzerId", {"benutzer_a", "benutzer_b"}),
      BenutzerName(*this, "BenutzerName", {"benutzername"}), Version(*this, "Version", {"version"}),
      VersionDatum(*this, "VersionDatum", {"versiondatum"}) {
    DefineKey(KeyBuchungsNr, {&BuchungsNr});
    DefineKey(KeyListe, {&BuchDatum, &BuchZeit, &BuchungsNr});
}

std::string Tpkpffile::Pfad() const {
    const std::string& pfad = GetSettings().buchungsDatei;
    if (pfad.empty())
        throw EPkpfError("Es ist keine Buchungsprotokoll-Datei eingestellt (Einstellung [Buchungsprotokoll] "
                         "Datei).");
    return pfad;
}

void Tpkpffile::SchemaPruefen(SqliteDb& db) {
    PkpfSchemaPruefen(db);
}

} // namespace infemora
