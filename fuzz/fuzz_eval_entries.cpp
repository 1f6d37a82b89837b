// The evaluation's reading of one log file: the error entries it cuts out of fuzzed bytes must
// be exactly those that a plain walk over the file's list of lines finds, whatever the bytes and
// wherever the read window of the file ends. Then the collection, the typing, both reports and
// the CSV export run over the same file: no crash, no failure registered, and a CSV file that
// reads back as the collected errors.
#include "evaluation/infoprot_parser.h"
#include "evaluation/text_compare.h"
#include "fuzz_support.h"
#include "host/codec1252.h"
#include "host/datetime.h"
#include "host/messages.h"
#include "host/textfile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace infemora;
using infemora::fuzz::Site;

namespace {

// ---- the plain walk over a list of lines ----
// Not instrumented for coverage: the fuzzer is to steer by the evaluation's branches, and the
// walk runs over every byte of the large repeated files.
#define OHNE_ABDECKUNG __attribute__((no_sanitize("coverage")))

constexpr std::string_view kTrenner = "-------------------------------------------";

struct Erwartet {
    std::vector<TFehlerRec> liste;
    int ignoriert = 0, ignoriert993 = 0, reset = 0, doppelt = 0, menu = 0;
    int fehlschlaege = 0;
};

bool Hat(std::string_view text, std::string_view teil) {
    return text.find(teil) != std::string_view::npos;
}

OHNE_ABDECKUNG Lines ZeilenTeilen(std::string_view bytes) {
    Lines out;
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t anfang = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        out.emplace_back(p + anfang, i - anfang);
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        anfang = i + 1;
    }
    if (anfang < n)
        out.emplace_back(p + anfang, n - anfang);
    return out;
}

OHNE_ABDECKUNG std::string_view Teil(std::string_view s, std::size_t ab1,
                                     std::size_t n = std::string_view::npos) {
    return ab1 >= 1 && ab1 <= s.size() ? s.substr(ab1 - 1, n) : std::string_view();
}

OHNE_ABDECKUNG bool Zahl(std::string_view s, int& out) {
    long long v = 0;
    if (!TryStrToInt(s, v) || v < INT32_MIN || v > INT32_MAX)
        return false;
    out = static_cast<int>(v);
    return true;
}

OHNE_ABDECKUNG bool KopfZerlegen(TFehlerRec& rec) {
    std::string_view s = rec.Zeile;
    const std::size_t p = s.find("## ");
    s = p != std::string_view::npos ? s.substr(p + 3) : Teil(s, 3);
    int j, mo, t, h, mi, se;
    if (!Zahl(Teil(s, 1, 4), j) || !Zahl(Teil(s, 5, 2), mo) || !Zahl(Teil(s, 7, 2), t) ||
        !Zahl(Teil(s, 10, 2), h) || !Zahl(Teil(s, 12, 2), mi) || !Zahl(Teil(s, 14, 2), se))
        return false;
    TDateTime datum, zeit;
    if (!TryEncodeDate(j, mo, t, datum) || !TryEncodeTime(h, mi, se, 0, zeit))
        return false;
    rec.DateTime = datum + zeit;
    s = Teil(s, 17);
    if (const std::size_t b = s.find(' '); b != std::string_view::npos) {
        rec.User = std::string(s.substr(0, b));
        s = s.substr(b + 1);
    }
    if (s.starts_with("(Rec")) {
        if (const std::size_t k = s.find(')'); k != std::string_view::npos) {
            rec.User += " " + std::string(s.substr(0, k + 1));
            s = Teil(s, k + 3);
        }
    }
    const std::size_t b = s.find(' ');
    rec.Programm = b != std::string_view::npos ? std::string(s.substr(0, b)) : "";
    const std::size_t m = s.find("Meldung: ");
    std::string_view code = m != std::string_view::npos ? s.substr(m + 9) : Teil(s, 9);
    while (!code.empty() && static_cast<unsigned char>(code.front()) <= 0x20)
        code.remove_prefix(1);
    while (!code.empty() && static_cast<unsigned char>(code.back()) <= 0x20)
        code.remove_suffix(1);
    rec.FehlerCode = std::string(code);
    return true;
}

OHNE_ABDECKUNG void Einordnen(Erwartet& e, TFehlerRec rec, bool hatNaechste, const std::string& naechste) {
    if (Hat(rec.Text, "Das Programm wurde wegen eines Fehlers beendet."))
        ++e.ignoriert;
    else if (hatNaechste && Hat(naechste, "zur\xFC"
                                          "ckgesetzt mit ResetErrorSpez"))
        ++e.reset;
    else if (Hat(rec.FehlerCode, "STANDARD.993") &&
             Hat(rec.Text, "Die Buchung konnte wegen eines Fehlers nicht korrekt abgeschl"))
        ++e.ignoriert993;
    else if (Hat(rec.FehlerCode, "STANDARD.30") && hatNaechste && Hat(naechste, "Antwort=Unbekannt"))
        ++e.menu;
    else if (std::any_of(e.liste.begin(), e.liste.end(),
                         [&](const TFehlerRec& r) { return r.Zeile == rec.Zeile; }))
        ++e.doppelt;
    else
        e.liste.push_back(std::move(rec));
}

// One entry from its start line at idx; idx comes back where the scan goes on.
OHNE_ABDECKUNG void Eintrag(const Lines& z, std::size_t& idx, Erwartet& e) {
    const std::size_t n = z.size();
    auto trenner = [&](std::size_t k) { return Hat(z[k], kTrenner); };
    TFehlerRec rec;
    rec.Zeile = z[idx];
    std::size_t i = idx + 1;
    while (i < n && !trenner(i))
        ++i;
    ++i;
    if (i >= n) { // no line after the separator
        ++e.fehlschlaege;
        idx = i;
        return;
    }
    std::string block = z[i++];
    while (i < n && !trenner(i))
        block += "\r\n" + z[i++];
    if (i >= n) { // still being written
        idx = i;
        return;
    }
    rec.CallStack = block;
    ++i;
    if (i >= n) {
        ++e.fehlschlaege;
        idx = i;
        return;
    }
    block = z[i++];
    if (Hat(block, "Zusatzinfo:")) {
        while (i < n && !trenner(i))
            block += "\r\n" + z[i++];
        rec.ZusatzInfo = block;
        ++i;
        if (i >= n) {
            ++e.fehlschlaege;
            idx = i;
            return;
        }
        block = z[i++];
    }
    for (; i < n && !Hat(z[i], "## 20"); ++i)
        if (!trenner(i))
            block += "\r\n" + z[i];
    rec.Text = block;
    idx = i;
    if (!KopfZerlegen(rec)) {
        ++e.fehlschlaege;
        return;
    }
    Einordnen(e, std::move(rec), i < n, i < n ? z[i] : std::string());
}

OHNE_ABDECKUNG Erwartet Durchgehen(const Lines& z) {
    Erwartet e;
    for (std::size_t idx = 0; idx < z.size();) {
        if (Hat(z[idx], "NONE-Meldung") || Hat(z[idx], "Fehler-Meldung"))
            Eintrag(z, idx, e);
        else
            ++idx;
    }
    return e;
}

// ---- checks ----

OHNE_ABDECKUNG bool Gleich(const TFehlerRec& a, const TFehlerRec& b) {
    return a.Zeile == b.Zeile && a.CallStack == b.CallStack && a.ZusatzInfo == b.ZusatzInfo &&
           a.Text == b.Text && a.DateTime == b.DateTime && a.Programm == b.Programm && a.User == b.User &&
           a.FehlerCode == b.FehlerCode && a.FehlerTyp == b.FehlerTyp;
}

[[noreturn]] void Fehler(const char* was) {
    std::fprintf(stderr, "fuzz_eval_entries: %s\n", was);
    std::abort();
}

// Entries the rules leave out are warnings; any other failure there would be one too.
int Registriert(const std::string& kontext) {
    int n = 0;
    for (const auto& r : Info().registered())
        n += r.context == kontext;
    for (const auto& r : Info().warnings())
        n += r.context == kontext;
    return n;
}

void OhneAndereFehlschlaege() {
    for (const auto& r : Info().registered())
        if (r.context != "TVKT_InfoProtParser.Fehler_Hinzufuegen") {
            std::fprintf(stderr, "%s: %s\n", r.context.c_str(), r.message.c_str());
            Fehler("unexpected failure registered");
        }
}

struct Parser {
    InfoProtParser p;
    Lines memo;
    Parser(const std::string& von, const std::string& bis) {
        p.edtPfad = Site::Get().logDir();
        p.edtDatumCSV_Von = von;
        p.edtDatumCSV_Bis = bis;
        p.OnAusgabeZeile = [this](const std::string& l) { memo.push_back(l); };
        p.OnAusgabeLeeren = [this] { memo.clear(); };
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const Site& site = Site::Get();
    // A few rules over every kind of criterion, with an empty rule and an umlaut.
    fuzz::WriteFile(site.settingsDir() + "/infopars.ini",
                    "[Abbruch]\r\nCODE=STANDARD.993\r\n[Leer]\r\n[Stack]\r\nCALLSTACK=TBon\r\n"
                    "[Zusatz]\r\nZUSATZTEXT=Gegenstelle\r\nCODE=TRANSFER\r\n[Zeile]\r\nZEILE=WAWI Fehler\r\n"
                    "[besch\xE4"
                    "digt]\r\nTEXT=besch\xE4"
                    "digt\r\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const Site& site = Site::Get();
    Site::ForgetFailures();

    // With a first byte of 0x8? the rest is repeated past the read window of the evaluation
    // (256 KiB), so that entries, line ends and CR LF pairs straddle its end. Such a file only
    // goes through the reading of one file: the rest of the evaluation would take long on it and
    // sees nothing of the window.
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool wiederholt = (data[0] & 0xF0) == 0x80 && !bytes.empty();
    if (wiederholt) {
        const std::string einmal = bytes;
        while (bytes.size() < 270'000 || bytes.size() < 2 * einmal.size())
            bytes += einmal;
    }
    const std::string pfad = site.logDir() + "/inf.log";
    fuzz::WriteFile(pfad, bytes);

    const bool mitBom =
        bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    const Erwartet soll = Durchgehen(mitBom ? DecodeTextBytes(bytes) : ZeilenTeilen(bytes));

    // One file, read as the collection reads each file.
    {
        Parser parser("01.01.2000", "31.12.2099");
        InfoProtParser& p = parser.p;
        p.Parse_InfoFile(pfad);
        if (p.FFehlerList.Count() != static_cast<int>(soll.liste.size()))
            Fehler("number of collected errors differs");
        for (std::size_t k = 0; k < soll.liste.size(); ++k)
            if (!Gleich(p.FFehlerList[static_cast<int>(k)], soll.liste[k]))
                Fehler("collected error differs");
        if (p.FIgnorierteFehler != soll.ignoriert || p.FIgnoriert993Fehler != soll.ignoriert993 ||
            p.FResetError != soll.reset || p.FDoppeltError != soll.doppelt || p.FMenuGeschlossen != soll.menu)
            Fehler("counters differ");
        if (Registriert("TVKT_InfoProtParser.Fehler_Hinzufuegen") != soll.fehlschlaege)
            Fehler("entries failing differ");
        if (parser.memo != Lines{pfad} || !p.FListeNichtGelesen.empty())
            Fehler("file not reported as read");
        OhneAndereFehlschlaege();
    }

    if (wiederholt)
        return 0;

    // The whole evaluation over the directory.
    Site::ForgetFailures();
    Parser parser("01.01.2000", "31.12.2099");
    InfoProtParser& p = parser.p;
    p.Auswerten();
    if (p.FFehlerList.Count() != static_cast<int>(soll.liste.size()) || parser.memo.size() != 7)
        Fehler("collection differs from the file's errors");
    for (int k = 1; k < p.FFehlerList.Count(); ++k)
        if (InfoProtParser::Fehler_Vergleichen(p.FFehlerList[k - 1], p.FFehlerList[k]) > 0)
            Fehler("collection not sorted");
    for (const TFehlerRec& r : p.FFehlerList)
        if (std::none_of(soll.liste.begin(), soll.liste.end(),
                         [&](const TFehlerRec& s) { return Gleich(r, s); }))
            Fehler("collection holds an error the file does not");
    p.btnAnalyseClick();
    for (const TFehlerRec& r : p.FFehlerList)
        if (r.FehlerTyp.empty())
            Fehler("error left without type");

    // The reports over three days from the first error (or today), so that they stay small.
    TDateTime tag = Today();
    if (p.FFehlerList.Count() > 0) {
        const TDateTime erster = p.FFehlerList[0].DateTime.dateOnly();
        if (erster >= EncodeDate(1900, 1, 1) && erster <= EncodeDate(9998, 12, 31))
            tag = erster;
    }
    p.edtDatumCSV_Von = DateToStr(tag);
    p.edtDatumCSV_Bis = DateToStr(tag.addDays(2));
    std::string bericht;
    p.Fehler_Auswertung(bericht);
    if (bericht.empty())
        Fehler("no error report written");
    // Every day of the period has its heading after three empty lines. A call stack in the
    // report may hold such lines too, so the headings are looked for, not counted.
    const std::string text = "\r\n" + fuzz::ReadFile(bericht);
    for (int d = 0; d < 3; ++d)
        if (text.find("\r\n\r\n\r\n\r\nDatum: " + DateToStr(tag.addDays(d)) + "\r\n") == std::string::npos)
            Fehler("error report without the heading of a day");
    p.Anzahl_Protokoll_Start_Ende();
    if (!p.btncsvExportzClick())
        Fehler("CSV export refused");
    if (std::string warum; !fuzz::CsvExportPruefen(p, warum))
        Fehler(warum.c_str());
    OhneAndereFehlschlaege();
    return 0;
}
