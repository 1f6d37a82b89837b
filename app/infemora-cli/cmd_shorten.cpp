#include "app/infemora-cli/commands.h"

#include <iostream>

namespace infemora::cli {

void AddShortenCommand(CLI::App& app, Action& action) {
    auto* cmd = app.add_subcommand("shorten", "(noch nicht verfügbar)");
    cmd->allow_extras();
    cmd->callback([&action] {
        action = [] {
            std::cerr << "infemora-cli: 'shorten' ist in dieser Version noch nicht verfügbar." << std::endl;
            return 1;
        };
    });
}

} // namespace infemora::cli
