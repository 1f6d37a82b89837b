// bookings: import bookings into the booking protocol file, list a selection as the booking grid
// shows it, export a selection as the export button writes it, make demo bookings.
#include "app/infemora-cli/commands.h"

#include "booking/buchungsprotokoll.h"
#include "booking/pkpf_generator.h"
#include "booking/pkpf_import.h"
#include "host/codec1252.h"
#include "host/datetime.h"
#include "host/messages.h"
#include "host/settings.h"

#include <cctype>
#include <iostream>
#include <memory>

namespace infemora::cli {

namespace {

struct Selection {
    std::string lastDays;
    std::string von;
    std::string bis;
    std::string nr;
    CLI::Option* lastDaysOpt = nullptr;
    CLI::Option* vonOpt = nullptr;
    CLI::Option* bisOpt = nullptr;
    CLI::Option* nrOpt = nullptr;
    TPKPFAuswahl auswahl;
};

bool allDigits(const std::string& s, size_t min, size_t max) {
    if (s.size() < min || s.size() > max)
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

void addSelection(CLI::App* cmd, Selection& sel) {
    sel.lastDaysOpt =
        cmd->add_option("--last-days", sel.lastDays, "Buchungen der letzten N Tage (0 bis 999)");
    sel.vonOpt = cmd->add_option("--von", sel.von, "Buchungen ab diesem Tag, TT.MM.JJ");
    sel.bisOpt = cmd->add_option("--bis", sel.bis, "Buchungen bis zu diesem Tag, TT.MM.JJ");
    sel.nrOpt = cmd->add_option("--nr", sel.nr, "Buchungsnummer R-L oder Bereich R-L-L2");
}

// Turns the options into the values the selection panel would hold; usage errors end in exit 2.
void checkSelection(Selection& sel) {
    const int kinds = (sel.lastDaysOpt->count() > 0) + (sel.vonOpt->count() > 0 || sel.bisOpt->count() > 0) +
                      (sel.nrOpt->count() > 0);
    if (kinds != 1)
        throw CLI::ValidationError("genau eine Auswahl angeben: --last-days N, --von TT.MM.JJ --bis TT.MM.JJ "
                                   "oder --nr R-L[-L2]");
    TPKPFAuswahl& a = sel.auswahl;
    if (sel.lastDaysOpt->count()) {
        if (!allDigits(sel.lastDays, 1, 3))
            throw CLI::ValidationError("--last-days: eine Zahl von 0 bis 999 erwartet, nicht \"" +
                                       sel.lastDays + "\"");
        a.modus = TPKPFAnzeigeModus::LetzteTage;
        a.letzteTage = sel.lastDays;
    } else if (sel.nrOpt->count()) {
        // R-L or R-L-L2, as the three number fields take them: R 1..9999, L 1..999999999.
        std::vector<std::string> parts;
        size_t start = 0;
        for (;;) {
            size_t dash = sel.nr.find('-', start);
            parts.push_back(
                sel.nr.substr(start, dash == std::string::npos ? std::string::npos : dash - start));
            if (dash == std::string::npos)
                break;
            start = dash + 1;
        }
        const bool ok = (parts.size() == 2 || parts.size() == 3) && allDigits(parts[0], 1, 4) &&
                        allDigits(parts[1], 1, 9) && (parts.size() == 2 || allDigits(parts[2], 1, 9));
        if (!ok)
            throw CLI::ValidationError(
                "--nr: Buchungsnummer R-L oder R-L-L2 erwartet (R bis 4, L bis 9 Ziffern), "
                "nicht \"" +
                sel.nr + "\"");
        a.modus = TPKPFAnzeigeModus::Buchungsnummer;
        a.rNr = std::stoi(parts[0]);
        a.lNrVon = std::stoi(parts[1]);
        a.lNrBis = parts.size() == 3 ? std::stoi(parts[2]) : 0;
        if (a.rNr == 0 || a.lNrVon == 0)
            throw CLI::ValidationError("--nr: der erste Teil und der untere zweite Teil dürfen nicht 0 sein");
    } else {
        auto dateText = [](const std::string& option, const std::string& text) {
            const bool ok = text.size() == 8 && allDigits(text.substr(0, 2), 2, 2) && text[2] == '.' &&
                            allDigits(text.substr(3, 2), 2, 2) && text[5] == '.' &&
                            allDigits(text.substr(6, 2), 2, 2);
            if (!ok)
                throw CLI::ValidationError(option + ": Datum im Format TT.MM.JJ erwartet, nicht \"" + text +
                                           "\"");
        };
        if (!sel.vonOpt->count() || !sel.bisOpt->count())
            throw CLI::ValidationError("--von und --bis gehören zusammen");
        dateText("--von", sel.von);
        dateText("--bis", sel.bis);
        // The day must exist (no 31.02.26), and the period must not run backwards: both are
        // wrong usage, found before the booking file is touched.
        auto tag = [](const std::string& option, const std::string& text) {
            try {
                return PKPFDatumAusFeld(text);
            } catch (const std::exception&) {
                throw CLI::ValidationError(option + ": diesen Tag gibt es nicht: \"" + text + "\"");
            }
        };
        if (tag("--von", sel.von) > tag("--bis", sel.bis))
            throw CLI::ValidationError("Der Zeitraum ist nicht gültig: --von " + sel.von +
                                       " liegt nach --bis " + sel.bis);
        a.modus = TPKPFAnzeigeModus::VonBis;
        a.von = sel.von;
        a.bis = sel.bis;
    }
}

// A cell as one line of output: tabs and line breaks inside a value would break the row, and no
// control character of a booking may reach the terminal raw. They are written as blanks, as the
// export writes them.
std::string cell(const std::string& win1252) {
    std::string text = win1252;
    for (char& c : text) {
        const auto b = static_cast<unsigned char>(c);
        // The five bytes Windows-1252 leaves empty decode to C1 control characters.
        if (b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            c = ' ';
    }
    return Win1252ToUtf8(text);
}

std::size_t registeredCount() {
    return Info().registered().size();
}

void addImport(CLI::App* bookings, Action& action) {
    auto file = std::make_shared<std::string>();
    auto* cmd = bookings->add_subcommand(
        "import",
        "Buchungen aus einer JSON-Lines-Datei in die Buchungsprotokoll-Datei übernehmen (alles oder nichts)");
    cmd->add_option("FILE", *file, "JSON-Lines-Datei, eine Buchung je Zeile")->required();
    cmd->callback([&action, file] {
        action = [file] {
            const std::string db = GetSettings().buchungsDatei;
            try {
                if (db.empty())
                    throw EPkpfError("Es ist keine Buchungsprotokoll-Datei eingestellt (Einstellung "
                                     "[Buchungsprotokoll] Datei).");
                std::size_t n = PkpfJsonlImportieren(*file, db);
                std::cout << n << (n == 1 ? " Buchung" : " Buchungen") << " importiert in " << db
                          << std::endl;
                return 0;
            } catch (const std::exception& e) {
                std::cerr << "infemora-cli: " << e.what() << std::endl;
                return 1;
            }
        };
    });
}

void addList(CLI::App* bookings, Action& action) {
    auto sel = std::make_shared<Selection>();
    auto* cmd = bookings->add_subcommand("list", "Buchungen einer Auswahl zeigen: je Buchung die zehn Zellen "
                                                 "der Buchungsliste, durch Tabulator getrennt");
    addSelection(cmd, *sel);
    cmd->callback([&action, sel] {
        checkSelection(*sel);
        action = [sel] {
            const std::size_t before = registeredCount();
            TBuchungsprotokoll protokoll;
            std::vector<TPKPFKopfZeile> zeilen;
            protokoll.PKPFAnzeigeAktualisieren(sel->auswahl, zeilen);
            std::string out;
            for (const TPKPFKopfZeile& z : zeilen) {
                out += cell(z.BuchungsNr) + '\t' + cell(z.DatumZeit) + '\t' +
                       FormatDateTime("yyyy-MM-dd HH:mm:ss", z.DatumZeitSort) + '\t' + cell(z.Programm) +
                       '\t' + cell(z.Vorfall) + '\t' + cell(z.Benutzer) + '\t' + cell(z.SatzAnzahl) + '\t' +
                       std::to_string(z.SatzAnzahlSort) + '\t' + cell(z.GesLaenge) + '\t' +
                       std::to_string(z.GesLaengeSort) + '\n';
            }
            std::cout << out << std::flush;
            return ExitCodeAfterRun(registeredCount() == before);
        };
    });
}

void addExport(CLI::App* bookings, Action& action) {
    auto sel = std::make_shared<Selection>();
    auto dir = std::make_shared<std::string>();
    auto* cmd = bookings->add_subcommand(
        "export",
        "Buchungen einer Auswahl mit ihren Sätzen in die Exportdatei schreiben, wie der Export-Knopf");
    cmd->add_option("--dir", *dir, "Verzeichnis der Exportdatei (muss vorhanden sein)")->required();
    addSelection(cmd, *sel);
    cmd->callback([&action, sel, dir] {
        if (dir->empty())
            throw CLI::ValidationError("--dir: ein leerer Verzeichnisname ist nicht erlaubt");
        checkSelection(*sel);
        action = [sel, dir] {
            const std::size_t before = registeredCount();
            TBuchungsprotokoll protokoll;
            const std::string datei = protokoll.PKPFAuswahlExportieren(*dir, sel->auswahl);
            if (!datei.empty())
                std::cout << datei << std::endl;
            return ExitCodeAfterRun(!datei.empty() && registeredCount() == before);
        };
    });
}

void addGenerate(CLI::App* bookings, Action& action) {
    struct Options {
        std::size_t count = 300;
        std::size_t lines = 10;
        std::uint32_t seed = 1;
        int days = 60;
        std::string until;
    };
    auto opt = std::make_shared<Options>();
    auto* cmd = bookings->add_subcommand(
        "generate", "Erfundene Buchungen als JSON Lines ausgeben (für Demo und Messungen), immer dieselben");
    cmd->add_option("--anzahl", opt->count, "Zahl der Buchungen")->check(CLI::Range(0, 10'000'000));
    cmd->add_option("--saetze", opt->lines, "Sätze je Buchung")->check(CLI::Range(0, 10'000));
    cmd->add_option("--seed", opt->seed, "Startwert des Zufalls");
    cmd->add_option("--tage", opt->days, "über so viele Tage verteilt")->check(CLI::Range(1, 100'000));
    cmd->add_option("--bis", opt->until, "letzter Buchungstag TT.MM.JJJJ (sonst heute)");
    cmd->callback([&action, opt] {
        PkpfGeneratorOptionen o;
        o.anzahl = opt->count;
        o.saetzeJeBuchung = opt->lines;
        o.seed = opt->seed;
        o.tage = opt->days;
        if (!opt->until.empty() && !TryStrToDate(opt->until, o.bisDatum))
            throw CLI::ValidationError("--bis: Datum TT.MM.JJJJ erwartet, nicht \"" + opt->until + "\"");
        action = [o] {
            std::string out;
            for (const TPKPF_Buchung& b : PkpfBuchungenErzeugen(o))
                out += PkpfBuchungAlsJson(b) + '\n';
            std::cout << out << std::flush;
            return 0;
        };
    });
}

} // namespace

void AddBookingsCommand(CLI::App& app, Action& action) {
    auto* cmd = app.add_subcommand("bookings", "Buchungsprotokoll: importieren, auflisten, exportieren");
    cmd->require_subcommand(1);
    addImport(cmd, action);
    addList(cmd, action);
    addExport(cmd, action);
    addGenerate(cmd, action);
}

} // namespace infemora::cli
