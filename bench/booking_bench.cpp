// bench-booking: the booking tab on a large booking file, offscreen. Loads the bookings of the
// last N days into the booking grid (as the refresh button does, grid painted), then sorts them
// by a header click on every visible column, each way. The booking file is the one the settings
// name (INFEMORA_CONFIG).
//
//   bench-booking [DAYS]      DAYS as typed into the "last days" field, default 30
#include "bench/bench_probe.h"
#include "booking/pkpf_tab_widget.h"
#include "host/messages.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

#include <algorithm>
#include <exception>
#include <vector>

using namespace infemora;
using namespace infemora::bench;

namespace {

void PaintGrid(TPKPFTab& tab) {
    tab.trvPKPFKopf->horizontalHeader()->viewport()->repaint();
    tab.trvPKPFKopf->viewport()->repaint();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString days = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("30");
    try {
        TPKPFTab tab;
        tab.resize(1000, 700);
        tab.show();
        QCoreApplication::processEvents();
        tab.tshPkpfFileShow();
        tab.edtLastDays->setText(days);
        QCoreApplication::processEvents();
        PaintGrid(tab);
        const std::int64_t basePeak = PeakKiB();
        const std::int64_t baseResident = ResidentKiB();

        const double t0 = SecondsNow();
        tab.btnAktualisierenClick();
        PaintGrid(tab);
        const double loaded = SecondsNow() - t0;
        const std::int64_t loadPeak = PeakKiB();
        const std::int64_t loadResident = ResidentKiB();
        const int rows = tab.kopfModel->rowCount();
        if (rows == 0 || !Info().registered().empty()) {
            std::cerr << "bench-booking: nothing was loaded (" << Info().registered().size()
                      << " registered failures)" << std::endl;
            return 1;
        }

        // Each visible column ascending, then each descending: the click toggles the direction.
        std::vector<double> clicks;
        double slowest = 0;
        int slowestColumn = -1;
        for (int pass = 0; pass < 2; ++pass) {
            for (int c = 0; c < PKPFKopfSpaltenAnzahl; ++c) {
                if (!PKPFKopfSpaltenDef(c).sichtbar)
                    continue;
                const double s0 = SecondsNow();
                tab.trvPKPFKopfHeaderClick(c);
                PaintGrid(tab);
                const double took = SecondsNow() - s0;
                clicks.push_back(took);
                if (took > slowest)
                    slowest = took, slowestColumn = c;
                // The next click on another column must again start from ascending.
                tab.FSortDirection =
                    pass == 0 ? TPKPFSortRichtung::Absteigend : TPKPFSortRichtung::Aufsteigend;
            }
        }
        std::sort(clicks.begin(), clicks.end());
        const std::int64_t endPeak = PeakKiB();

        Report("rows", rows);
        Report("load_s", loaded);
        Report("list_mib", MiB(loadResident - baseResident));
        Report("load_peak_mib", MiB(loadPeak - basePeak));
        Report("peak_mib", MiB(endPeak - basePeak));
        Report("sort_max_s", slowest);
        Report("sort_median_s", clicks[clicks.size() / 2]);
        ReportText("sort_max_column", PKPFKopfSpaltenDef(slowestColumn).caption);
    } catch (const std::exception& e) {
        std::cerr << "bench-booking: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
