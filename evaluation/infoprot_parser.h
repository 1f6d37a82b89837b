#pragma once
// The evaluation of the info logs of one directory, without any widget: the evaluation window
// TVKT_InfoProtParser keeps one of these, copies its fields into it before an action (edtPfad
// and the texts of the two date fields), lets memoOutput receive the output lines and shows
// the results. The headless program does the same on stdout.
//
// Every routine catches what fails inside it and registers it with the message service under
// "TVKT_InfoProtParser.<routine>", as the window's own methods would.
#include "evaluation/fehler_records.h"
#include "evaluation/vkt_list.h"
#include "host/direxplorer.h"
#include "host/progress.h"
#include "host/textfile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace infemora {

class TextBuffer;

// Thrown inside an action when a step has already registered and shown why it stopped.
struct AktionAbgebrochen {};

// How the last action of an evaluation ended.
enum class TAuswertungsErgebnis {
    Keins,             // no action yet
    Fertig,            // complete; its file was written
    ZeitraumUngueltig, // the first day lies after the last: message 1002, nothing done
    Fehlgeschlagen,    // a failure was registered; no file was replaced
    Besetzt,           // the work section was refused: another evaluation runs
};

class InfoProtParser {
public:
    InfoProtParser();
    ~InfoProtParser();
    InfoProtParser(const InfoProtParser&) = delete;
    InfoProtParser& operator=(const InfoProtParser&) = delete;

    // --- the window's fields, as plain data ---
    std::string edtPfad;         // directory to evaluate
    std::string edtDatumCSV_Von; // first day of the period, as the date field shows it
    std::string edtDatumCSV_Bis; // last day of the period

    // memoOutput: each appended line (Windows-1252) and the clearing of the whole memo.
    std::function<void(const std::string& line)> OnAusgabeZeile;
    std::function<void()> OnAusgabeLeeren;
    // Lets pending window messages run between files; never null.
    IProgress* Fortschritt = &NullProgress();

    TVKT_List<TFehlerRec> FFehlerList;
    std::int32_t FIgnorierteFehler = 0;
    std::int32_t FIgnoriert993Fehler = 0;
    std::int32_t FResetError = 0;
    std::int32_t FDoppeltError = 0;
    std::int32_t FMenuGeschlossen = 0;
    Lines FListeNichtGelesen; // full paths of files whose reading failed, for the window's life

    // The defaults of a new window: the log directory, from ten days ago to today.
    void FormCreate();
    // Only the period of FormCreate: from ten days ago to today.
    void ZeitraumVorgeben();
    // The help lines memoOutput shows when the window opens.
    static const Lines& HilfeZeilen();

    // --- record parsing ---
    bool SinnvolleZeitspanne();
    bool Datei_Parsen(const TSearchRec& SearchRec);
    void Parse_InfoFile(const std::string& FileName);
    // Lines is the file; Index is the byte offset of the line that starts the entry and comes
    // back as the offset of the line that ended it (the end of the text when the file ended).
    void Fehler_Hinzufuegen(TextBuffer& Lines, std::size_t& Index);
    // Cuts the header line rec.Zeile into DateTime, User, Programm and FehlerCode;
    // EConvertError when its date or time is no number or no valid date or time.
    static void Kopfzeile_Zerlegen(TFehlerRec& rec);

    // --- collection ---
    // True when every file of the directory was offered. False after message 1002 (the period
    // is not valid) or when the directory is missing, no folder or cannot be read: then the
    // reason is registered and shown, and the results of the last run stay.
    bool Auswerten();
    // Sort order of FFehlerList: code, then text, both as CompareText.
    static int Fehler_Vergleichen(const TFehlerRec& a, const TFehlerRec& b);

    // --- typing and CSV export ---
    void FehlerSuchen(const std::string& FehlerTyp, const std::string& Zeile, const std::string& ZusatzInfo,
                      const std::string& CallStack, const std::string& Text, const std::string& Code);
    // False when the rule file exists but could not be read: the errors are then untyped.
    bool btnAnalyseClick();
    // The button handlers return false when the host refused the work section (nothing ran);
    // FErgebnis tells how the action ended.
    bool btncsvExportzClick();

    // --- error evaluation report ---
    // FileName is the report written, empty when none was.
    void Fehler_Auswertung(std::string& FileName);
    bool btnFehler_AuswertungClick();

    // --- start/end report ---
    void Anzahl_Protokoll_Start_Ende();
    bool btnStartEndeClick();

    // CSV field as the export writes it.
    static std::string CsvFeld(std::string_view value);

    TAuswertungsErgebnis FErgebnis = TAuswertungsErgebnis::Keins;

private:
    void Ausgabe(const std::string& line);
    void AusgabeLeeren();
    // EFileError saying what is wrong when edtPfad names no folder that can be evaluated.
    void VerzeichnisPruefen() const;
    // Registers the failure in flight under the routine and shows it below the output; the
    // action counts as failed.
    void NichtAusgefuehrt(const std::string& routine);
    // Asks the host for the work section; false (and FErgebnis set) when it is refused.
    bool ArbeitBeginnen(int& handle, const std::string& kontext, int sekunden);
    void FehlerListeSortieren();
    // FehlerSuchen for every rule of the rule file, in one pass over the errors; false when the
    // rule file could not be read.
    bool alleRegelnAnwenden();
    void Klassifizieren(TFehlerRec&& rec, bool hatNaechsteKopfzeile, std::string_view naechsteKopfzeile);
    bool IstDoppelt(const std::string& zeile);
    void ZeilenIndexEintragen(std::uint32_t hash, std::size_t index);
    void ZeilenIndexNeuAufbauen();

    // The header lines of FFehlerList, for the duplicate test: an open-addressing table of
    // (32 bits of the line's hash) << 32 | (list index + 1); 0 is a free slot.
    std::vector<std::uint64_t> FZeilenIndex;
    std::size_t FZeilenIndexAnzahl = 0; // entries in the table
    bool FZeilenIndexGueltig = false;   // false once the list was reordered
    // Lines of the block being cut (offset, length), reused from entry to entry.
    std::vector<std::pair<std::size_t, std::size_t>> FTeile;
};

} // namespace infemora
