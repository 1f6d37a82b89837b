// Reading the error entries of the info logs and collecting them.
#include "evaluation/infoprot_parser.h"

#include "evaluation/text_buffer.h"
#include "evaluation/text_compare.h"
#include "host/codec1252.h"
#include "host/datetime.h"
#include "host/dir_lock.h"
#include "host/directories.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/program.h"
#include "host/progress.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <numeric>
#include <sys/stat.h>

namespace infemora {

namespace {

const std::string kKlasse = "TVKT_InfoProtParser.";

constexpr std::string_view kTrenner = "-------------------------------------------";
// An entry start holds "NONE-Meldung" or "Fehler-Meldung": "-Meldung" after one of the two.
constexpr std::string_view kMeldung = "-Meldung";
constexpr std::string_view kNone = "NONE";
constexpr std::string_view kFehler = "Fehler";
constexpr std::string_view kNaechsterEintrag = "## 20";

// Files above this size are not loaded, except the log being written.
constexpr std::int64_t kGroessteDatei = 15'000'000;

std::uint32_t ZeilenHash(std::string_view zeile) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(zeile));
}

bool IstTrenner(std::string_view line) {
    return Contains(line, kTrenner);
}
bool IstNaechsterEintrag(std::string_view line) {
    return Contains(line, kNaechsterEintrag);
}

int Zahl(std::string_view text) {
    long long v = 0;
    if (!TryStrToInt(text, v) || v < INT32_MIN || v > INT32_MAX)
        throw EConvertError("'" + Win1252ToUtf8(text) + "' ist kein gültiger Integerwert");
    return static_cast<int>(v);
}

// Reading a line that the file does not have: the entry ends too early.
[[noreturn]] void ZeileFehlt(const TFehlerRec& rec) {
    throw EInfemora("Listenindex außerhalb des gültigen Bereichs: der Eintrag bricht am Dateiende ab (" +
                    Win1252ToUtf8(rec.Zeile) + ")");
}

} // namespace

InfoProtParser::InfoProtParser() = default;
InfoProtParser::~InfoProtParser() = default;

void InfoProtParser::Ausgabe(const std::string& line) {
    if (OnAusgabeZeile)
        OnAusgabeZeile(line);
}

void InfoProtParser::AusgabeLeeren() {
    if (OnAusgabeLeeren)
        OnAusgabeLeeren();
}

void InfoProtParser::FormCreate() {
    try {
        // The folder as set, also when it is missing: the evaluation says so when it runs.
        edtPfad = GetDirWwsByName(TQVRFolder::InfoProt, "", false);
    } catch (...) {
        RegisterCurrentException(kKlasse + "FormCreate");
    }
    ZeitraumVorgeben();
}

void InfoProtParser::ZeitraumVorgeben() {
    const TDateTime jetzt = qvr_Now();
    edtDatumCSV_Von = DateToStr(jetzt.addDays(-10));
    edtDatumCSV_Bis = DateToStr(jetzt);
}

const Lines& InfoProtParser::HilfeZeilen() {
    static const Lines lines = {
        "1. Das Verzeichnis ggf. anpassen.",
        "2. Den Zeitraum, in welchem die Daten ausgewertet werden sollen, ggf. anpassen.  ",
        "3. CSV-Export: Speichert INFOPROT.CSV im Statemp-Verzeichnis. ",
        "    Diese kann mit Excel dann ausgewertet werden.",
        "4. Fehler-Auswertung: Es wird automatisch im Statemp-Verzeichnis  eine txt-Datei",
        "     (INFOPROT_Fehlerauswertung.txt) mit einer fertigen Auswertung erstellt. Diese",
        "     enth\xE4lt das Datum, das Programm, den Fehlercode, den Callstack sowie die",
        "     entsprechenden H\xE4ufigkeiten der Fehler (F\xFCr Informationen wie Benutzer, Uhrzeit, ",
        "    Zusatzinfo, usw. kann in der CSV-Datei (siehe 5.) explizit nachgeschaut werden). ",
        "5 .Differenz Start - Ende: Es wird automatisch die Anzahl der Protokollstarts eines ",
        "    Programms sowie die der Protokollenden ermittelt und im Statemp-Verzeichnis  in ",
        "    einer txt-Datei (INFOPROT_Differenz_Start_Ende.txt) ausgegeben. Dabei erfolgt ",
        "    eine Sortierung nach Datum und Programm. Zudem wird auch der jeweilige ",
        "    Benutzer angegeben.",
    };
    return lines;
}

bool InfoProtParser::SinnvolleZeitspanne() {
    try {
        return StrToDate(edtDatumCSV_Von) <= StrToDate(edtDatumCSV_Bis);
    } catch (...) {
        RegisterCurrentException(kKlasse + "SinnvolleZeitspanne");
        return false;
    }
}

bool InfoProtParser::Datei_Parsen(const TSearchRec& SearchRec) {
    try {
        if (SearchRec.size > kGroessteDatei && SearchRec.name != "infoprot.tmp")
            return false;
        TDateTime ersterTag = StrToDate(edtDatumCSV_Von).dateOnly();
        if (SearchRec.time < ersterTag)
            return true;
        Parse_InfoFile(IncludeTrailingPathDelimiter(edtPfad) + SearchRec.name);
        return true;
    } catch (...) {
        RegisterCurrentException(kKlasse + "Datei_Parsen");
        return false;
    }
}

void InfoProtParser::Parse_InfoFile(const std::string& FileName) {
    try {
        bool gelesen = false;
        try {
            TextBuffer lines = TextBuffer::Open(FileName);
            // Entry starts are rare: jump from one "-Meldung" to the next instead of testing
            // every line for both texts.
            std::size_t index = 0;
            while (lines.HasLine(index)) {
                lines.Release(index);
                std::size_t eintrag = std::string_view::npos;
                for (std::size_t treffer = index;
                     (treffer = lines.Find(kMeldung, treffer)) != std::string_view::npos; ++treffer) {
                    if (lines.PrecededBy(treffer, kNone) || lines.PrecededBy(treffer, kFehler)) {
                        eintrag = lines.LineStartOf(treffer);
                        break;
                    }
                }
                if (eintrag == std::string_view::npos)
                    break;
                index = eintrag;
                Fehler_Hinzufuegen(lines, index);
            }
            gelesen = true;
        } catch (...) {
            // A file that cannot be read is listed in the output, and left out as a warning.
            RegisterCurrentWarning(kKlasse + "Parse_InfoFile");
            Info().ResetErrorSpezNoWrite();
            FListeNichtGelesen.push_back(FileName);
        }
        if (gelesen)
            Ausgabe(FileName);
        Fortschritt->Pump();
    } catch (...) {
        RegisterCurrentException(kKlasse + "Parse_InfoFile");
    }
}

void InfoProtParser::Fehler_Hinzufuegen(TextBuffer& Lines, std::size_t& Index) {
    const std::size_t start = Index;
    std::size_t i = Index;
    std::size_t next = 0;
    auto hatZeile = [&](std::size_t pos) { return Lines.HasLine(pos); };
    // One line further; past the end it stays past the end.
    auto weiter = [&](std::size_t pos) {
        if (!Lines.HasLine(pos))
            return pos + 1;
        Lines.LineAt(pos, next);
        return next;
    };
    // Appends the line at pos to the block being cut and returns it.
    auto teil = [&](std::size_t pos) {
        std::string_view line = Lines.LineAt(pos, next);
        FTeile.emplace_back(pos, line.size());
        return line;
    };
    auto block = [&] {
        std::size_t n = 0;
        for (auto [pos, len] : FTeile)
            n += len + 2;
        std::string out;
        out.reserve(n > 0 ? n - 2 : 0);
        for (std::size_t k = 0; k < FTeile.size(); ++k) {
            if (k > 0)
                out += "\r\n";
            out += Lines.Bytes(FTeile[k].first, FTeile[k].second);
        }
        return out;
    };
    try {
        TFehlerRec rec;
        if (!hatZeile(i))
            ZeileFehlt(rec);
        rec.Zeile = std::string(Lines.LineAt(i, next));
        i = next;
        while (hatZeile(i) && !IstTrenner(Lines.LineAt(i, next)))
            i = next;

        // Call stack: the first line after the separator whatever it holds, then up to the
        // next separator.
        i = weiter(i);
        if (!hatZeile(i))
            ZeileFehlt(rec);
        FTeile.clear();
        teil(i);
        i = next;
        while (hatZeile(i) && !IstTrenner(Lines.LineAt(i, next))) {
            teil(i);
            i = next;
        }
        if (!hatZeile(i)) {
            // The file ends inside the call stack: the entry is still being written.
            Index = i;
            return;
        }
        rec.CallStack = block();

        i = weiter(i);
        if (!hatZeile(i))
            ZeileFehlt(rec);
        FTeile.clear();
        const bool zusatz = Contains(teil(i), "Zusatzinfo:");
        i = next;
        if (zusatz) {
            while (hatZeile(i) && !IstTrenner(Lines.LineAt(i, next))) {
                teil(i);
                i = next;
            }
            rec.ZusatzInfo = block();
            i = weiter(i);
            if (!hatZeile(i))
                ZeileFehlt(rec);
            FTeile.clear();
            teil(i);
            i = next;
        }

        // Message text: up to the time-stamp line of the next entry, without separator lines.
        while (hatZeile(i)) {
            std::string_view line = Lines.LineAt(i, next);
            if (IstNaechsterEintrag(line))
                break;
            if (!IstTrenner(line))
                FTeile.emplace_back(i, line.size());
            i = next;
        }
        rec.Text = block();
        const bool hatNaechste = hatZeile(i);
        std::string_view naechsteKopfzeile = hatNaechste ? Lines.LineAt(i, next) : std::string_view();
        Index = i;

        Kopfzeile_Zerlegen(rec);
        Klassifizieren(std::move(rec), hatNaechste, naechsteKopfzeile);
    } catch (const EFileError&) {
        Index = i > start ? i : weiter(start);
        RegisterCurrentException(kKlasse + "Fehler_Hinzufuegen");
    } catch (const EInfemora&) {
        // An entry cut off at the end of the file or with a header that is no date: the rules
        // leave it out and go on, the evaluation is still complete.
        Index = i > start ? i : weiter(start);
        RegisterCurrentWarning(kKlasse + "Fehler_Hinzufuegen");
    } catch (...) {
        Index = i > start ? i : weiter(start);
        RegisterCurrentException(kKlasse + "Fehler_Hinzufuegen");
    }
}

void InfoProtParser::Kopfzeile_Zerlegen(TFehlerRec& rec) {
    std::string_view z = rec.Zeile;
    std::size_t p = z.find("## ");
    std::string_view s = p != std::string_view::npos ? z.substr(p + 3) : Copy(z, 3);

    const int jahr = Zahl(Copy(s, 1, 4));
    const int monat = Zahl(Copy(s, 5, 2));
    const int tag = Zahl(Copy(s, 7, 2));
    const int stunde = Zahl(Copy(s, 10, 2));
    const int minute = Zahl(Copy(s, 12, 2));
    const int sekunde = Zahl(Copy(s, 14, 2));
    rec.DateTime = EncodeDate(jahr, monat, tag) + EncodeTime(stunde, minute, sekunde, 0);

    s = Copy(s, 17);
    std::size_t blank = s.find(' ');
    if (blank != std::string_view::npos) {
        rec.User = std::string(s.substr(0, blank));
        s = s.substr(blank + 1);
    } else {
        rec.User.clear();
    }
    if (s.substr(0, 4) == "(Rec") {
        std::size_t klammer = s.find(')');
        if (klammer != std::string_view::npos) {
            rec.User += ' ';
            rec.User += s.substr(0, klammer + 1);
            s = Copy(s, klammer + 3);
        }
    }
    blank = s.find(' ');
    rec.Programm = blank != std::string_view::npos ? std::string(s.substr(0, blank)) : std::string();

    std::size_t m = s.find("Meldung: ");
    std::string_view code = m != std::string_view::npos ? s.substr(m + 9) : Copy(s, 9);
    rec.FehlerCode = std::string(TrimBlanks(code));
}

void InfoProtParser::Klassifizieren(TFehlerRec&& rec, bool hatNaechste, std::string_view naechste) {
    if (Contains(rec.Text, "Das Programm wurde wegen eines Fehlers beendet.")) {
        ++FIgnorierteFehler;
    } else if (hatNaechste && Contains(naechste, "zur\xFC"
                                                 "ckgesetzt mit ResetErrorSpez")) {
        ++FResetError;
    } else if (Contains(rec.FehlerCode, "STANDARD.993") &&
               Contains(rec.Text, "Die Buchung konnte wegen eines Fehlers nicht korrekt abgeschl")) {
        ++FIgnoriert993Fehler;
    } else if (Contains(rec.FehlerCode, "STANDARD.30") && hatNaechste &&
               Contains(naechste, "Antwort=Unbekannt")) {
        ++FMenuGeschlossen;
    } else if (IstDoppelt(rec.Zeile)) {
        ++FDoppeltError;
    } else {
        // IstDoppelt has just brought the table up to date with the list.
        ZeilenIndexEintragen(ZeilenHash(rec.Zeile), static_cast<std::size_t>(FFehlerList.Count()));
        FFehlerList.Add(std::move(rec));
    }
}

void InfoProtParser::ZeilenIndexEintragen(std::uint32_t hash, std::size_t index) {
    if ((FZeilenIndexAnzahl + 1) * 2 > FZeilenIndex.size()) {
        // Grow at half load; the stored hash bits are enough to place every entry again.
        std::vector<std::uint64_t> alt;
        alt.swap(FZeilenIndex);
        FZeilenIndex.assign(std::max<std::size_t>(64, alt.size() * 2), 0);
        const std::size_t maske = FZeilenIndex.size() - 1;
        for (std::uint64_t eintrag : alt) {
            if (eintrag == 0)
                continue;
            std::size_t pos = static_cast<std::uint32_t>(eintrag >> 32) & maske;
            while (FZeilenIndex[pos] != 0)
                pos = (pos + 1) & maske;
            FZeilenIndex[pos] = eintrag;
        }
    }
    const std::size_t maske = FZeilenIndex.size() - 1;
    std::size_t pos = hash & maske;
    while (FZeilenIndex[pos] != 0)
        pos = (pos + 1) & maske;
    FZeilenIndex[pos] = (static_cast<std::uint64_t>(hash) << 32) | static_cast<std::uint64_t>(index + 1);
    ++FZeilenIndexAnzahl;
}

void InfoProtParser::ZeilenIndexNeuAufbauen() {
    FZeilenIndex.clear();
    FZeilenIndexAnzahl = 0;
    for (int k = 0; k < FFehlerList.Count(); ++k)
        ZeilenIndexEintragen(ZeilenHash(FFehlerList[k].Zeile), static_cast<std::size_t>(k));
    FZeilenIndexGueltig = true;
}

// Same answer as a scan of the whole list for an equal header line, without the scan.
bool InfoProtParser::IstDoppelt(const std::string& zeile) {
    if (!FZeilenIndexGueltig || FZeilenIndexAnzahl != static_cast<std::size_t>(FFehlerList.Count()))
        ZeilenIndexNeuAufbauen();
    if (FZeilenIndex.empty())
        return false;
    const std::uint32_t hash = ZeilenHash(zeile);
    const std::size_t maske = FZeilenIndex.size() - 1;
    for (std::size_t pos = hash & maske; FZeilenIndex[pos] != 0; pos = (pos + 1) & maske) {
        const std::uint64_t eintrag = FZeilenIndex[pos];
        if (static_cast<std::uint32_t>(eintrag >> 32) == hash &&
            FFehlerList[static_cast<int>((eintrag & 0xFFFFFFFFu) - 1)].Zeile == zeile)
            return true;
    }
    return false;
}

namespace {

// For each value its rank in the order of CompareTextAscii; values that compare equal share a
// rank. Equal values are found by their hashes first, so that each distinct value takes part in
// the comparing sort only once.
std::vector<std::uint32_t> Raenge(const std::vector<std::string_view>& werte) {
    const std::size_t n = werte.size();
    std::vector<std::uint64_t> hash(n);
    for (std::size_t k = 0; k < n; ++k)
        hash[k] = std::hash<std::string_view>{}(werte[k]);
    std::vector<std::uint32_t> folge(n);
    std::iota(folge.begin(), folge.end(), 0u);
    std::sort(folge.begin(), folge.end(),
              [&](std::uint32_t a, std::uint32_t b) { return hash[a] < hash[b]; });
    // Runs of equal values; a value split by a hash collision only makes two runs of one rank.
    std::vector<std::uint32_t> lauf(n), vertreter;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t w = folge[k];
        if (vertreter.empty() || hash[vertreter.back()] != hash[w] || werte[vertreter.back()] != werte[w])
            vertreter.push_back(w);
        lauf[w] = static_cast<std::uint32_t>(vertreter.size() - 1);
    }
    std::vector<std::uint64_t>().swap(hash);
    folge.resize(vertreter.size());
    std::iota(folge.begin(), folge.end(), 0u);
    std::sort(folge.begin(), folge.end(), [&](std::uint32_t a, std::uint32_t b) {
        return CompareTextAscii(werte[vertreter[a]], werte[vertreter[b]]) < 0;
    });
    std::vector<std::uint32_t> rangVon(vertreter.size());
    std::uint32_t rang = 0;
    for (std::size_t k = 0; k < folge.size(); ++k) {
        if (k > 0 && CompareTextAscii(werte[vertreter[folge[k - 1]]], werte[vertreter[folge[k]]]) != 0)
            ++rang;
        rangVon[folge[k]] = rang;
    }
    for (std::size_t k = 0; k < n; ++k)
        lauf[k] = rangVon[lauf[k]];
    return lauf;
}

} // namespace

// The order of Fehler_Vergleichen. Comparing the records themselves would visit two scattered
// records and their texts for every comparison; ranks of codes and texts make it one visit each.
void InfoProtParser::FehlerListeSortieren() {
    const std::size_t n = static_cast<std::size_t>(FFehlerList.Count());
    std::vector<std::uint64_t> schluessel(n);
    {
        std::vector<std::string_view> werte;
        werte.reserve(n);
        for (const TFehlerRec& rec : FFehlerList)
            werte.push_back(rec.FehlerCode);
        const auto codeRang = Raenge(werte);
        for (std::size_t k = 0; k < n; ++k)
            schluessel[k] = static_cast<std::uint64_t>(codeRang[k]) << 32;
    }
    {
        std::vector<std::string_view> werte;
        werte.reserve(n);
        for (const TFehlerRec& rec : FFehlerList)
            werte.push_back(rec.Text);
        const auto textRang = Raenge(werte);
        for (std::size_t k = 0; k < n; ++k)
            schluessel[k] |= textRang[k];
    }
    FFehlerList.SortByIndex([&](std::size_t a, std::size_t b) { return schluessel[a] < schluessel[b]; });
}

int InfoProtParser::Fehler_Vergleichen(const TFehlerRec& a, const TFehlerRec& b) {
    int r = CompareTextAscii(a.FehlerCode, b.FehlerCode);
    return r != 0 ? r : CompareTextAscii(a.Text, b.Text);
}

void InfoProtParser::VerzeichnisPruefen() const {
    if (edtPfad.empty())
        throw EFileError("Kein Infoprotverzeichnis angegeben");
    struct stat st {};
    if (::stat(edtPfad.c_str(), &st) != 0) {
        const int err = errno;
        throw EFileError("Das Infoprotverzeichnis " + edtPfad +
                         (err == ENOENT ? std::string(" ist nicht vorhanden")
                                        : std::string(" ist nicht erreichbar: ") + std::strerror(err)));
    }
    if (!S_ISDIR(st.st_mode))
        throw EFileError("Das Infoprotverzeichnis " + edtPfad + " ist kein Verzeichnis, sondern " +
                         FileKindText(st.st_mode));
}

void InfoProtParser::NichtAusgefuehrt(const std::string& routine) {
    FErgebnis = TAuswertungsErgebnis::Fehlgeschlagen;
    std::string grund = "Unbekannter Fehler";
    try {
        throw;
    } catch (const std::exception& e) {
        grund = e.what();
    } catch (...) {
    }
    RegisterCurrentException(kKlasse + routine);
    // The reason stands below the output, in the form paths have (UTF-8), so the whole line is.
    Ausgabe("");
    Ausgabe("Die Auswertung wurde nicht ausgef\xC3\xBChrt: " + grund);
}

bool InfoProtParser::ArbeitBeginnen(int& handle, const std::string& kontext, int sekunden) {
    if (Programm().WorkStartTry(handle, kontext, sekunden))
        return true;
    FErgebnis = Programm().lastWorkRefusal() == QVRProgramm::WorkRefusal::Failed
                    ? TAuswertungsErgebnis::Fehlgeschlagen
                    : TAuswertungsErgebnis::Besetzt;
    return false;
}

bool InfoProtParser::Auswerten() {
    try {
        if (!SinnvolleZeitspanne()) {
            FErgebnis = TAuswertungsErgebnis::ZeitraumUngueltig;
            Info().ShowDlgMeldung(Programm().programId(), 1002);
            return false;
        }
        // Checked before anything is reset: a folder that is missing (an unmounted share) or
        // no folder must not read as a period without errors.
        VerzeichnisPruefen();
        // No merge or shorten may fold the folder while its files are read one after the other:
        // entries would be missed or counted twice.
        std::string warum;
        bool besetzt = false;
        const std::vector<DirLock> sperre =
            LockFolders({edtPfad}, LockKind::Shared, LockWaitTime(), NullProgress(), warum, besetzt);
        if (sperre.empty())
            throw EInfemora(warum);
        TDirExplorer suche(IncludeTrailingPathDelimiter(edtPfad), "*", TDirExplorer::NormalFiles);
        // A FIFO or device in the folder is no log: left out, and said so.
        suche.OnSkipped = [this](const std::string& name, const std::string& art) {
            Info().RegisterWarning(kKlasse + "Auswerten", IncludeTrailingPathDelimiter(edtPfad) + name +
                                                              " ist keine normale Datei, sondern " + art +
                                                              "; sie wird nicht ausgewertet");
        };
        std::vector<TSearchRec> dateien = suche.List();
        AusgabeLeeren();
        FFehlerList.Clear();
        std::vector<std::uint64_t>().swap(FZeilenIndex);
        FZeilenIndexAnzahl = 0;
        FZeilenIndexGueltig = true;
        FIgnorierteFehler = 0;
        FIgnoriert993Fehler = 0;
        FResetError = 0;
        FDoppeltError = 0;
        FMenuGeschlossen = 0;

        for (const TSearchRec& rec : dateien)
            Datei_Parsen(rec);

        // The sort moves the records away from the indices in the table; it is built again
        // when the next entry needs it.
        std::vector<std::uint64_t>().swap(FZeilenIndex);
        FZeilenIndexAnzahl = 0;
        FZeilenIndexGueltig = false;
        FehlerListeSortieren();

        Ausgabe("Das Programm wurde... " + std::to_string(FIgnorierteFehler));
        Ausgabe("Men\xFC geschlossen --> Programm beendet " + std::to_string(FMenuGeschlossen));
        Ausgabe("Die Buchung konnte wegen eines Fehlers nicht korrekt... " +
                std::to_string(FIgnoriert993Fehler));
        Ausgabe("Zur\xFC"
                "ckgesetzte Fehler: " +
                std::to_string(FResetError));
        Ausgabe("Doppelte Fehler: " + std::to_string(FDoppeltError));
        Ausgabe("Restliche Fehleranzahl: " + std::to_string(FFehlerList.Count()));
        return true;
    } catch (...) {
        FZeilenIndexGueltig = false;
        NichtAusgefuehrt("Auswerten");
        return false;
    }
}

} // namespace infemora
