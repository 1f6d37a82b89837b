// bench-view: the log text view on a large merged text, offscreen. Measures the time from
// loading the file to its last page painted, the memory the view adds, and the two searches
// that cross the whole text: forward from the top to a hit in the last line, backward from the
// end to a hit in the first line.
//
//   bench-view FILE FIRST_LINE_TEXT LAST_LINE_TEXT
//
// The two texts must occur only in the first and only in the last line of FILE; a hit anywhere
// else is reported as a failure, so that a search that stops early cannot look fast.
#include "bench/bench_probe.h"
#include "textview/log_text_view.h"
#include "textview/text_search.h"

#include <QApplication>

#include <exception>

using namespace infemora;
using namespace infemora::bench;

namespace {

// Time of a search including showing its hit, as the window does it.
double TimedSearch(LogTextView& view, const std::string& needle, bool forward, std::int64_t& hit) {
    const double t0 = SecondsNow();
    hit = forward ? SucheVorwaerts(view.document(), needle, 0)
                  : SucheRueckwaerts(view.document(), needle, view.document().textLength());
    if (hit >= 0) {
        view.setSelection(hit, static_cast<std::int64_t>(needle.size()));
        view.viewport()->repaint();
    }
    return SecondsNow() - t0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4) {
        std::cerr << "usage: bench-view FILE FIRST_LINE_TEXT LAST_LINE_TEXT" << std::endl;
        return 2;
    }
    const std::string path = argv[1];
    try {
        LogTextView view;
        view.resize(1000, 700);
        view.show();
        QCoreApplication::processEvents();
        view.viewport()->repaint();
        const std::int64_t basePeak = PeakKiB();

        const double t0 = SecondsNow();
        view.loadFile(path);
        view.moveCaretToEnd();
        view.viewport()->repaint();
        const double shown = SecondsNow() - t0;
        const std::int64_t loadPeak = PeakKiB();

        const std::int64_t lines = view.lineCount();
        const std::int64_t lastShown = view.firstVisibleLine() + view.visibleRowCount();
        if (lines < 2 || lastShown < lines) {
            std::cerr << "bench-view: the last page is not shown (" << lines << " lines, " << lastShown
                      << " shown)" << std::endl;
            return 1;
        }

        const std::string first = SuchtextNormalisieren(argv[2]);
        const std::string last = SuchtextNormalisieren(argv[3]);
        std::int64_t hitForward = -1, hitBackward = -1;
        const double forward = TimedSearch(view, last, true, hitForward);
        const double backward = TimedSearch(view, first, false, hitBackward);
        if (hitForward < 0 || view.document().lineColumn(hitForward).line != lines - 1) {
            std::cerr << "bench-view: the forward search did not end in the last line" << std::endl;
            return 1;
        }
        if (hitBackward < 0 || view.document().lineColumn(hitBackward).line != 0) {
            std::cerr << "bench-view: the backward search did not end in the first line" << std::endl;
            return 1;
        }
        const std::int64_t endPeak = PeakKiB();

        Report("shown_s", shown);
        Report("load_mib", MiB(loadPeak - basePeak));
        Report("view_mib", MiB(endPeak - basePeak));
        Report("index_mib", MiB(static_cast<std::int64_t>(view.document().indexMemoryBytes() / 1024)));
        Report("lines", double(lines));
        Report("search_forward_s", forward);
        Report("search_backward_s", backward);
    } catch (const std::exception& e) {
        std::cerr << "bench-view: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
