#include "bench/logwriter.h"

#include "host/codec1252.h"
#include "host/errors.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace infemora::gensite {

// ---------------------------------------------------------------------------------------------
// OutFile

OutFile::OutFile(const std::string& path, std::size_t bufferBytes) : path_(path), cap_(bufferBytes) {
    f_ = std::fopen(path.c_str(), "wb");
    if (!f_)
        throw EFileError("cannot create " + path + ": " + std::strerror(errno));
    buf_.reserve(cap_ + (std::size_t(64) << 10));
}

OutFile::~OutFile() {
    if (f_)
        std::fclose(f_);
}

void OutFile::flush() {
    if (buf_.empty() || !f_)
        return;
    if (std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
        failed_ = true;
    written_ += static_cast<std::int64_t>(buf_.size());
    buf_.clear();
}

void OutFile::close() {
    if (!f_)
        return;
    flush();
    bool bad = failed_ || std::fflush(f_) != 0;
    bad = std::fclose(f_) != 0 || bad;
    f_ = nullptr;
    if (bad)
        throw EFileError("cannot write " + path_);
}

// ---------------------------------------------------------------------------------------------
// Text material

std::string W(std::string_view utf8) {
    return Utf8ToWin1252(utf8);
}

namespace {

std::vector<std::string> Convert(std::initializer_list<const char*> utf8) {
    std::vector<std::string> v;
    for (const char* s : utf8)
        v.push_back(W(s));
    return v;
}

// {n} a five-digit number, {m} a small count, {p} a price, {f} a branch number.
const std::vector<std::string>& Templates() {
    static const std::vector<std::string> t = Convert({
        "Bon {n} abgeschlossen, Summe {p} EUR, Zahlungsart Bar",
        "Artikel {n} gebucht: Menge {m}, Preis {p} EUR",
        "Lieferschein {n} übernommen, {m} Positionen",
        "Rückgabe zu Bon {n}: {m} Artikel, Grund: Größe passt nicht",
        "Übertragung an Zentrale gestartet, {m} Sätze",
        "Schublade geöffnet von Bediener {m}",
        "Artikel {n} Maß ø {m} mm nachgetragen",
        "Drucker BON{m} bereit, Papierstand in Ordnung",
        "Tagesabschluss vorbereitet, {m} Bons offen",
        "Preisänderung Artikel {n}: alter Preis {p}, neuer Preis {p}",
        "Lagerbestand Artikel {n} geprüft: {m} Stück in Filiale {f}",
        "Kundenkarte {n} gelesen, Bonuspunkte {m}",
        "Gutschein {n} eingelöst über {p} EUR",
        "Zahlung mit EC-Karte über {p} EUR genehmigt",
    });
    return t;
}

const std::vector<std::string>& Words() {
    static const std::vector<std::string> w = Convert({
        "Filiale", "Zentrale", "geprüft", "Menge",     "Straße",  "Größe", "Bestand", "Lager",
        "ok",      "Kasse",    "Beleg",   "Währung",   "EUR",     "Süd",   "Nord",    "Übernahme",
        "Satz",    "Datei",    "Status",  "erledigt",  "Vorgang", "Tür",   "Maß",     "ø",
        "Bon",     "Artikel",  "Preis",   "Schlüssel", "weiter",  "Summe", "Rabatt",  "Kunde",
    });
    return w;
}

struct ErrorType {
    const char* code;
    bool none;
    std::vector<std::string> text;
    std::vector<std::string> frames; // four; a stack takes frames 0, 1 and 2 or 3
    std::string zusatz;              // empty: the entry has no additional information
};

const std::vector<ErrorType>& ErrorTypes() {
    static const std::vector<ErrorType> types = [] {
        std::vector<ErrorType> v;
        auto add = [&](const char* code, bool none, std::initializer_list<const char*> text,
                       std::initializer_list<const char*> frames, const char* zusatz) {
            v.push_back({code, none, Convert(text), Convert(frames), W(zusatz)});
        };
        add("STANDARD.51", false, {"Datensatz ist von einem anderen Benutzer gesperrt."},
            {"TDatenbank.SatzSperren (db.pas, Zeile 812)",
             "TKassenBuchung.Speichern (buchung.pas, Zeile 233)",
             "TfrmKasse.BtnBuchenClick (kasse.pas, Zeile 1043)",
             "TfrmWawi.LieferscheinBuchen (wawi.pas, Zeile 377)"},
            "Zusatzinfo: Tabelle=ARTIKEL Schlüssel=4711");
        add("STANDARD.100", false, {"Zugriffsverletzung bei Adresse 0040A1B2 in Modul KASSE.EXE."},
            {"TBonDruck.Ausgeben (bondruck.pas, Zeile 95)",
             "TKassenBuchung.Abschliessen (buchung.pas, Zeile 410)",
             "TfrmKasse.FormKeyDown (kasse.pas, Zeile 588)", "TfrmKasse.TimerTimer (kasse.pas, Zeile 1320)"},
            "");
        add("KASSE.112", false, {"Der Bon konnte nicht gedruckt werden.", "Bitte prüfen Sie den Drucker."},
            {"TBonDruck.Oeffnen (bondruck.pas, Zeile 41)", "TBonDruck.Ausgeben (bondruck.pas, Zeile 102)",
             "TfrmKasse.BonDrucken (kasse.pas, Zeile 877)", "TfrmKasse.KopieDrucken (kasse.pas, Zeile 901)"},
            "Zusatzinfo: Drucker=BON1 Anschluss=COM2");
        add("DB.17", false,
            {"Die Datei ARTIKEL.DAT ist beschädigt.", "Bitte führen Sie eine Reorganisation durch."},
            {"TVKT_DBFile.Lesen (dbfile.pas, Zeile 1502)", "TArtikelStamm.Suchen (artikel.pas, Zeile 66)",
             "TfrmKasse.ArtikelEingabe (kasse.pas, Zeile 455)",
             "TfrmWawi.ArtikelPruefen (wawi.pas, Zeile 219)"},
            "Zusatzinfo: Datei=ARTIKEL.DAT Satz=18211");
        add("TRANSFER.8", false, {"Verbindung zur Zentrale unterbrochen."},
            {"TTransfer.Senden (transfer.pas, Zeile 310)", "TTransfer.Ausfuehren (transfer.pas, Zeile 122)",
             "TVelsPost.Verteilen (velspost.pas, Zeile 88)", "TVelsRecv.Abholen (velsrecv.pas, Zeile 145)"},
            "Zusatzinfo: Gegenstelle=zentrale.example Port=4711");
        add("WAWI.230", false,
            {"Lieferschein enthält Artikel ohne Preis.", "Maß ø und Größe fehlen ebenfalls."},
            {"TLieferschein.Pruefen (liefer.pas, Zeile 512)",
             "TLieferschein.Uebernehmen (liefer.pas, Zeile 540)",
             "TfrmWawi.BtnUebernehmenClick (wawi.pas, Zeile 700)",
             "TDornImport.Lesen (dornwise.pas, Zeile 60)"},
            "Zusatzinfo: Lieferant=Müller & Söhne");
        add("DRUCK.4", false, {"Drucker nicht bereit (Papierende)."},
            {"TDrucker.Status (drucker.pas, Zeile 77)", "TBonDruck.Ausgeben (bondruck.pas, Zeile 99)",
             "TfrmKasse.BonDrucken (kasse.pas, Zeile 880)",
             "TfrmFaktura.RechnungDrucken (faktura.pas, Zeile 233)"},
            "");
        add("STANDARD.7", true, {"Der Tagesabschluss wurde bereits durchgeführt."},
            {"TTagesabschluss.Pruefen (abschluss.pas, Zeile 30)",
             "TfrmKasse.Tagesabschluss (kasse.pas, Zeile 1500)",
             "TfrmKasse.MenueClick (kasse.pas, Zeile 1601)", "TfrmWawi.MenueClick (wawi.pas, Zeile 910)"},
            "");
        add("KASSE.20", true, {"Kundenkarte abgelaufen."},
            {"TKundenkarte.Pruefen (kunde.pas, Zeile 55)", "TfrmKasse.KarteGelesen (kasse.pas, Zeile 640)",
             "TfrmKasse.FormKeyDown (kasse.pas, Zeile 590)", "TfrmKasse.ScannerDaten (kasse.pas, Zeile 700)"},
            "Zusatzinfo: Kartennummer=000123456");
        add("STANDARD.993", false,
            {"Die Buchung konnte wegen eines Fehlers nicht korrekt abgeschlossen werden.",
             "Bitte prüfen Sie den letzten Bon."},
            {"TKassenBuchung.Abschliessen (buchung.pas, Zeile 455)",
             "TfrmKasse.BtnBuchenClick (kasse.pas, Zeile 1050)",
             "TfrmKasse.FormKeyDown (kasse.pas, Zeile 592)", "TfrmFaktura.Buchen (faktura.pas, Zeile 300)"},
            "Zusatzinfo: Bon=4711 Summe=12,95");
        add("STANDARD.30", false, {"Wollen Sie den Vorgang wirklich abbrechen?"},
            {"TDialog.Frage (dialog.pas, Zeile 20)", "TfrmKasse.Abbrechen (kasse.pas, Zeile 1200)",
             "TfrmKasse.FormCloseQuery (kasse.pas, Zeile 1250)",
             "TfrmWawi.FormCloseQuery (wawi.pas, Zeile 990)"},
            "");
        return v;
    }();
    return types;
}

constexpr std::size_t FirstNoneType = 7, TypeBuchung993 = 9, TypeMenue30 = 10;

const std::string& Beendet() {
    static const std::string s = "Das Programm wurde wegen eines Fehlers beendet.";
    return s;
}

constexpr std::string_view Indent = "       "; // body lines: positions 1 to 7 blank

void AppendNumber(std::string& out, unsigned value, int width) {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, "%0*u", width, value);
    out.append(buf, static_cast<std::size_t>(n));
}

} // namespace

void AppendHhmmss(std::string& out, int second) {
    int h = second / 3600, m = second / 60 % 60, s = second % 60;
    char buf[6] = {char('0' + h / 10), char('0' + h % 10), char('0' + m / 10),
                   char('0' + m % 10), char('0' + s / 10), char('0' + s % 10)};
    out.append(buf, 6);
}

void AppendCrLf(std::string& out) {
    out.append("\r\n", 2);
}

// ---------------------------------------------------------------------------------------------
// EntryWriter

EntryWriter::EntryWriter(std::mt19937& rng) : rng_(rng) {}

std::string EntryWriter::tagFor(int processId) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%05d", processId % 100000);
    return buf;
}

const std::string& EntryWriter::date8(TDateTime day) {
    if (day != cachedDay_) {
        DateParts d = DecodeDate(day);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
        cachedDigits_ = buf;
        cachedDay_ = day;
    }
    return cachedDigits_;
}

void EntryWriter::startLine(std::string& out, const Actor& a) {
    out += a.tag;
    out += "<<==================================================";
    AppendCrLf(out);
}

void EntryWriter::stampLine(std::string& out, const Actor& a, const Stamp& s, std::string_view rest,
                            std::string_view userSuffix) {
    out += a.tag;
    out += "## ";
    out += date8(s.day);
    out += ' ';
    AppendHhmmss(out, s.second);
    out += ' ';
    out += a.user;
    if (!userSuffix.empty()) {
        out += ' ';
        out += userSuffix;
    }
    out += ' ';
    out += a.program;
    out += ' ';
    out += rest;
    AppendCrLf(out);
}

void EntryWriter::appendTemplate(std::string& out, std::string_view tmpl) {
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] == '{' && i + 2 < tmpl.size() && tmpl[i + 2] == '}') {
            switch (tmpl[i + 1]) {
            case 'n':
                AppendNumber(out, static_cast<unsigned>(uniform(10000, 99999)), 5);
                break;
            case 'm':
                AppendNumber(out, static_cast<unsigned>(uniform(1, 99)), 1);
                break;
            case 'p':
                AppendNumber(out, static_cast<unsigned>(uniform(0, 499)), 1);
                out += ',';
                AppendNumber(out, static_cast<unsigned>(uniform(0, 99)), 2);
                break;
            case 'f':
                AppendNumber(out, static_cast<unsigned>(uniform(1, 120)), 3);
                break;
            }
            i += 2;
        } else {
            out += tmpl[i];
        }
    }
}

void EntryWriter::padded(std::string& out, std::string_view text) {
    const std::size_t begin = out.size();
    out += Indent;
    out += text;
    if (!padText) {
        AppendCrLf(out);
        return;
    }
    const std::size_t target = static_cast<std::size_t>(uniform(minText, maxText));
    const auto& words = Words();
    while (out.size() - begin < target) {
        out += ' ';
        out += words[static_cast<std::size_t>(uniform(0, static_cast<int>(words.size()) - 1))];
    }
    if (out.size() - begin > static_cast<std::size_t>(maxText))
        out.resize(begin + static_cast<std::size_t>(maxText));
    while (out.size() > begin && out.back() == ' ')
        out.pop_back();
    AppendCrLf(out);
}

void EntryWriter::textLine(std::string& out) {
    const auto& t = Templates();
    std::string line;
    appendTemplate(line, t[static_cast<std::size_t>(uniform(0, static_cast<int>(t.size()) - 1))]);
    padded(out, line);
}

void EntryWriter::infoEntry(std::string& out, const Actor& a, const Stamp& s, int bodyLines) {
    static const std::array<std::string_view, 3> kinds = {"Info", "Ablauf", "Hinweis"};
    startLine(out, a);
    stampLine(out, a, s, kinds[static_cast<std::size_t>(uniform(0, 2))]);
    for (int i = 0; i < bodyLines; ++i)
        textLine(out);
}

void EntryWriter::protokollEntry(std::string& out, const Actor& a, const Stamp& s, bool start) {
    startLine(out, a);
    stampLine(out, a, s, "Info");
    // Positions 1 to 10, then the date at 11 to 18, the time, the user from position 27.
    out += Indent;
    out += ">> ";
    out += date8(s.day);
    out += ' ';
    AppendHhmmss(out, s.second);
    out += ' ';
    out += a.user;
    out += ' ';
    out += a.program;
    out += start ? " Protokollstart" : " Protokollende";
    AppendCrLf(out);
    static const std::string version = W("Version 5.12.3 vom 04.03.2024, Arbeitsplatz läuft");
    static const std::string closed = W("Programm ordnungsgemäß beendet");
    out += Indent;
    out += start ? version : closed;
    AppendCrLf(out);
}

void EntryWriter::separator(std::string& out) {
    out += Indent;
    out += "-------------------------------------------";
    AppendCrLf(out);
}

void EntryWriter::errorBody(std::string& out, std::size_t type, bool beendet) {
    const ErrorType& e = ErrorTypes()[type];
    separator(out);
    // The first 13 characters of the stack hold the thread; the report cuts them off.
    const int variant = uniform(0, 1);
    out += Indent;
    out += 'T';
    AppendNumber(out, static_cast<unsigned>(uniform(1000, 9999)), 4);
    out += ' ';
    out += e.frames[0];
    AppendCrLf(out);
    for (std::size_t f : {std::size_t(1), std::size_t(2 + variant)}) {
        out += Indent;
        out += "      ";
        out += e.frames[f];
        AppendCrLf(out);
    }
    separator(out);
    if (!e.zusatz.empty() && uniform(0, 3) != 0) {
        out += Indent;
        out += e.zusatz;
        AppendCrLf(out);
        if (uniform(0, 1) == 0) {
            static const std::string more = W("Arbeitsplatz: Kasse Süd, Maß ø 12 mm");
            out += Indent;
            out += more;
            AppendCrLf(out);
        }
        separator(out);
    }
    for (const auto& line : e.text) {
        out += Indent;
        out += line;
        AppendCrLf(out);
    }
    if (beendet) {
        out += Indent;
        out += Beendet();
        AppendCrLf(out);
    }
}

ErrorKind EntryWriter::randomErrorKind() {
    int r = uniform(0, 99);
    if (r < 62)
        return ErrorKind::Fehler;
    if (r < 72)
        return ErrorKind::None;
    if (r < 80)
        return ErrorKind::Buchung993;
    if (r < 86)
        return ErrorKind::Menue30;
    if (r < 92)
        return ErrorKind::Reset;
    if (r < 95)
        return ErrorKind::Beendet;
    return ErrorKind::Doppelt;
}

void EntryWriter::errorEntry(std::string& out, const Actor& a, const Stamp& s, ErrorKind kind) {
    std::size_t type;
    switch (kind) {
    case ErrorKind::None:
        type = FirstNoneType + static_cast<std::size_t>(uniform(0, 1));
        break;
    case ErrorKind::Buchung993:
        type = TypeBuchung993;
        break;
    case ErrorKind::Menue30:
        type = TypeMenue30;
        break;
    default:
        type = static_cast<std::size_t>(uniform(0, static_cast<int>(FirstNoneType) - 1));
    }
    const ErrorType& e = ErrorTypes()[type];
    std::string rest = e.none ? "NONE-Meldung: " : "Fehler-Meldung: ";
    rest += e.code;
    std::string rec;
    if (uniform(0, 2) == 0) {
        rec = "(Rec ";
        AppendNumber(rec, static_cast<unsigned>(uniform(1, 99999)), 1);
        rec += ')';
    }
    const int copies = kind == ErrorKind::Doppelt ? 2 : 1;
    for (int c = 0; c < copies; ++c) {
        startLine(out, a);
        stampLine(out, a, s, rest, rec);
        errorBody(out, type, kind == ErrorKind::Beendet);
    }
    if (kind == ErrorKind::Menue30 || kind == ErrorKind::Reset) {
        static const std::string reset = W(" zurückgesetzt mit ResetErrorSpez");
        static const std::string menu = W("Menü geschlossen, Programm wird beendet");
        startLine(out, a);
        if (kind == ErrorKind::Menue30) {
            stampLine(out, a, s, "Info Dialog STANDARD.30 Antwort=Unbekannt");
            out += Indent;
            out += menu;
        } else {
            stampLine(out, a, s, std::string("Info Fehler ") + e.code + reset);
            out += Indent;
            out += "Vorgang wird wiederholt";
        }
        AppendCrLf(out);
    }
}

} // namespace infemora::gensite
