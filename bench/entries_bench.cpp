// bench-entries: the entry features of the log view on a large merged text, offscreen.
//
//   bench-entries FILE TEXT
//
// Measures the last page shown (load, paint) with and without the highlighting of error entries,
// the entries and the timeline built from the loaded text, going to twenty times spread over
// the text (each with its page painted), and the entry filter by TEXT (with the first page of
// the result painted). The filter must show some lines but not all, and every time gone to must
// land on an entry at or after it, so that a step that does nothing cannot look fast.
#include "bench/bench_probe.h"
#include "textview/log_text_view.h"
#include "textview/timeline.h"

#include <QApplication>

#include <algorithm>
#include <exception>
#include <vector>

using namespace infemora;
using namespace infemora::bench;

namespace {

double LastPageShown(LogTextView& view, const std::string& path, bool highlighting) {
    view.setHighlighting(highlighting);
    const double t0 = SecondsNow();
    view.loadFile(path);
    view.moveCaretToEnd();
    view.viewport()->repaint();
    const double shown = SecondsNow() - t0;
    // The entries read in the background are finished before anything else is timed.
    view.waitForEntries();
    return shown;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: bench-entries FILE TEXT" << std::endl;
        return 2;
    }
    const std::string path = argv[1];
    try {
        LogTextView view;
        view.resize(1000, 700);
        view.show();
        QCoreApplication::processEvents();

        // Alternately, so that neither kind profits from going second.
        for (int round = 0; round < 2; ++round) {
            Report("shown_plain_s", LastPageShown(view, path, false));
            Report("shown_highlighted_s", LastPageShown(view, path, true));
        }

        double t0 = SecondsNow();
        const EntryIndex entries = BuildEntryIndex(view.document(), EntryLayout::Info);
        const Zeitachse achse = BuildTimeline(entries);
        const double timeline = SecondsNow() - t0;
        if (entries.count() < 2 || achse.balken.empty()) {
            std::cerr << "bench-entries: no entries with time stamps in " << path << std::endl;
            return 1;
        }

        const std::int64_t first = entries.key(entries.firstAtOrAfter(TDateTime(EntryIndex::kNoKey + 1)));
        const std::int64_t last = entries.key(entries.count() - 1);
        std::vector<double> gone;
        for (int i = 0; i < 20; ++i) {
            const TDateTime target(first + (last - first) * i / 19);
            t0 = SecondsNow();
            const bool found = view.goToTime(target);
            view.viewport()->repaint();
            gone.push_back(SecondsNow() - t0);
            const std::int64_t at =
                entries.entryOfLine(view.document().lineColumn(view.cursorPosition()).line);
            if (!found || entries.key(at) < target.ms || (at > 0 && entries.key(at - 1) >= target.ms)) {
                std::cerr << "bench-entries: going to a time did not land on the first entry at or after it"
                          << std::endl;
                return 1;
            }
        }
        std::sort(gone.begin(), gone.end());

        view.goToLine(0);
        t0 = SecondsNow();
        view.setEntryFilter({{{argv[2], true}}});
        view.viewport()->repaint();
        const double filtered = SecondsNow() - t0;
        const std::int64_t shown = view.lineCount();
        if (shown == 0 || shown >= view.document().fullIndex().count()) {
            std::cerr << "bench-entries: the filter showed " << shown << " lines" << std::endl;
            return 1;
        }

        Report("timeline_s", timeline);
        Report("entries", double(entries.count()));
        Report("bars", double(achse.balken.size()));
        Report("goto_max_s", gone.back());
        Report("goto_median_s", gone[gone.size() / 2]);
        Report("filter_s", filtered);
        Report("filter_lines", double(shown));
        Report("entries_mib", double(entries.memoryBytes()) / (1024.0 * 1024.0));
    } catch (const std::exception& e) {
        std::cerr << "bench-entries: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
