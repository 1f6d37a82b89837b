// infemora-cli: the headless twin of the desktop program. Every subcommand calls the same core
// routine as the window does.
#include "app/infemora-cli/commands.h"

#include "host/fileutil.h"
#include "host/messages.h"
#include "host/program.h"
#include "host/settings.h"

#include <clocale>
#include <iostream>

namespace {

// German usage errors; CLI11 writes English ones by default.
std::string germanError(const CLI::Error& e) {
    std::string name = e.get_name();
    std::string what = e.what();
    if (name == "RequiredError")
        return "Pflichtangabe fehlt: " + what;
    if (name == "ExtrasError")
        return "Unbekannte Angabe: " + what;
    if (name == "ConversionError" || name == "ValidationError")
        return "Ungültiger Wert: " + what;
    if (name == "ArgumentMismatch")
        return "Falsche Anzahl von Werten: " + what;
    return "Aufruf fehlerhaft: " + what;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    infemora::RaiseOpenFileLimit();
    CLI::App app{"infemora-cli: Infoprotokolle zusammenführen, kürzen und auswerten, ohne Fenster"};
    app.require_subcommand(1);
    app.set_help_flag("-h,--help", "Hilfe anzeigen");
    infemora::cli::Action action;
    infemora::cli::AddMergeCommand(app, action);
    infemora::cli::AddShortenCommand(app, action);
    infemora::cli::AddEvaluateCommand(app, action);
    infemora::cli::AddBookingsCommand(app, action);
    infemora::cli::AddTerminateCommand(app, action);
    infemora::cli::AddPasswortCommand(app, action);
    infemora::cli::AddTimelineCommand(app, action);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "infemora-cli: " << germanError(e) << "\n"
                  << "Hilfe: infemora-cli --help" << std::endl;
        return infemora::cli::ExitUsage;
    }
    if (!action)
        return infemora::cli::ExitUsage;
    // A command on the folders and files of the settings does nothing when the settings file
    // could not be read: its result would be one of other folders than those meant, the
    // defaults'. Ending the windows or setting the password needs none of them.
    infemora::cli::RunMark mark = infemora::cli::MarkRun();
    const bool ohneOrdner = app.got_subcommand("terminate") || app.got_subcommand("passwort");
    try {
        infemora::Programm().Init("INFEMORA", 0, 0, true);
        if (ohneOrdner) {
            mark = infemora::cli::MarkRun();
        } else if (!infemora::GetSettings().problems.empty()) {
            std::cerr << "infemora-cli: Die Einstellungsdatei ist nicht lesbar; es wurde nichts ausgeführt."
                      << std::endl;
            return infemora::cli::FinishRun(mark, infemora::cli::ExitFailed);
        }
        return infemora::cli::FinishRun(mark, action());
    } catch (...) {
        infemora::RegisterCurrentException("infemora-cli");
        return infemora::cli::FinishRun(mark, infemora::cli::ExitFailed);
    }
}
