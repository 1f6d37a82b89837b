// The start/end report: how often each program's log was started and ended, per day and user.
#include "evaluation/infoprot_parser.h"

#include "evaluation/text_buffer.h"
#include "evaluation/text_compare.h"
#include "host/datetime.h"
#include "host/directories.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/program.h"
#include "host/textfile.h"

#include <algorithm>
#include <unordered_map>

namespace infemora {

namespace {

const std::string kKlasse = "TVKT_InfoProtParser.";
constexpr std::string_view kStart = "Protokollstart";
constexpr std::string_view kEnde = "Protokollende";

class Zaehlung {
public:
    Zaehlung(TDateTime erster, TDateTime letzter) : erster_(erster), letzter_(letzter) {}

    // The line's date (characters 11 to 18, YYYYMMDD) lies in the period; a line without a
    // valid date there is never counted, whatever the period.
    bool ImZeitraum(std::string_view zeile) const {
        TDateTime datum;
        if (!TryJJJJMMTT2Date(Copy(zeile, 11, 8), datum))
            return false;
        return datum >= erster_ && datum <= letzter_;
    }

    // Counts the line for the keyword found at 1-based position p.
    void Zaehlen(std::string_view zeile, std::string_view stichwort, std::size_t p) {
        std::size_t q = 10;
        if (p >= 2)
            for (std::size_t k = p - 2; k >= 11; --k)
                if (k <= zeile.size() && zeile[k - 1] == ' ') {
                    q = k;
                    break;
                }
        TProtokoll_Start_Ende rec;
        rec.Datum = std::string(Copy(zeile, 11, 8));
        rec.Programm = p >= q + 2 ? std::string(Copy(zeile, q + 1, p - 2 - q)) : std::string();
        rec.Benutzer = q > 27 ? std::string(Copy(zeile, 27, q - 27)) : std::string();
        rec.Start_Ende = std::string(stichwort);
        rec.Anzahl = 1;

        std::string schluessel =
            rec.Datum + '\0' + rec.Start_Ende + '\0' + rec.Benutzer + '\0' + rec.Programm;
        auto it = index_.find(schluessel);
        if (it != index_.end()) {
            ++liste_[it->second].Anzahl;
        } else {
            index_.emplace(std::move(schluessel), liste_.Add(std::move(rec)));
        }
    }

    const TVKT_List<TProtokoll_Start_Ende>& Liste() const { return liste_; }

private:
    TDateTime erster_, letzter_;
    TVKT_List<TProtokoll_Start_Ende> liste_; // in order of first appearance
    std::unordered_map<std::string, int> index_;
};

void ZeileZaehlen(Zaehlung& zaehlung, std::string_view zeile) {
    if (Contains(zeile, "TMP"))
        return;
    const std::size_t start = zeile.find(kStart);
    const std::size_t ende = zeile.find(kEnde);
    if (start == std::string_view::npos && ende == std::string_view::npos)
        return;
    if (!zaehlung.ImZeitraum(zeile))
        return;
    if (start != std::string_view::npos)
        zaehlung.Zaehlen(zeile, kStart, start + 1);
    if (ende != std::string_view::npos)
        zaehlung.Zaehlen(zeile, kEnde, ende + 1);
}

} // namespace

void InfoProtParser::Anzahl_Protokoll_Start_Ende() {
    const std::string kontext = kKlasse + "Anzahl_Protokoll_Start_Ende";
    try {
        // The same checks as the collection's: a refused period or a folder that is missing
        // replaces nothing.
        if (!SinnvolleZeitspanne()) {
            FErgebnis = TAuswertungsErgebnis::ZeitraumUngueltig;
            Info().ShowDlgMeldung(Programm().programId(), 1002);
            return;
        }
        VerzeichnisPruefen();
        const TDateTime erster = StrToDate(edtDatumCSV_Von).dateOnly();
        const TDateTime letzter = StrToDate(edtDatumCSV_Bis).dateOnly();
        Zaehlung zaehlung(erster, letzter);

        const std::string verzeichnis = IncludeTrailingPathDelimiter(edtPfad);
        TDirExplorer suche(verzeichnis, "*", TDirExplorer::NormalFiles);
        for (const TSearchRec& datei : suche.List()) {
            if (!Datei_Parsen(datei))
                continue;
            try {
                TextBuffer lines = TextBuffer::Open(verzeichnis + datei.name);
                std::size_t next = 0;
                for (std::size_t pos = 0; lines.HasLine(pos); pos = next) {
                    lines.Release(pos);
                    ZeileZaehlen(zaehlung, lines.LineAt(pos, next));
                }
            } catch (const EFileError&) {
                // One log that vanished or cannot be read must not cost the report of all the
                // others; it is left out with a warning.
                RegisterCurrentWarning(kontext);
            }
        }

        Lines bericht;
        bericht.reserve(static_cast<std::size_t>(zaehlung.Liste().Count()));
        for (const TProtokoll_Start_Ende& rec : zaehlung.Liste())
            bericht.push_back(rec.Datum + ": " + rec.Programm + " " + "(Benutzer: " + rec.Benutzer + ") " +
                              rec.Start_Ende + ": " + std::to_string(rec.Anzahl));

        GermanCollator sortierung;
        std::vector<std::pair<std::string, std::string>> sortiert; // sort key, line
        sortiert.reserve(bericht.size());
        for (auto& zeile : bericht)
            sortiert.emplace_back(sortierung.SortKey(zeile), std::move(zeile));
        std::stable_sort(sortiert.begin(), sortiert.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t k = 0; k < sortiert.size(); ++k)
            bericht[k] = std::move(sortiert[k].second);

        const std::string pfad =
            GetDirWwsByName(TQVRFolder::StaTemp, "INFOPROT_Differenz_Start_Ende.txt", true);
        SaveLinesReplacing(pfad, bericht);
        FErgebnis = TAuswertungsErgebnis::Fertig;

        Ausgabe("");
        Ausgabe("");
        Ausgabe("Die Auswertung der Protokollstarts und Protokollenden war erfolgreich.");
        Ausgabe("Die Datei liegt unter " + pfad);
    } catch (...) {
        NichtAusgefuehrt("Anzahl_Protokoll_Start_Ende");
    }
}

bool InfoProtParser::btnStartEndeClick() {
    const std::string kontext = kKlasse + "btnStartEndeClick";
    int handle = -1;
    if (!ArbeitBeginnen(handle, kontext, 60))
        return false;
    try {
        Anzahl_Protokoll_Start_Ende();
    } catch (...) {
        NichtAusgefuehrt("btnStartEndeClick");
    }
    Programm().WorkDone(handle);
    return true;
}

} // namespace infemora
