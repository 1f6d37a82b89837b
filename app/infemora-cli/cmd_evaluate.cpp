// evaluate: the buttons of the evaluation window, without the window. The lines the window's
// output would get are printed as they come, in UTF-8.
#include "app/infemora-cli/commands.h"

#include "evaluation/infoprot_parser.h"
#include "host/codec1252.h"
#include "host/datetime.h"
#include "host/messages.h"
#include "host/settings.h"

#include <cctype>
#include <iostream>
#include <memory>

namespace infemora::cli {

namespace {

struct EvaluateOptions {
    std::string dir;
    std::string von;
    std::string bis;
    bool csv = false;
    bool report = false;
    bool startEnde = false;
};

// TT.MM.JJJJ, whatever the locale of the settings: the command line has one fixed form.
bool ParseTag(const std::string& text, TDateTime& out) {
    if (text.size() != 10 || text[2] != '.' || text[5] != '.')
        return false;
    for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u, 8u, 9u})
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return TryEncodeDate(std::stoi(text.substr(6, 4)), std::stoi(text.substr(3, 2)),
                         std::stoi(text.substr(0, 2)), out);
}

int RunEvaluate(const EvaluateOptions& o) {
    if (!o.csv && !o.report && !o.startEnde) {
        std::cerr << "infemora-cli: Keine Auswertung gewählt: --csv, --report und/oder --start-end angeben.\n"
                  << "Hilfe: infemora-cli evaluate --help" << std::endl;
        return 2;
    }
    TDateTime von, bis;
    if (!o.von.empty() && !ParseTag(o.von, von)) {
        std::cerr << "infemora-cli: Ungültiges Datum für --von: " << o.von << " (erwartet TT.MM.JJJJ)"
                  << std::endl;
        return 2;
    }
    if (!o.bis.empty() && !ParseTag(o.bis, bis)) {
        std::cerr << "infemora-cli: Ungültiges Datum für --bis: " << o.bis << " (erwartet TT.MM.JJJJ)"
                  << std::endl;
        return 2;
    }
    for (const std::string& problem : GetSettings().problems)
        std::cerr << "infemora-cli: " << problem << std::endl;

    InfoProtParser parser;
    parser.OnAusgabeZeile = [](const std::string& zeile) { std::cout << Win1252ToUtf8(zeile) << std::endl; };
    if (o.dir.empty()) {
        parser.FormCreate();
    } else {
        parser.edtPfad = o.dir;
        parser.ZeitraumVorgeben();
    }
    // The date fields show the dates in the locale's form, as the window's fields do.
    if (!o.von.empty())
        parser.edtDatumCSV_Von = DateToStr(von);
    if (!o.bis.empty())
        parser.edtDatumCSV_Bis = DateToStr(bis);

    const std::size_t fehlerVorher = Info().registered().size();
    const int meldungenVorher = Info().meldungCount(1002);
    bool zugelassen = true;
    // Fixed order, whatever the order of the options.
    if (o.csv)
        zugelassen = parser.btncsvExportzClick() && zugelassen;
    if (o.report)
        zugelassen = parser.btnFehler_AuswertungClick() && zugelassen;
    if (o.startEnde)
        zugelassen = parser.btnStartEndeClick() && zugelassen;
    std::cout.flush();
    if (!zugelassen)
        std::cerr
            << "infemora-cli: Eine andere Auswertung läuft noch; nicht jede Auswertung wurde ausgeführt."
            << std::endl;
    const bool ok = zugelassen && Info().registered().size() == fehlerVorher &&
                    Info().meldungCount(1002) == meldungenVorher;
    return ExitCodeAfterRun(ok);
}

} // namespace

void AddEvaluateCommand(CLI::App& app, Action& action) {
    auto* cmd = app.add_subcommand("evaluate", "Infoprotokolle eines Verzeichnisses auswerten (CSV-Export, "
                                               "Fehler-Auswertung, Differenz Start - Ende) nach STATEMP");
    auto o = std::make_shared<EvaluateOptions>();
    cmd->add_option("--dir", o->dir, "Infoprotverzeichnis (Vorgabe: das Verzeichnis der Infoprotokolle)");
    cmd->add_option("--von", o->von, "Erster Tag TT.MM.JJJJ (Vorgabe: vor 10 Tagen)");
    cmd->add_option("--bis", o->bis, "Letzter Tag TT.MM.JJJJ (Vorgabe: heute)");
    cmd->add_flag("--csv", o->csv, "CSV-Export nach INFOPROT.CSV");
    cmd->add_flag("--report", o->report, "Fehler-Auswertung nach INFOPROT_Fehlerauswertung.txt");
    cmd->add_flag("--start-end", o->startEnde,
                  "Differenz Start - Ende nach INFOPROT_Differenz_Start_Ende.txt");
    cmd->callback([&action, o] { action = [o] { return RunEvaluate(*o); }; });
}

} // namespace infemora::cli
