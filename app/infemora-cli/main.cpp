// infemora-cli: the headless twin of the desktop program. Every subcommand calls the same core
// routine as the window does.
#include "app/infemora-cli/commands.h"

#include "host/fileutil.h"
#include "host/messages.h"
#include "host/program.h"

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
        return 2;
    }
    try {
        infemora::Programm().Init("INFEMORA", 0, 0, true);
        return action ? action() : 2;
    } catch (...) {
        infemora::RegisterCurrentException("infemora-cli");
        return 1;
    }
}
