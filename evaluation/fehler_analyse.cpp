// Typing the collected errors by the rule file, and the CSV export.
#include "evaluation/infoprot_parser.h"

#include "evaluation/text_buffer.h"
#include "evaluation/text_compare.h"
#include "host/datetime.h"
#include "host/directories.h"
#include "host/errors.h"
#include "host/inifile.h"
#include "host/messages.h"
#include "host/program.h"

#include <array>
#include <cerrno>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace infemora {

namespace {

const std::string kKlasse = "TVKT_InfoProtParser.";
const std::string kOhneZuweisung = "Ohne Zuweisung";

struct Regel {
    std::string typ, zeile, zusatzInfo, callStack, text, code;
};

// The rules in the order of the file. A missing rule file means no rules; one that exists but
// cannot be read is reported, and the typing goes on without rules so that every error still
// gets its type.
std::vector<Regel> RegelnLesen(bool& gelesen) {
    std::vector<Regel> regeln;
    gelesen = true;
    std::string pfad;
    try {
        pfad = GetDirWwsByName(TQVRFolder::Einstellungen, "infopars.ini", false);
        struct stat st {};
        if (::lstat(pfad.c_str(), &st) != 0 && errno == ENOENT)
            return regeln;
        TQVRMemROIniFile ini(pfad);
        const std::vector<std::string> sektionen = ini.ReadSections();
        regeln.reserve(sektionen.size());
        for (const std::string& sektion : sektionen)
            regeln.push_back({sektion, ini.ReadString(sektion, "ZEILE", ""),
                              ini.ReadString(sektion, "ZUSATZTEXT", ""),
                              ini.ReadString(sektion, "CALLSTACK", ""), ini.ReadString(sektion, "TEXT", ""),
                              ini.ReadString(sektion, "CODE", "")});
    } catch (...) {
        RegisterCurrentException(kKlasse + "btnAnalyseClick");
        regeln.clear();
        gelesen = false;
    }
    return regeln;
}

// A field is quoted when it holds a blank, a control character (DEL is one too), a double
// quote or a ";".
bool BrauchtAnfuehrungszeichen(std::string_view value) {
    for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == '"' || c == ';')
            return true;
    }
    return false;
}

void CsvAnhaengen(std::string& out, std::string_view value) {
    if (!BrauchtAnfuehrungszeichen(value)) {
        out += value;
        return;
    }
    out += '"';
    for (std::size_t q; (q = value.find('"')) != std::string_view::npos; value.remove_prefix(q + 1)) {
        out += value.substr(0, q + 1);
        out += '"';
    }
    out += value;
    out += '"';
}

} // namespace

std::string InfoProtParser::CsvFeld(std::string_view value) {
    std::string out;
    CsvAnhaengen(out, value);
    return out;
}

namespace {

// One rule's criteria as the records are matched against them.
class RegelMuster {
public:
    RegelMuster(const std::string& Zeile, const std::string& ZusatzInfo, const std::string& CallStack,
                const std::string& Text, const std::string& Code) {
        const std::array<const std::string*, 5> kriterien = {&Zeile, &ZusatzInfo, &CallStack, &Text, &Code};
        for (std::size_t k = 0; k < kriterien.size(); ++k) {
            aktiv_ = aktiv_ || !kriterien[k]->empty();
            if (!TrimBlanks(*kriterien[k]).empty())
                gross_[k] = UpperCaseAscii(*kriterien[k]);
        }
    }
    // A rule without any criterion types nothing; blank criteria take no part.
    bool passt(const TFehlerRec& rec) const {
        if (!aktiv_)
            return false;
        const std::array<const std::string*, 5> felder = {&rec.Zeile, &rec.ZusatzInfo, &rec.CallStack,
                                                          &rec.Text, &rec.FehlerCode};
        for (std::size_t k = 0; k < felder.size(); ++k)
            if (gross_[k] && !ContainsUpperAscii(*felder[k], *gross_[k]))
                return false;
        return true;
    }

private:
    bool aktiv_ = false;
    std::array<std::optional<std::string>, 5> gross_; // upper-cased criteria that take part
};

} // namespace

void InfoProtParser::FehlerSuchen(const std::string& FehlerTyp, const std::string& Zeile,
                                  const std::string& ZusatzInfo, const std::string& CallStack,
                                  const std::string& Text, const std::string& Code) {
    try {
        const RegelMuster muster(Zeile, ZusatzInfo, CallStack, Text, Code);
        int anzahl = 0;
        for (TFehlerRec& rec : FFehlerList)
            if (muster.passt(rec)) {
                rec.FehlerTyp = FehlerTyp;
                ++anzahl;
            }
        Ausgabe("\"" + FehlerTyp + "\": " + std::to_string(anzahl));
    } catch (...) {
        RegisterCurrentException(kKlasse + "FehlerSuchen");
    }
}

bool InfoProtParser::alleRegelnAnwenden() {
    // What FehlerSuchen does rule by rule, in one pass over the errors: a large list is read
    // from memory once instead of once for every rule. The last rule that matches a record types
    // it, and each rule's count is reported in the order of the file, as rule by rule.
    bool gelesen = true;
    const std::vector<Regel> regeln = RegelnLesen(gelesen);
    std::vector<std::optional<RegelMuster>> muster;
    for (const Regel& r : regeln) {
        try {
            muster.emplace_back(RegelMuster(r.zeile, r.zusatzInfo, r.callStack, r.text, r.code));
        } catch (...) {
            RegisterCurrentException(kKlasse + "FehlerSuchen");
            muster.emplace_back(); // a rule that could not be read types nothing and has no count
        }
    }
    std::vector<int> anzahl(regeln.size(), 0);
    try {
        for (TFehlerRec& rec : FFehlerList) {
            const std::string* typ = nullptr;
            for (std::size_t k = 0; k < regeln.size(); ++k)
                if (muster[k] && muster[k]->passt(rec)) {
                    typ = &regeln[k].typ;
                    ++anzahl[k];
                }
            if (typ)
                rec.FehlerTyp = *typ;
        }
        for (std::size_t k = 0; k < regeln.size(); ++k)
            if (muster[k])
                Ausgabe("\"" + regeln[k].typ + "\": " + std::to_string(anzahl[k]));
    } catch (...) {
        RegisterCurrentException(kKlasse + "FehlerSuchen");
        gelesen = false;
    }
    return gelesen;
}

bool InfoProtParser::btnAnalyseClick() {
    bool typisiert = false;
    try {
        Ausgabe("");
        Ausgabe("");
        typisiert = alleRegelnAnwenden();

        int ohne = 0;
        for (const TFehlerRec& rec : FFehlerList)
            ohne += rec.FehlerTyp.empty();
        Ausgabe("");
        Ausgabe("");
        Ausgabe(kOhneZuweisung + ": " + std::to_string(ohne));

        // Codes that differ only in letter case count as one, shown as the first of them.
        GermanCollator sortierung;
        std::map<std::string, std::pair<std::string, int>> codes; // sort key -> code, count
        for (const TFehlerRec& rec : FFehlerList) {
            if (!rec.FehlerTyp.empty())
                continue;
            auto [it, neu] = codes.try_emplace(sortierung.SortKey(rec.FehlerCode), rec.FehlerCode, 0);
            ++it->second.second;
        }
        for (const auto& [schluessel, code] : codes)
            Ausgabe(code.first + ": " + std::to_string(code.second));

        for (TFehlerRec& rec : FFehlerList)
            if (rec.FehlerTyp.empty())
                rec.FehlerTyp = kOhneZuweisung;
    } catch (...) {
        RegisterCurrentException(kKlasse + "btnAnalyseClick");
        typisiert = false;
    }
    return typisiert;
}

bool InfoProtParser::btncsvExportzClick() {
    const std::string kontext = kKlasse + "btncsvExportzClick";
    int handle = -1;
    if (!ArbeitBeginnen(handle, kontext, 10))
        return false;
    try {
        // Only a complete run replaces the last CSV file: not after a refused period, a missing
        // folder or a rule file that could not be read (every error would be untyped).
        if (!Auswerten())
            throw AktionAbgebrochen();
        if (!btnAnalyseClick())
            throw EFileError("Die Regeldatei infopars.ini konnte nicht gelesen werden; die CSV-Datei "
                             "wurde nicht geschrieben.");

        const std::string pfad = GetDirWwsByName(TQVRFolder::StaTemp, "INFOPROT.CSV", true);
        // Written record by record: the collected errors can be large, a second copy of them
        // as text lines is not needed.
        ReplacingFileWriter datei(pfad);
        datei.WriteLine(
            "FEHLERTYP;FEHLERCODE;USER;PROGRAMM;DATUM;UHRZEIT;ERRORZEILE;ERRORTEXT;ZUSATZINFO;CALLSTACK");
        std::string zeile;
        for (const TFehlerRec& rec : FFehlerList) {
            zeile.clear();
            for (std::string_view feld : {std::string_view(rec.FehlerTyp), std::string_view(rec.FehlerCode),
                                          std::string_view(rec.User), std::string_view(rec.Programm)}) {
                zeile += CsvFeld(feld);
                zeile += ';';
            }
            zeile += CsvFeld(DateToStr(rec.DateTime));
            zeile += ';';
            zeile += CsvFeld(TimeToStr(rec.DateTime));
            for (std::string_view feld :
                 {std::string_view(rec.Zeile), std::string_view(rec.Text), std::string_view(rec.ZusatzInfo),
                  std::string_view(rec.CallStack)}) {
                zeile += ';';
                zeile += CsvFeld(feld);
            }
            datei.WriteLine(zeile);
        }
        datei.Commit();

        FErgebnis = TAuswertungsErgebnis::Fertig;
        Ausgabe("");
        Ausgabe("");
        Ausgabe("Der CSV-Export war erfolgreich.");
        Ausgabe("Die Datei liegt unter " + pfad);
    } catch (const AktionAbgebrochen&) {
        // Auswerten has said why.
    } catch (...) {
        NichtAusgefuehrt("btncsvExportzClick");
    }
    Programm().WorkDone(handle);
    return true;
}

} // namespace infemora
