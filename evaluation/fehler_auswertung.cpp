// The error evaluation report: per day of the period, the errors by program, code and call stack.
#include "evaluation/infoprot_parser.h"

#include "evaluation/text_compare.h"
#include "host/datetime.h"
#include "host/directories.h"
#include "host/messages.h"
#include "host/program.h"
#include "host/textfile.h"

#include <map>
#include <unordered_map>

namespace infemora {

namespace {

const std::string kKlasse = "TVKT_InfoProtParser.";

// The call stack without its first 13 characters (the part that differs between calls).
std::string_view GekuerzterCallstack(std::string_view callStack) {
    return callStack.size() > 13 ? callStack.substr(13) : std::string_view();
}

int GruppenVergleichen(const TFehlerauswertung& a, const TFehlerauswertung& b) {
    int r = CompareTextAscii(a.Datum, b.Datum);
    if (r == 0)
        r = CompareTextAscii(a.Programm, b.Programm);
    if (r == 0)
        r = CompareTextAscii(a.Fehlercode, b.Fehlercode);
    if (r == 0)
        r = CompareTextAscii(a.Callstack, b.Callstack);
    return r;
}

struct GruppenSchluessel {
    std::string_view programm, code, callstack;
    bool operator==(const GruppenSchluessel&) const = default;
};

struct GruppenHash {
    std::size_t operator()(const GruppenSchluessel& k) const {
        std::hash<std::string_view> h;
        return h(k.programm) ^ (h(k.code) * 31) ^ (h(k.callstack) * 1000003);
    }
};

// Lines of one day: the heading, the totals and the program blocks.
Lines TagesAbschnitt(TDateTime tag, const TFehlerRec* const* fehler, std::size_t anzahlFehler) {
    const std::string datum = DateToStr(tag);

    // Groups in the order of the list; equal program, code and shortened call stack add up.
    TVKT_List<TFehlerauswertung> gruppen;
    std::unordered_map<GruppenSchluessel, int, GruppenHash> index;
    for (std::size_t k = 0; k < anzahlFehler; ++k) {
        const TFehlerRec& rec = *fehler[k];
        GruppenSchluessel schluessel{rec.Programm, rec.FehlerCode, GekuerzterCallstack(rec.CallStack)};
        auto it = index.find(schluessel);
        if (it != index.end()) {
            ++gruppen[it->second].Anzahl;
        } else {
            index.emplace(schluessel, gruppen.Add({datum, rec.Programm, rec.FehlerCode,
                                                   std::string(schluessel.callstack), 1}));
        }
    }
    index.clear(); // its keys point into the records, not into the groups; the sort moves nothing there
    gruppen.Sort(GruppenVergleichen);

    Lines koerper;
    long long t = 0, v = 0, d = 0;
    // A program with an empty name is a program too: the first group of a day always opens a block.
    bool programmOffen = false;
    std::string aktProgramm, aktCode;
    long long programmSumme = 0, codeSumme = 0;
    std::size_t programmZeile = 0, codeZeile = 0;
    for (const TFehlerauswertung& g : gruppen) {
        t += g.Anzahl;
        if (g.Programm == "DORNWISE") {
            d += g.Anzahl;
            continue;
        }
        if (g.Programm == "VELSTOK" || g.Programm == "VELSPOST" || g.Programm == "VELSRECV") {
            v += g.Anzahl;
            continue;
        }
        if (programmOffen && g.Programm == aktProgramm) {
            programmSumme += g.Anzahl;
            koerper.emplace_back();
            if (g.Fehlercode == aktCode) {
                codeSumme += g.Anzahl;
                koerper.push_back(std::to_string(g.Anzahl) + "-mal:");
                koerper.push_back(g.Callstack);
                koerper[codeZeile] = std::to_string(codeSumme) + "-mal " + aktCode;
            } else {
                aktCode = g.Fehlercode;
                codeSumme = g.Anzahl;
                codeZeile = koerper.size();
                koerper.push_back(std::to_string(codeSumme) + "-mal " + aktCode);
                koerper.push_back(std::to_string(g.Anzahl) + "-mal:");
                koerper.push_back(g.Callstack);
            }
            koerper[programmZeile] = aktProgramm + ": " + std::to_string(programmSumme) + " Fehler";
        } else {
            programmOffen = true;
            aktProgramm = g.Programm;
            programmSumme = g.Anzahl;
            aktCode = g.Fehlercode;
            codeSumme = g.Anzahl;
            koerper.emplace_back();
            koerper.emplace_back();
            programmZeile = koerper.size();
            koerper.push_back(aktProgramm + ": " + std::to_string(programmSumme) + " Fehler");
            codeZeile = koerper.size();
            koerper.push_back(std::to_string(codeSumme) + "-mal " + aktCode);
            koerper.push_back(std::to_string(g.Anzahl) + "-mal:");
            koerper.push_back(g.Callstack);
        }
    }

    Lines abschnitt = {"", "", "", "Datum: " + datum, ""};
    abschnitt.push_back("Insgesamt kam es zu " + std::to_string(t) + " Meldungen. Davon traten " +
                        std::to_string(t - v - d) + " in anderen Programmen, " + std::to_string(v) +
                        " in VELSTOK und " + std::to_string(d) + " in DORNWISE auf.");
    for (auto& zeile : koerper)
        abschnitt.push_back(std::move(zeile));
    return abschnitt;
}

} // namespace

void InfoProtParser::Fehler_Auswertung(std::string& FileName) {
    try {
        FileName.clear();
        const TDateTime erster = StrToDate(edtDatumCSV_Von).dateOnly();
        const TDateTime letzter = StrToDate(edtDatumCSV_Bis).dateOnly();

        // The errors of each day of the period, in list order; one pass over the list.
        std::map<std::int64_t, std::vector<const TFehlerRec*>> nachTag;
        for (const TFehlerRec& rec : FFehlerList) {
            const std::int64_t tag = rec.DateTime.day();
            if (tag >= erster.day() && tag <= letzter.day())
                nachTag[tag].push_back(&rec);
        }

        Lines bericht;
        for (TDateTime tag = erster; tag <= letzter; tag = tag.addDays(1)) {
            auto it = nachTag.find(tag.day());
            Lines abschnitt = it != nachTag.end() ? TagesAbschnitt(tag, it->second.data(), it->second.size())
                                                  : TagesAbschnitt(tag, nullptr, 0);
            for (auto& zeile : abschnitt)
                bericht.push_back(std::move(zeile));
        }

        // Named only once it is written: the file under the name after a failed save is an
        // older report, which must not pass for this period's.
        const std::string pfad = GetDirWwsByName(TQVRFolder::StaTemp, "INFOPROT_Fehlerauswertung.txt", true);
        SaveLinesReplacing(pfad, bericht);
        FileName = pfad;
        FErgebnis = TAuswertungsErgebnis::Fertig;

        Ausgabe("");
        Ausgabe("");
        Ausgabe("Die Fehler-Auswertung war erfolgreich.");
        Ausgabe("Die Datei liegt unter " + FileName);
        if (!FListeNichtGelesen.empty()) {
            Ausgabe("");
            Ausgabe("Die folgende(n) Datei(en) konnte(n) nicht ge\xF6"
                    "ffnet werden:");
            for (const std::string& datei : FListeNichtGelesen)
                Ausgabe(datei);
        }
    } catch (...) {
        NichtAusgefuehrt("Fehler_Auswertung");
    }
}

bool InfoProtParser::btnFehler_AuswertungClick() {
    const std::string kontext = kKlasse + "btnFehler_AuswertungClick";
    int handle = -1;
    if (!ArbeitBeginnen(handle, kontext, 60))
        return false;
    try {
        // Only a complete collection replaces the last report. The report does not use the
        // types, so a rule file that could not be read costs only the counts in the output.
        if (Auswerten()) {
            btnAnalyseClick();
            std::string dateiName;
            Fehler_Auswertung(dateiName);
        }
    } catch (...) {
        NichtAusgefuehrt("btnFehler_AuswertungClick");
    }
    Programm().WorkDone(handle);
    return true;
}

} // namespace infemora
