// --grep and --grep-not: the entry filter of the window on the command line.
#include "app/infemora-cli/commands.h"

#include "host/codec1252.h"
#include "textview/entry_filter.h"

namespace infemora::cli {

void AddGrepOptions(CLI::App* cmd, EintragsFilter& filter) {
    // Each occurrence takes one text, so that file names after it stay file names. Texts are
    // typed in UTF-8 and compared with the logs' Windows-1252.
    auto add = [cmd, &filter](const char* name, bool enthalten, const char* help) {
        cmd->add_option_function<std::vector<std::string>>(
               name,
               [&filter, enthalten](const std::vector<std::string>& texts) {
                   for (const auto& t : texts)
                       filter.bedingungen.push_back({Utf8ToWin1252(t), enthalten});
               },
               help)
            ->allow_extra_args(false)
            ->type_name("TEXT");
    };
    add("--grep", true,
        "Nur ganze Einträge, die TEXT enthalten (Groß-/Kleinschreibung egal; mehrfach: alle Texte)");
    add("--grep-not", false, "Nur ganze Einträge, die TEXT nicht enthalten (mehrfach: keinen der Texte)");
}

} // namespace infemora::cli
