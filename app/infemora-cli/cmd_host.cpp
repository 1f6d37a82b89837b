// Subcommands of the host services: terminate and passwort.
#include "app/infemora-cli/commands.h"

#include "host/messages.h"
#include "host/password.h"
#include "host/settings.h"
#include "host/terminate.h"

#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace infemora::cli {

namespace {

std::string readSecret(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    termios old{};
    bool tty = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    bool got = static_cast<bool>(std::getline(std::cin, line));
    if (tty) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
        std::cerr << "\n";
    }
    if (!got)
        throw std::runtime_error("Keine Eingabe");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

void AddTerminateCommand(CLI::App& app, Action& action) {
    auto* cmd =
        app.add_subcommand("terminate", "Alle laufenden Fenster von infemora dieses Benutzers beenden");
    cmd->callback([&action] {
        action = [] {
            int n = RequestTerminateAll();
            std::cout << (n == 1 ? "1 laufendes Programm wurde zum Beenden aufgefordert."
                                 : std::to_string(n) + " laufende Programme wurden zum Beenden aufgefordert.")
                      << std::endl;
            return 0;
        };
    });
}

void AddPasswortCommand(CLI::App& app, Action& action) {
    auto* cmd =
        app.add_subcommand("passwort", "Passwort für \"Protokolle auswerten\" setzen (zweimal eingeben)");
    cmd->callback([&action] {
        action = [] {
            std::string first, second;
            try {
                first = readSecret("Neues Passwort: ");
                second = readSecret("Passwort wiederholen: ");
            } catch (const std::exception&) {
                std::cerr << "infemora-cli: Kein Passwort eingegeben; nichts geändert." << std::endl;
                return 1;
            }
            if (first.empty()) {
                std::cerr << "infemora-cli: Ein leeres Passwort ist nicht erlaubt; nichts geändert."
                          << std::endl;
                return 1;
            }
            if (first != second) {
                std::cerr << "infemora-cli: Die Eingaben stimmen nicht überein; nichts geändert."
                          << std::endl;
                return 1;
            }
            try {
                WriteSettingsKey("Passwort", "Hash", MakePasswordHash(first));
            } catch (const std::exception& e) {
                std::cerr << "infemora-cli: Passwort kann nicht gespeichert werden: " << e.what()
                          << std::endl;
                return 1;
            }
            std::cout << "Passwort gespeichert in " << SettingsFilePath() << std::endl;
            return 0;
        };
    });
}

} // namespace infemora::cli
