// bench-startup: the program's start with NOMORA, offscreen, up to an idle window: the main
// window and its dialogs are made as the program makes them, shown, and the time is taken when
// the window has been painted and the event loop is about to wait for input. Then it quits.
//
//   bench-startup [--bare] [--since EPOCH_SECONDS]
//
// --bare starts a plain main window with a menu bar and five empty tabs instead: the cost of
// Qt itself, the reference. --since is the wall-clock time (seconds since the epoch, as bash's
// EPOCHREALTIME gives it) at which the caller started this process, so that loading the program
// and its libraries counts too.
#include "archive/kuerzen_dialog.h"
#include "bench/bench_probe.h"
#include "host/program.h"
#include "merge/selektion_dialog.h"
#include "shell/notice_display.h"
#include "shell/parallel_window.h"
#include "textview/suchen_dialog.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabWidget>

#include <cstring>
#include <memory>

using namespace infemora;
using namespace infemora::bench;

namespace {

double WallNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Notes the first paint of the window or anything in it.
class PaintWatch : public QObject {
public:
    QWidget* window = nullptr;
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!painted && window && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window)
            painted = true;
        return false;
    }
};

std::unique_ptr<QMainWindow> BareWindow() {
    auto w = std::make_unique<QMainWindow>();
    w->menuBar()->addMenu(QStringLiteral("&Datei"))->addAction(QStringLiteral("Beenden"));
    w->menuBar()->addMenu(QStringLiteral("&Bearbeiten"))->addAction(QStringLiteral("Suchen ..."));
    auto* tabs = new QTabWidget;
    for (const char* t : {"Infoprotokolle", "Transferprotokoll", "Men\xC3\xBCprotokoll",
                          "Ansicht einzelner Datei", "Buchungsprotokoll"})
        tabs->addTab(new QWidget, QString::fromUtf8(t));
    w->setCentralWidget(tabs);
    w->resize(1000, 700);
    return w;
}

} // namespace

int main(int argc, char** argv) {
    const double mainStart = SecondsNow();
    bool bare = false;
    double since = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--bare") == 0)
            bare = true;
        else if (std::strcmp(argv[i], "--since") == 0 && i + 1 < argc)
            since = std::atof(argv[++i]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::unique_ptr<QMainWindow> window;
    TfrmParallel* frmParallel = nullptr;
    if (bare) {
        window = BareWindow();
    } else {
        Programm().Init("INFEMORA", 0, 0, true);
        QApplication::setApplicationName(QStringLiteral("infemora"));
        QApplication::setApplicationDisplayName(QStringLiteral("Infoprotokolle zusammenführen"));
        InstallGuiNotices(nullptr);
        auto f = std::make_unique<TfrmParallel>(std::vector<std::string>{"-NOMORA"});
        frmParallel = f.get();
        // Owned by the main window as their Qt parent, as in the program.
        frmParallel->frmSelektion = new TfrmSelektion(frmParallel);
        frmParallel->frmSuchen = new TfrmSuchen(frmParallel);
        frmParallel->frmKuerzen = new TfrmKuerzen(frmParallel);
        window = std::move(f);
        if (frmParallel->terminateRequested()) {
            std::cerr << "bench-startup: the window asked to end during its start" << std::endl;
            return 1;
        }
    }

    PaintWatch watch;
    watch.window = window.get();
    app.installEventFilter(&watch);
    double idleWall = 0, idleMain = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &app,
                     [&] {
                         if (idleMain == 0 && watch.painted) {
                             idleWall = WallNow();
                             idleMain = SecondsNow() - mainStart;
                             QCoreApplication::exit(0);
                         }
                     });
    if (!window->isVisible())
        window->show();
    const int rc = QApplication::exec();
    app.removeEventFilter(&watch);
    if (rc != 0 || idleMain == 0) {
        std::cerr << "bench-startup: the window never became idle" << std::endl;
        return 1;
    }
    const bool enabled = window->isEnabled();
    window.reset();
    if (!bare)
        RemoveGuiNotices();
    if (!enabled) {
        std::cerr << "bench-startup: the window is idle but still disabled (busy)" << std::endl;
        return 1;
    }
    Report("idle_s", since > 0 ? idleWall - since : idleMain);
    Report("idle_in_main_s", idleMain);
    return 0;
}
