#include "shell/parallel_window.h"

#include "host/directories.h"
#include "host/errors.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/infoprot_readers.h"
#include "shell/progress_window.h"
#include "shell/status_bar.h"
#include "shell/teardown.h"
#include "shell/terminate_listener.h"
#include "textview/log_text_view.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace infemora {

namespace {

const char* const kCaption = "Infoprotokolle zusammenführen";

LogTextView* makeView(const char* name, QWidget* parent) {
    auto* view = new LogTextView(parent);
    view->setObjectName(name);
    return view;
}

} // namespace

TfrmParallel::TfrmParallel(const std::vector<std::string>& args, QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmParallel");
    setWindowTitle(QString::fromUtf8(kCaption));
    setEnabled(false); // only SetStatus(false) enables it
    createWidgets();
    createMenus();
    createNavigation();
    FormCreate(args);
}

TfrmParallel::~TfrmParallel() {
    FormDestroy();
}

void TfrmParallel::createWidgets() {
    pgcDateien = new QTabWidget(this);
    pgcDateien->setObjectName("pgcDateien");
    setCentralWidget(pgcDateien);

    tshInfoprotokolle = new QWidget;
    tshInfoprotokolle->setObjectName("tshInfoprotokolle");
    auto* splitter = new QSplitter(Qt::Vertical, tshInfoprotokolle);
    lbInfodateien = new QListWidget(splitter);
    lbInfodateien->setObjectName("lbInfodateien");
    memInfoWork = makeView("memInfoWork", splitter);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 5);
    splitter->setSizes({90, 600});
    auto* infoLayout = new QVBoxLayout(tshInfoprotokolle);
    infoLayout->setContentsMargins(2, 2, 2, 2);
    infoLayout->addWidget(splitter);
    pgcDateien->addTab(tshInfoprotokolle, QStringLiteral("Infoprotokolle"));

    // The two logs shown whole, each a view filling its tab.
    auto logTab = [this](const char* tabName, const char* viewName, const QString& title,
                         LogTextView*& view) {
        auto* tab = new QWidget;
        tab->setObjectName(tabName);
        view = makeView(viewName, tab);
        auto* layout = new QVBoxLayout(tab);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->addWidget(view);
        pgcDateien->addTab(tab, title);
        return tab;
    };
    tshTransfer = logTab("tshTransfer", "memTransfer", QStringLiteral("Transferprotokoll"), memTransfer);
    tshMenu = logTab("tshMenu", "memMenu", QStringLiteral("Menüprotokoll"), memMenu);

    tshAnsicht = new QWidget;
    tshAnsicht->setObjectName("tshAnsicht");
    spbOpenFile = new QToolButton(tshAnsicht);
    spbOpenFile->setObjectName("spbOpenFile");
    spbOpenFile->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    spbOpenFile->setToolTip(QStringLiteral("Datei öffnen"));
    lblAnsichtDateiName = new QLabel(tshAnsicht);
    lblAnsichtDateiName->setObjectName("lblAnsichtDateiName");
    lblAnsichtDateiName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memAnsicht = makeView("memAnsicht", tshAnsicht);
    auto* row = new QHBoxLayout;
    row->addWidget(spbOpenFile);
    row->addWidget(lblAnsichtDateiName, 1);
    auto* ansichtLayout = new QVBoxLayout(tshAnsicht);
    ansichtLayout->setContentsMargins(2, 2, 2, 2);
    ansichtLayout->addLayout(row);
    ansichtLayout->addWidget(memAnsicht);
    pgcDateien->addTab(tshAnsicht, QStringLiteral("Ansicht einzelner Datei"));

    tshPkpfFile = new QWidget;
    tshPkpfFile->setObjectName("tshPkpfFile");
    pgcDateien->addTab(tshPkpfFile, QStringLiteral("Buchungsprotokoll"));

    prgDialog = new TProgressWindow(this);
    stbStatus = new TStatusZeile(this);
    setStatusBar(stbStatus);
    for (LogTextView* view : {memInfoWork, memTransfer, memMenu, memAnsicht})
        connect(view, &LogTextView::selectionChanged, this, [this, view] {
            if (view == ActiveView())
                CursorAnzeigen();
        });

    connect(pgcDateien, &QTabWidget::currentChanged, this, [this] {
        pgcDateienChange();
        StatusAktualisieren();
    });
    connect(spbOpenFile, &QToolButton::clicked, this, [this] { spbOpenFileClick(); });
    // F4 belongs to the tab control: it moves to the next tab.
    auto* f4 = new QShortcut(QKeySequence(Qt::Key_F4), this);
    connect(f4, &QShortcut::activated, this, [this] {
        pgcDateien->setCurrentIndex((pgcDateien->currentIndex() + 1) % pgcDateien->count());
        pgcDateien->setFocus();
    });
    resize(1000, 700);
}

void TfrmParallel::createMenus() {
    auto add = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                      const std::function<void()>& handler) {
        auto* action = menu->addAction(text);
        action->setObjectName(name);
        if (!key.isEmpty())
            action->setShortcut(key);
        connect(action, &QAction::triggered, this, [handler] { handler(); });
        return action;
    };
    QMenu* datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName("Datei1");
    Dateienoeffnen1 = add(datei, "Dateienoeffnen1", QStringLiteral("Infoprotokolle öffnen"), {},
                          [this] { Dateienoeffnen1Click(Dateienoeffnen1); });
    AlleDateien1 = add(datei, "AlleDateien1", QStringLiteral("Alle aktuellen Protokolldateien"), {},
                       [this] { AlleDateien1Click(AlleDateien1); });
    datei->addSeparator();
    ZusammenfhrenundKrzen1 = add(datei, "ZusammenfhrenundKrzen1", QStringLiteral("Zusammenführen und Kürzen"),
                                 {}, [this] { ZusammenfhrenundKrzen1Click(ZusammenfhrenundKrzen1); });
    datei->addSeparator();
    Speichern1 = add(datei, "Speichern1", QStringLiteral("Speichern unter"),
                     QKeySequence(Qt::CTRL | Qt::Key_S), [this] { Speichern1Click(); });
    Drucken1 = add(datei, "Drucken1", QStringLiteral("Drucken"), QKeySequence(Qt::CTRL | Qt::Key_P),
                   [this] { Drucken1Click(); });
    datei->addSeparator();
    Beenden1 = add(datei, "Beenden1", QStringLiteral("Beenden"), QKeySequence(Qt::Key_Escape),
                   [this] { Beenden1Click(); });

    QMenu* bearbeiten = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    bearbeiten->setObjectName("Bearbeiten1");
    Selektion1 = add(bearbeiten, "Selektion1", QStringLiteral("Filter Infoprotokolle ..."), {}, [this] {
        // The menu toggles a checkable entry before it runs it; the mark shows the filter in force
        // and only Selektion1Click sets it, so a cancelled dialog leaves it as it was.
        Selektion1->setChecked(!Selektion1->isChecked());
        Selektion1Click();
    });
    Selektion1->setCheckable(true);
    AlleDatenAnzeigen1 =
        add(bearbeiten, "AlleDatenAnzeigen1", QStringLiteral("Filter Infoprotokolle aufheben"), {},
            [this] { AlleDatenAnzeigen1Click(); });
    bearbeiten->addSeparator();
    Auswerten1 = add(bearbeiten, "Auswerten1", QStringLiteral("Protokolle auswerten"), {},
                     [this] { AuswertenClick(); });
    bearbeiten->addSeparator();
    Suchen1 = add(bearbeiten, "Suchen1", QStringLiteral("Suchen ..."), QKeySequence(Qt::Key_F2),
                  [this] { Suchen1Click(); });
    Weitersuchen1 = add(bearbeiten, "Weitersuchen1", QStringLiteral("Weitersuchen (vorwärts)"),
                        QKeySequence(Qt::Key_F3), [this] { Weitersuchen1Click(); });
    Weitersuchenrckwrts1 = add(bearbeiten, "Weitersuchenrckwrts1", QStringLiteral("Weitersuchen (rückwärts)"),
                               QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { Weitersuchenrckwrts1Click(); });
    N5 = bearbeiten->addSeparator();
    N5->setObjectName("N5");
    Autofilter1 = add(bearbeiten, "Autofilter1", QStringLiteral("Einstellungen für Kürzen ..."), {},
                      [this] { Autofilter1Click(); });
    // The shorten settings are reachable only by the start argument; entry and separator stay
    // hidden and disabled.
    N5->setVisible(false);
    N5->setEnabled(false);
    Autofilter1->setVisible(false);
    Autofilter1->setEnabled(false);
}

void TfrmParallel::FormCreate(const std::vector<std::string>& args) {
    try {
        FSelVon = TDateTime();
        FSelBis = TDateTime();
        FKuerzTage = 10;
        FSelSuche.clear();
        createReaders();
        FTerminateAppMessage = TerminateListener::RegisterTerminateMessage();
        terminateListener_ = new TerminateListener(FTerminateAppMessage, this);
        qApp->installEventFilter(this);
        memInfoWork->clear();
        memTransfer->clear();
        memMenu->clear();
        Starteinstellung();
        FormCreate_DoJob(args);
        StatusAktualisieren();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.FormCreate");
    }
}

void TfrmParallel::Starteinstellung() {
    try {
        std::string dir = GetDirWwsByName("INFOPROT", "\\", true);
        if (!SetCurrentDir(dir))
            throw EFileError("Das Protokollverzeichnis " + dir + " kann nicht geöffnet werden");
        pgcDateien->setCurrentWidget(tshInfoprotokolle);
        Selektion1->setEnabled(false);
        AlleDatenAnzeigen1->setEnabled(false);
        Speichern1->setEnabled(false);
        Drucken1->setEnabled(false);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Starteinstellung");
    }
}

void TfrmParallel::FormCreate_DoJob(const std::vector<std::string>& args) {
    try {
        StartDecision d = FormCreate_Decide(args);
        switch (d.mode) {
        case StartMode::NoMora:
            lblAnsichtDateiName->clear();
            memAnsicht->clear();
            SetStatus(false);
            break;
        case StartMode::AutoSend:
            // The window is never enabled; the run ends the program.
            RunAutoSend(args);
            RequestTerminate();
            break;
        case StartMode::Kuerzen:
            FKuerzTage = d.kuerzTage;
            show();
            ZusammenfhrenundKrzen1Click(nullptr);
            FExitCode = FKuerzenVollstaendig ? 0 : 1;
            RequestTerminate();
            break;
        case StartMode::Default:
            show();
            lblAnsichtDateiName->clear();
            memAnsicht->clear();
            SetStatus(true);
            AlleDateien1Click(nullptr);
            SetStatus(false);
            break;
        case StartMode::Unknown:
            // Nothing to start: stay idle so that the user can look around and quit.
            SetStatus(false);
            Info().RegisterMessage(
                "TfrmParallel.FormCreate_DoJob",
                "Unbekannter Aufrufparameter \"" + d.argument +
                    "\"; es wurde nichts geladen. Erlaubt sind NOMORA, AUTOSEND und -A=Tage.");
            break;
        }
    } catch (...) {
        RegisterCurrentException("TfrmParallel.FormCreate_DoJob");
    }
}

void TfrmParallel::SetStatus(bool busy) {
    try {
        setEnabled(!busy);
        if (busy) {
            if (!QApplication::overrideCursor())
                QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            while (QApplication::overrideCursor())
                QApplication::restoreOverrideCursor();
            // The focus set while the window was disabled was dropped; the keyboard belongs to
            // the view again only now.
            AnsichtFokussieren();
        }
    } catch (...) {
        RegisterCurrentException("TfrmParallel.SetStatus");
    }
}

void TfrmParallel::RequestTerminate() {
    FTerminateRequested = true;
    QCoreApplication::quit();
}

bool TfrmParallel::HandleMessage(QEvent* event) {
    try {
        if (event->type() == FTerminateAppMessage)
            RequestTerminate();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.HandleMessage");
    }
    return false; // not marked as handled
}

bool TfrmParallel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && FTerminateAppMessage != QEvent::None && event->type() == FTerminateAppMessage)
        HandleMessage(event);
    return QMainWindow::eventFilter(watched, event);
}

void TfrmParallel::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // A window coming back from the task bar is shown again by the window system; that is no
    // new showing, and the view keeps the place the user left.
    if (!event->spontaneous())
        FormShow();
}

void TfrmParallel::FormShow() {
    try {
        pgcDateien->setCurrentWidget(tshInfoprotokolle);
        memInfoWork->setFocus();
        memInfoWork->moveCaretToStart();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.FormShow");
    }
}

void TfrmParallel::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfrmParallel::FormActivate() {
    try {
        if (pgcDateien->currentWidget() == tshInfoprotokolle && memInfoWork->hasFocus())
            memInfoWork->moveCaretToEnd();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.FormActivate");
    }
}

void TfrmParallel::Beenden1Click() {
    try {
        RequestTerminate();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Beenden1Click");
    }
}

void TfrmParallel::closeEvent(QCloseEvent* event) {
    // Closing the window by its frame ends the program like "Beenden".
    RequestTerminate();
    event->accept();
}

void TfrmParallel::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    qApp->removeEventFilter(this);
    RunTeardown(
        {{[this] { bookingTeardownFocus(); }}, {[this] { bookingTeardownClose(); }}, {[this] {
             releaseReaders();
         }}},
        [] { Info().FehlerTerminate("TfrmParallel.FormDestroy"); }, "TfrmParallel.FormDestroy");
}

LogTextView* TfrmParallel::ActiveView() const {
    QWidget* tab = pgcDateien->currentWidget();
    if (tab == tshInfoprotokolle)
        return memInfoWork;
    if (tab == tshTransfer)
        return memTransfer;
    if (tab == tshMenu)
        return memMenu;
    if (tab == tshAnsicht)
        return memAnsicht;
    return nullptr;
}

} // namespace infemora
