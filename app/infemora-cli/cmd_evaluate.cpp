// evaluate: the buttons of the evaluation window, without the window. The lines the window's
// output would get are printed as they come, in UTF-8.
#include "app/infemora-cli/commands.h"

#include "evaluation/infoprot_parser.h"
#include "host/codec1252.h"
#include "host/datetime.h"
#include "host/messages.h"

#include <cctype>
#include <iostream>
#include <memory>

namespace infemora::cli {

namespace {

struct EvaluateOptions {
    std::string dir;
    bool dirGiven = false;
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
    const std::string befehl = "evaluate";
    if (!o.csv && !o.report && !o.startEnde)
        return UsageError("Keine Auswertung gewählt: --csv, --report und/oder --start-end angeben.", befehl);
    if (o.dirGiven && o.dir.empty())
        return UsageError("--dir: ein leerer Verzeichnisname ist nicht erlaubt.", befehl);
    TDateTime von, bis;
    if (!o.von.empty() && !ParseTag(o.von, von))
        return UsageError("Ungültiges Datum für --von: " + o.von + " (erwartet TT.MM.JJJJ)", befehl);
    if (!o.bis.empty() && !ParseTag(o.bis, bis))
        return UsageError("Ungültiges Datum für --bis: " + o.bis + " (erwartet TT.MM.JJJJ)", befehl);

    InfoProtParser parser;
    // The lines hold the program's Windows-1252 texts and paths as the file system has them.
    parser.OnAusgabeZeile = [](const std::string& zeile) {
        std::cout << Utf8OrWin1252ToUtf8(zeile) << std::endl;
    };
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
    // A period the window would refuse is wrong usage here, found before anything is done.
    TDateTime ersterTag, letzterTag;
    if (TryStrToDate(parser.edtDatumCSV_Von, ersterTag) && TryStrToDate(parser.edtDatumCSV_Bis, letzterTag) &&
        ersterTag > letzterTag)
        return UsageError("Der Zeitraum ist nicht gültig: --von " + parser.edtDatumCSV_Von +
                              " liegt nach --bis " + parser.edtDatumCSV_Bis + ".",
                          befehl);

    // Fixed order, whatever the order of the options. Each action that did not finish counts.
    bool vollstaendig = true;
    bool besetzt = false;
    bool zeitraum = false;
    auto aktion = [&](bool (InfoProtParser::*knopf)()) {
        parser.FErgebnis = TAuswertungsErgebnis::Keins;
        (parser.*knopf)();
        besetzt = besetzt || parser.FErgebnis == TAuswertungsErgebnis::Besetzt;
        zeitraum = zeitraum || parser.FErgebnis == TAuswertungsErgebnis::ZeitraumUngueltig;
        vollstaendig = vollstaendig && parser.FErgebnis == TAuswertungsErgebnis::Fertig;
    };
    if (o.csv)
        aktion(&InfoProtParser::btncsvExportzClick);
    if (o.report)
        aktion(&InfoProtParser::btnFehler_AuswertungClick);
    if (o.startEnde)
        aktion(&InfoProtParser::btnStartEndeClick);
    std::cout.flush();
    if (besetzt)
        std::cerr
            << "infemora-cli: Eine andere Auswertung läuft noch; nicht jede Auswertung wurde ausgeführt."
            << std::endl;
    if (zeitraum)
        return ExitUsage;
    return ExitCodeAfterRun(vollstaendig);
}

} // namespace

void AddEvaluateCommand(CLI::App& app, Action& action) {
    auto* cmd = app.add_subcommand("evaluate", "Infoprotokolle eines Verzeichnisses auswerten (CSV-Export, "
                                               "Fehler-Auswertung, Differenz Start - Ende) nach STATEMP");
    auto o = std::make_shared<EvaluateOptions>();
    auto* dir =
        cmd->add_option("--dir", o->dir, "Infoprotverzeichnis (Vorgabe: das Verzeichnis der Infoprotokolle)");
    cmd->add_option("--von", o->von, "Erster Tag TT.MM.JJJJ (Vorgabe: vor 10 Tagen)");
    cmd->add_option("--bis", o->bis, "Letzter Tag TT.MM.JJJJ (Vorgabe: heute)");
    cmd->add_flag("--csv", o->csv, "CSV-Export nach INFOPROT.CSV");
    cmd->add_flag("--report", o->report, "Fehler-Auswertung nach INFOPROT_Fehlerauswertung.txt");
    cmd->add_flag("--start-end", o->startEnde,
                  "Differenz Start - Ende nach INFOPROT_Differenz_Start_Ende.txt");
    cmd->callback([&action, o, dir] {
        o->dirGiven = dir->count() > 0;
        action = [o] { return RunEvaluate(*o); };
    });
}

} // namespace infemora::cli
