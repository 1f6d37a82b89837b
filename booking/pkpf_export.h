#pragma once
// The fixed-width export of bookings: the line format and the list of lines an export writes.
#include "booking/intpair.h"
#include "host/datetime.h"
#include "host/replacing_file.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace infemora {

inline constexpr std::size_t PKPFExportFeldAnzahl = 20;
using TPKPFExportFelder = std::array<std::string, PKPFExportFeldAnzahl>;
using TPKPFExportWerte = std::array<std::string_view, PKPFExportFeldAnzahl>;
// The 20 column titles of the export.
const TPKPFExportFelder& PKPFExportTitel();
// A text from the booking file as the export writes it: control characters (CR, LF, tab, ...)
// as blanks, so that a line stays one line of its fixed width, and a text that begins with
// "=", "+", "-" or "@" with an apostrophe before it, so that a spreadsheet opening the file
// shows it as text instead of running it as a formula. The apostrophe takes one of the field's
// padding blanks. Returns the text itself when nothing needs changing, else puts the changed
// text into puffer and returns that.
std::string_view PKPFExportText(std::string_view wert, std::string& puffer);
// One export line: each field padded to its width (right-aligned fields on the left), then
// "; ". Longer values are written whole; nothing is quoted or escaped.
std::string PKPFExportZeile(const TPKPFExportFelder& felder);
// The same line and its CR LF appended to ziel.
void PKPFExportZeileAnhaengen(std::string& ziel, const TPKPFExportWerte& felder);
// A record line (columns 1 to 17 empty) and its CR LF appended to ziel.
void PKPFExportSatzAnhaengen(std::string& ziel, std::string_view kennung, std::string_view wrdon,
                             std::string_view beschreibung);

// A booking line's values as the booking file holds them; the export's writers format them.
struct TPKPFExportKopf {
    TIntPair BuchungsNr = CLeeresIntPair;
    TDateTime BuchDatum, BuchZeit;
    std::string Programm, Vorfall;
    std::int32_t SatzAnzahl = 0, GesLaenge = 0, ProzessId = 0;
    TDateTime StartDatum, StartZeit, EndeDatum, EndeZeit;
    std::string Terminal;
    TIntPair BenutzerId = CLeeresIntPair;
    std::string BenutzerName, Version;
    TDateTime VersionDatum;
};
// The booking line (columns 18 to 20 empty) and its CR LF appended to ziel.
void PKPFExportKopfAnhaengen(std::string& ziel, const TPKPFExportKopf& kopf);

// The list of lines an export writes. Lines go to the export file as they are added, so a large
// export never holds its lines in memory. Bookings are handed over in batches to two writer
// threads, which unpack and format them while the caller reads the next bookings from the
// booking file; the batches reach the file in the order they were added. A batch formatted
// before the one ahead of it waits, formatted, for its turn while its thread goes on with the
// next; whichever thread finishes the batch due next writes it and those waiting behind it.
class TPKPFExportZeilen {
public:
    explicit TPKPFExportZeilen(ReplacingFileWriter& datei);
    ~TPKPFExportZeilen(); // lines not yet written are dropped: the file is given up then
    TPKPFExportZeilen(const TPKPFExportZeilen&) = delete;
    TPKPFExportZeilen& operator=(const TPKPFExportZeilen&) = delete;

    bool empty() const { return anzahl_ == 0; }
    void Anfuegen(const TPKPFExportWerte& felder);
    // A booking line, followed, when a blob is given, by one record line for each record line
    // the compressed blob holds (one "defekt" line when the blob cannot be read).
    void BuchungAnfuegen(TPKPFExportKopf kopf);
    void BuchungAnfuegen(TPKPFExportKopf kopf, std::string blob);
    // Waits until every line is written to the file; rethrows what made writing fail.
    void Abschliessen();

private:
    struct Eintrag {
        std::string zeile; // a line of its own, or empty: the booking line of kopf
        TPKPFExportKopf kopf;
        std::string blob;
        bool mitSaetzen = false;
    };
    struct Abgabe {
        std::size_t nr = 0;
        std::vector<Eintrag> eintraege;
    };
    void aufnehmen(Eintrag e);
    void abgeben();
    void schreiben();
    void anhalten() noexcept;

    ReplacingFileWriter& datei_;
    std::size_t anzahl_ = 0;
    std::vector<Eintrag> sammlung_;

    std::mutex mutex_;
    std::condition_variable platzFrei_;     // the caller waits for room in the queue
    std::condition_variable arbeit_;        // writers wait for a batch
    std::condition_variable geschriebenCv_; // writers far ahead wait for the file to catch up
    std::deque<Abgabe> warteschlange_;
    std::size_t abgegeben_ = 0;                 // batches handed over
    std::size_t geschrieben_ = 0;               // batches in the file: the next one to write has this number
    std::map<std::size_t, std::string> fertig_; // formatted batches waiting for their turn
    std::vector<std::string> frei_;             // buffers of written batches, for reuse
    bool schreibend_ = false;                   // a thread is writing batches to the file
    bool ende_ = false;
    std::exception_ptr fehler_;
    std::vector<std::thread> schreiber_;
};

} // namespace infemora
