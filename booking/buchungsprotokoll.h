#pragma once
// The booking protocol viewer without its widgets: the booking file opened on first need, the
// record lines of a booking, the list of bookings for a selection, the details of one booking,
// the search by number over the loaded rows and the fixed-width export. The main window owns
// one TBuchungsprotokoll; the command line uses the same routines.
//
// Every routine catches what goes wrong, registers it with the message service under the
// context name of the window routine it stands for and returns normally.
#include "booking/pkpf_export.h"
#include "booking/pkpf_file.h"
#include "host/textfile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace infemora {

// ---- record model ----

// The record lines of the booking the file stands on: each section of the unpacked INI text, in
// order, is one record line, sections of the same name each on its own. Lines that are neither
// a section, a comment nor key=value are passed over; text without a section has no record
// line. A blob that cannot be unpacked or is no text (it holds NUL bytes) gives the one line
// "defekt" without a message; a failure before (reading the blob) is registered and leaves the
// list empty.
void PKPFBlobAuslesen(TPKPF_Blob_Arr& saetze, TVKT_DBFile& datei);
// The record lines of a compressed blob by the same rules; "defekt" when it cannot be unpacked or
// is no text.
// Touches nothing but its arguments, so the export can read blobs beside the key reads.
void PKPFSaetzeAusBlob(TPKPF_Blob_Arr& saetze, std::string_view blob);
// The same line by line: satz(kennung, wrdon, beschreibung) for each record line, the texts valid
// only during the call. Nothing is handed on before the whole blob was read.
using TPKPFSatzFunktion = std::function<void(std::string_view, std::string_view, std::string_view)>;
void PKPFSaetzeDurchgehen(std::string_view blob, const TPKPFSatzFunktion& satz);
// "12-345" with '-' gives (12, 345): the text before the first separator is the first part, the
// rest the second; a part that is no number counts 0, a text without separator is the second part.
TIntPair StringToIntPair(const std::string& text, char trenner);
// Date in the short date format, ", ", time in the long time format.
std::string FormatDatumUZeit(TDateTime datum, TDateTime zeit);

// ---- list ----

enum class TPKPFAnzeigeModus {
    LetzteTage,     // rbLastDays
    VonBis,         // rbVonBis
    Buchungsnummer, // rbBuchungsnummer
};

// What the selection panel holds when the list is loaded.
struct TPKPFAuswahl {
    TPKPFAnzeigeModus modus = TPKPFAnzeigeModus::LetzteTage;
    std::string letzteTage = "30"; // text of edtLastDays
    std::string von;               // text of edtVon, "TT.MM.JJ"
    std::string bis;               // text of edtBis
    std::int32_t rNr = 0;          // edtRNrLaden, 0 when empty
    std::int32_t lNrVon = 0;       // edtLNrVonLaden
    std::int32_t lNrBis = 0;       // edtLNrBisLaden
};

// One row of the booking grid: its ten cells in column order.
struct TPKPFKopfZeile {
    std::string BuchungsNr;          // 0 "Buchungsnummer", R-L
    std::string DatumZeit;           // 1 "Buchungs-Datum, -Uhrzeit"
    TDateTime DatumZeitSort;         // 2 hidden: BuchDatum + BuchZeit
    std::string Programm;            // 3
    std::string Vorfall;             // 4
    std::string Benutzer;            // 5 BenutzerName
    std::string SatzAnzahl;          // 6
    std::int32_t SatzAnzahlSort = 0; // 7 hidden
    std::string GesLaenge;           // 8
    std::int32_t GesLaengeSort = 0;  // 9 hidden
};

// The detail line and record lines of one booking.
struct TPKPFDetails {
    bool gefunden = false;
    std::string Prozess;     // lblProzess
    std::string Terminal;    // lblTerminal
    std::string StartVerarb; // lblStartVerarb
    std::string EndeVerarb;  // lblEndeVerarb
    std::string Version;     // lblVersion
    TPKPF_Blob_Arr Saetze;   // rows of the record grid
};

// ---- search ----

struct TPKPFSuchErgebnis {
    bool gesucht = false;             // false when a search field was empty (0): nothing to do
    std::optional<std::size_t> zeile; // the first row from the top with that number
};

// Searches the loaded rows in the grid's current order; textAt(i) is the booking number cell of
// row i from the top. Only the rows are searched, never the file.
TPKPFSuchErgebnis BuchungSuchen(std::int32_t rNr, std::int32_t lNr, std::size_t anzahl,
                                const std::function<const std::string&(std::size_t)>& textAt);
TPKPFSuchErgebnis BuchungSuchen(std::int32_t rNr, std::int32_t lNr,
                                const std::vector<TPKPFKopfZeile>& zeilen);

// ---- the viewer's state ----

class TBuchungsprotokoll {
public:
    TBuchungsprotokoll() = default;
    ~TBuchungsprotokoll();
    TBuchungsprotokoll(const TBuchungsprotokoll&) = delete;
    TBuchungsprotokoll& operator=(const TBuchungsprotokoll&) = delete;

    // Created by the first booking operation, open from then on; nil before.
    std::unique_ptr<Tpkpffile> FPKPFFile;
    // The selection of the last load that got past its first step.
    TDateTime FPKPFDatumVon;
    TDateTime FPKPFDatumBis;
    TIntPair FPKPFBuchungsNrVon = CLeeresIntPair;
    TIntPair FPKPFBuchungsNrBis = CLeeresIntPair;
    // The last scan of a selection read it to its end (no failure broke it off).
    bool FAuswahlVollstaendig = false;

    // Makes sure the booking file exists and is open. It is opened once: after a failed open
    // the unopened object stays and later calls do not try again.
    void PKPFFile_CiN();

    // Loads the bookings of the selection into zeilen in scan order. False (and zeilen and the
    // selection state untouched) when in mode Buchungsnummer the first part or the lower
    // second part is 0. Otherwise true; zeilen holds the rows read before a failure, if any,
    // and FAuswahlVollstaendig tells whether the scan reached the selection's end.
    bool PKPFAnzeigeAktualisieren(const TPKPFAuswahl& auswahl, std::vector<TPKPFKopfZeile>& zeilen);
    // The same selection, only the numbers as the grid shows them: what an export without a grid
    // needs.
    bool PKPFBuchungsNummern(const TPKPFAuswahl& auswahl, std::vector<std::string>& nummern);

    // The details of the booking whose number cell reads buchungsNrText (none: nullptr); empty
    // details when there is none or it is no longer in the file.
    void TrvPKPFSaetzeEinstellen(const std::string* buchungsNrText, TPKPFDetails& details);

    // Export file name in the directory from the last selection; empty after a failure.
    std::string NamenErmitteln(const std::string& verzeichnis);
    void UeberschriftWegschreiben(TPKPFExportZeilen& zeilen);
    // Adds the booking's line and its record lines (and the title line first, if zeilen is
    // empty); adds nothing, with a warning, when the booking is no longer in the file. False
    // (registered) when the booking or its blob could not be read.
    bool BuchungLadenUndWegschreiben(TPKPFExportZeilen& zeilen, const TIntPair& nummer);
    // Writes the bookings whose number cells are given, in that order, to the export file in
    // the directory and shows message 1001. Returns the file written, empty after a failure:
    // the file takes its name only when every booking was read.
    std::string PKPFExportieren(const std::string& verzeichnis,
                                const std::vector<std::string>& buchungsNrTexte);
    // An export without a grid: the bookings of the selection in the order the grid lists them
    // after loading, the same file as PKPFBuchungsNummern and PKPFExportieren give.
    std::string PKPFAuswahlExportieren(const std::string& verzeichnis, const TPKPFAuswahl& auswahl);

    // The window's teardown: closes and frees the booking file (failures registered with the
    // flag false, as everything in the teardown).
    void PKPFFileFreigeben();

    // For tests and impatient callers: how long a read waits for a writer (before the first
    // operation).
    void SetBusyTimeout(int milliseconds) { busyTimeoutMs_ = milliseconds; }

private:
    // The key read of one booking; the file positioned on it, or nullptr when there is none.
    Tpkpffile* BuchungLesen(const TIntPair& nummer);
    // Sets the selection state and hands each booking of the selection to buchung while the file
    // stands on it; what PKPFAnzeigeAktualisieren promises.
    // The selection state and the file's conditions for the selection.
    void auswahlEinstellen(const TPKPFAuswahl& auswahl, Tpkpffile& f);
    // An export of the selection read straight off an index in the grid's order, without the
    // selection read first: nullopt, with nothing registered and no file, where that does not
    // fit (a number range booked out of time order, a failure on the way).
    std::optional<std::string> auswahlDirektExportieren(const std::string& verzeichnis,
                                                        const TPKPFAuswahl& auswahl);
    // nurBuchungsNr: the scan reads the booking number alone.
    bool PKPFAuswahlDurchgehen(const TPKPFAuswahl& auswahl, const std::function<void(Tpkpffile&)>& buchung,
                               bool nurBuchungsNr = false);
    int busyTimeoutMs_ = TVKT_DBFile::StandardBusyTimeoutMs;
};

// The date of a date field "TT.MM.JJ": characters 1-2 day, 4-5 month, 7-8 year (a part that is
// no number counts 0); the year is 20JJ unless that lies after the current year, then 19JJ.
// EConvertError when no such day exists.
TDateTime PKPFDatumAusFeld(const std::string& text);

} // namespace infemora
