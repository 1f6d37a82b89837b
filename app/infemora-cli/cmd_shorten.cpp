// infemora-cli shorten: merge and shorten as the unattended start of the window runs it: the
// info logs are merged first (consolidating as the window does), the three logs are folded into
// archives, and the info logs left are merged again.
#include "app/infemora-cli/commands.h"

#include "archive/kuerzen_run.h"
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

// The all-files search and the unfiltered merge; false when the merge failed. files gets the
// list as the window would show it (the placeholder when nothing was found).
bool alleDateienZusammenfuehren(const std::string& logDir, std::vector<std::string>& files,
                                LogDocument& text) {
    text.clear();
    try {
        files = AlleInfoDateien(logDir);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.AlleDateien1Click");
        files.clear();
        return false;
    }
    if (files.empty()) {
        files.push_back(std::string(KeineDateienGefunden));
        return true;
    }
    MergeRunInput in;
    in.files = files;
    in.allowConsolidation = true;
    in.logDir = logDir;
    MergeRunResult res = DateienSortieren(in, NullProgress());
    if (!res.success)
        return false;
    files = res.files;
    try {
        text.open(res.viewFile);
    } catch (...) {
        RegisterCurrentException("DateienSortieren");
        return false;
    }
    return true;
}

void liste(const char* was, const std::vector<std::string>& paths) {
    for (const auto& p : paths)
        std::cout << was << ' ' << p << '\n';
}

int runShorten(int days) {
    const std::size_t registriertVorher = Info().registered().size();
    bool ok = false;
    try {
        KuerzenEingabe in;
        in.stichtag = KuerzStichtag(days);
        in.logDir = GetDirWwsByName("INFOPROT", "", true);
        in.staTemp = GetDirWwsByName("STATEMP", "", true);
        in.infoStempelVorher = StempelVon(AlleInfoDateien(in.logDir));
        LogDocument text;
        in.infoTextVollstaendig = alleDateienZusammenfuehren(in.logDir, in.infoDateien, text);
        in.infoText = &text;
        // Without views the transfer and menu logs are read from their files.
        KuerzenErgebnis res = ZusammenfuehrenUndKuerzen(in, NullProgress());
        text.clear();
        if (res.success) {
            liste("geschrieben", res.geschrieben);
            liste("gel\xC3\xB6scht", res.geloescht);
            liste("umbenannt", res.umbenannt);
            liste("behalten", res.behalten);
            std::cout.flush();
            std::vector<std::string> files;
            alleDateienZusammenfuehren(in.logDir, files, text);
            ok = true;
        }
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
