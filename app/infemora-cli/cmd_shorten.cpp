// infemora-cli shorten: merge and shorten as the unattended start of the window runs it: with
// the log folder held, the info logs are merged (without consolidating: the shorten folds them
// itself) and the three logs are folded into archives.
#include "app/infemora-cli/commands.h"

#include "archive/kuerzen_run.h"
#include "host/dir_lock.h"
#include "host/directories.h"
#include "host/messages.h"
#include "host/progress.h"
#include "merge/discovery.h"
#include "merge/infoprot_layout.h"
#include "merge/merge_run.h"
#include "textview/log_document.h"

#include <iostream>
#include <memory>
#include <string>

namespace infemora::cli {

namespace {

void liste(const char* was, const std::vector<std::string>& paths) {
    for (const auto& p : paths)
        std::cout << was << ' ' << p << '\n';
}

int runShorten(int days) {
    const std::size_t registriertVorher = Info().registered().size();
    bool ok = false;
    try {
        HinweiseAufStderr progress;
        KuerzenErgebnis res =
            ProtokollverzeichnisKuerzen(GetDirWwsByName("INFOPROT", "", true), KuerzStichtag(days), progress);
        if (res.success) {
            liste("geschrieben", res.geschrieben);
            liste("gel\xC3\xB6scht", res.geloescht);
            liste("umbenannt", res.umbenannt);
            liste("behalten", res.behalten);
            std::cout.flush();
        }
        for (const auto& hinweis : res.hinweise)
            std::cerr << "infemora-cli: " << hinweis << std::endl;
        ok = res.vollstaendig();
    } catch (...) {
        RegisterCurrentException("CheckTransferDatum");
    }
    return ExitCodeAfterRun(ok && Info().registered().size() == registriertVorher);
}

} // namespace

void AddShortenCommand(CLI::App& app, Action& action) {
    auto days = std::make_shared<std::string>("10");
    auto* cmd = app.add_subcommand("shorten", "Protokolle in Archivdateien zusammenf\xC3\xBChren und auf die "
                                              "letzten Tage k\xC3\xBCrzen (wie infemora -A=N)");
    cmd->add_option("--days", *days, "Tage, die bleiben (Vorgabe 10; 0 gilt wie bei -A= als 2)");
    cmd->callback([&action, days] {
        // Plain decimal digits only: CLI11 would also take "0x10" or an empty text.
        const std::string& t = *days;
        const std::size_t start = !t.empty() && t[0] == '-' ? 1 : 0;
        if (t.size() <= start || t.size() > start + 6 ||
            t.find_first_not_of("0123456789", start) != std::string::npos)
            throw CLI::ValidationError("--days: eine ganze Zahl erwartet, nicht \"" + t + "\"");
        // As the start argument: 0 keeps two days, negatives are taken as they are.
        const int n = std::stoi(t);
        int d = n == 0 ? 2 : n;
        action = [d] { return runShorten(d); };
    });
}

} // namespace infemora::cli
