// infemora-cli timeline: the timeline strip of the merged view as lines of CSV, entries per hour
// (or day) with the error entries of each kind, in Windows-1252 with CR LF.
#include "app/infemora-cli/commands.h"

#include "host/directories.h"
#include "host/messages.h"
#include "host/progress.h"
#include "merge/discovery.h"
#include "merge/infoprot_layout.h"
#include "merge/merge_run.h"
#include "merge/selektion_rules.h"
#include "textview/entry_index.h"
#include "textview/log_document.h"
#include "textview/timeline.h"

#include <iostream>
#include <memory>

namespace infemora::cli {

namespace {

struct TimelineOptions {
    std::string by;
    std::string von, bis;
    bool vonGiven = false, bisGiven = false;
};

std::string trimmed(const std::string& text) {
    const auto b = text.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

// "TT.MM.JJJJ" or "TT.MM.JJJJ HH:MM:SS" as the date and time fields of the filter dialog.
SelektionTexte texte(const TimelineOptions& o) {
    SelektionTexte t;
    auto split = [](const std::string& text, std::string& date, std::string& time) {
        const std::string s = trimmed(text);
        const auto blank = s.find(' ');
        date = s.substr(0, blank);
        time = blank == std::string::npos ? std::string() : trimmed(s.substr(blank + 1));
    };
    split(o.von, t.vonDatum, t.vonZeit);
    split(o.bis, t.bisDatum, t.bisZeit);
    return t;
}

int runTimeline(const TimelineOptions& o) {
    MergeRunInput in;
    in.allowConsolidation = false;
    in.AFilter = o.vonGiven || o.bisGiven;
    if (in.AFilter) {
        const SelektionErgebnis g = SelektionPruefen(texte(o));
        if (!g.ok) {
            std::cerr << "infemora-cli: Der Zeitraum aus --von und --bis ist nicht gültig (erwartet "
                         "TT.MM.JJJJ oder "
                         "\"TT.MM.JJJJ HH:MM:SS\", --von nicht nach --bis)."
                      << std::endl;
            return 2;
        }
        in.FSelVon = g.von;
        in.FSelBis = g.bis;
    }
    std::optional<ZeitRaster> raster;
    if (o.by == "hour")
        raster = ZeitRaster::Stunde;
    else if (o.by == "day")
        raster = ZeitRaster::Tag;
    const std::size_t registeredBefore = Info().registered().size();
    // The log folder is searched by the run itself, once no other run changes it.
    in.discoverIn = GetDirWwsByName("INFOPROT", "");
    in.allowConsolidation = false;
    HinweiseAufStderr progress;
    const MergeRunResult res = DateienSortieren(in, progress);
    for (const auto& u : res.skipped)
        Info().RegisterWarning("TfrmParallel.AlleDateien1Click", u);
    if (!res.success) {
        if (res.lockBusy)
            std::cerr << "infemora-cli: " << res.lockFailure << std::endl;
        return 1;
    }
    Zeitachse achse;
    if (!res.viewText) {
        std::cerr << "infemora-cli: " << KeineDateienGefunden << std::endl;
    } else {
        LogDocument doc;
        doc.openDescriptor(res.viewText->get(), res.viewFile);
        achse = BuildTimeline(BuildEntryIndex(doc, EntryLayout::Info), raster);
    }
    for (const std::string& line : TimelineCsvLines(achse))
        std::cout << line << "\r\n";
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "infemora-cli: Ausgabe fehlgeschlagen" << std::endl;
        return 1;
    }
    return ExitCodeAfterRun(Info().registered().size() == registeredBefore);
}

} // namespace

void AddTimelineCommand(CLI::App& app, Action& action) {
    auto opts = std::make_shared<TimelineOptions>();
    auto* cmd = app.add_subcommand(
        "timeline",
        "Zeitleiste der zusammengeführten Infoprotokolle: Einträge und Fehlermeldungen je Stunde oder Tag");
    cmd->add_option("--by", opts->by, "hour oder day (ohne: Stunden, Tage bei mehr als zwei Wochen)")
        ->check(CLI::IsMember({"hour", "day"}));
    auto* von =
        cmd->add_option("--von", opts->von, "Beginn des Zeitraums: TT.MM.JJJJ oder \"TT.MM.JJJJ HH:MM:SS\"");
    auto* bis =
        cmd->add_option("--bis", opts->bis, "Ende des Zeitraums: TT.MM.JJJJ oder \"TT.MM.JJJJ HH:MM:SS\"");
    cmd->callback([&action, opts, von, bis] {
        opts->vonGiven = von->count() > 0;
        opts->bisGiven = bis->count() > 0;
        action = [opts] { return runTimeline(*opts); };
    });
}

} // namespace infemora::cli
