#include "shell/parallel_navigation.h"

#include "host/messages.h"
#include "host/user_state.h"
#include "shell/hourglass.h"
#include "shell/parallel_window.h"
#include "shell/progress_window.h"
#include "textview/eintragsfilter_dialog.h"
#include "textview/log_text_view.h"
#include "textview/timeline_strip.h"
#include "textview/view_follower.h"
#include "textview/zeitpunkt_dialog.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace infemora {

namespace {

const char* const kFenster = "Fenster";
const char* const kAnsicht = "Ansicht";

} // namespace

void TfrmParallel::createNavigation() {
    Navigation = new ParallelNavigation(this);
}

ParallelNavigation::ParallelNavigation(TfrmParallel* window) : QObject(window), w_(window) {
    setObjectName("Navigation");
    w_->memTransfer->setEntryLayout(EntryLayout::Transfer);
    w_->memMenu->setEntryLayout(EntryLayout::Menu);
    frmZeitpunkt = new TfrmZeitpunkt(w_);
    frmEintragsFilter = new TfrmEintragsFilter(w_);
    lblAnsichtStatus = new QLabel(w_);
    lblAnsichtStatus->setObjectName("lblAnsichtStatus");
    w_->statusBar()->addPermanentWidget(lblAnsichtStatus);
    createMenu();
    createTimeline();
    for (LogTextView* view : {w_->memInfoWork, w_->memTransfer, w_->memMenu, w_->memAnsicht}) {
        auto* follower = new ViewFollower(view);
        followers_[view] = follower;
        connect(follower, &ViewFollower::note, this, [this](const QString& text) { showStatus(text); });
        connect(view, &LogTextView::textReplaced, this, [this, view] { textReplaced(view); });
        connect(view, &LogTextView::errorShown, this, [this](std::int64_t index, std::int64_t count) {
            showStatus(QStringLiteral("Fehler %1 von %2").arg(index + 1).arg(count));
        });
    }
    connect(w_->memInfoWork, &LogTextView::entriesChanged, this, [this] { updateTimeline(); });
    connect(w_->pgcDateien, &QTabWidget::currentChanged, this, [this] { viewChanged(); });
    connect(w_->Selektion1, &QAction::toggled, this, [this] { updateTimeline(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { SaveState(); });
    w_->installEventFilter(this);
    restoreState();
    viewChanged();
}

ParallelNavigation::~ParallelNavigation() = default;

void ParallelNavigation::createMenu() {
    QMenu* menu = w_->menuBar()->addMenu(QStringLiteral("&Ansicht"));
    menu->setObjectName("Ansicht1");
    auto add = [&](QAction*& action, const char* name, const QString& text, const QKeySequence& key,
                   void (ParallelNavigation::*handler)()) {
        action = menu->addAction(text);
        action->setObjectName(name);
        if (!key.isEmpty())
            action->setShortcut(key);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    add(GeheZuZeitpunkt1, "GeheZuZeitpunkt1", QStringLiteral("Gehe zu Zeitpunkt ..."),
        QKeySequence(Qt::CTRL | Qt::Key_G), &ParallelNavigation::GeheZuZeitpunkt1Click);
    add(NaechsterFehler1, "NaechsterFehler1", QStringLiteral("Nächster Fehler"), QKeySequence(Qt::Key_F8),
        &ParallelNavigation::NaechsterFehler1Click);
    add(VorherigerFehler1, "VorherigerFehler1", QStringLiteral("Vorheriger Fehler"),
        QKeySequence(Qt::SHIFT | Qt::Key_F8), &ParallelNavigation::VorherigerFehler1Click);
    menu->addSeparator();
    add(EintraegeFiltern1, "EintraegeFiltern1", QStringLiteral("Einträge filtern ..."),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), &ParallelNavigation::EintraegeFiltern1Click);
    add(EintragsfilterAufheben1, "EintragsfilterAufheben1", QStringLiteral("Eintragsfilter aufheben"), {},
        &ParallelNavigation::EintragsfilterAufheben1Click);
    menu->addSeparator();
    add(FehlerHervorheben1, "FehlerHervorheben1", QStringLiteral("Fehler hervorheben"), {},
        &ParallelNavigation::FehlerHervorheben1Click);
    FehlerHervorheben1->setCheckable(true);
    FehlerHervorheben1->setChecked(true);
    add(EndeFolgen1, "EndeFolgen1", QStringLiteral("Ende folgen"), {}, &ParallelNavigation::EndeFolgen1Click);
    EndeFolgen1->setCheckable(true);
}

void ParallelNavigation::createTimeline() {
    splitter_ = w_->tshInfoprotokolle->findChild<QSplitter*>();
    tlsZeitachse = new TimelineStrip;
    w_->memInfoWork->setHeaderWidget(tlsZeitachse);
    connect(tlsZeitachse, &TimelineStrip::barClicked, this, [this](TDateTime start) {
        if (w_->memInfoWork->goToTime(start))
            w_->memInfoWork->setFocus();
        else
            QApplication::beep();
    });
}

void ParallelNavigation::restoreState() {
    UserState& state = UserState::Instance();
    const std::string geometry = state.Value(kFenster, "Geometrie");
    if (!geometry.empty())
        w_->restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(geometry)));
    const std::string teiler = state.Value(kFenster, "Teiler");
    if (!teiler.empty())
        teiler_ = QByteArray::fromBase64(QByteArray::fromStdString(teiler));
    const bool hervorheben = state.Value(kAnsicht, "FehlerHervorheben", "1") == "1";
    FehlerHervorheben1->setChecked(hervorheben);
    for (auto [view, follower] : followers_) {
        view->setHighlighting(hervorheben);
        view->setProperty("folgen", state.Value(kAnsicht, stateKey(view)) == "1");
    }
}

void ParallelNavigation::SaveState() {
    // A window never shown (an unattended run) has no geometry worth keeping.
    if (!w_->isVisible())
        return;
    UserState& state = UserState::Instance();
    state.SetValue(kFenster, "Geometrie", w_->saveGeometry().toBase64().toStdString());
    if (splitter_)
        state.SetValue(kFenster, "Teiler", splitter_->saveState().toBase64().toStdString());
    state.Save();
}

bool ParallelNavigation::eventFilter(QObject* watched, QEvent* event) {
    if (watched == w_ && event->type() == QEvent::Close)
        SaveState();
    // A splitter given its sizes before the window is shown lays out by its parts' smallest
    // sizes instead; so they are given once the window is there.
    if (watched == w_ && event->type() == QEvent::Show && splitter_ && !teiler_.isEmpty())
        QTimer::singleShot(0, this, [this] {
            splitter_->restoreState(teiler_);
            teiler_.clear();
        });

    return QObject::eventFilter(watched, event);
}

std::string ParallelNavigation::stateKey(const LogTextView* view) {
    return "Folgen." + view->objectName().toStdString();
}

ViewFollower* ParallelNavigation::follower(LogTextView* view) const {
    auto it = followers_.find(view);
    return it == followers_.end() ? nullptr : it->second;
}

void ParallelNavigation::showStatus(const QString& text) {
    lblAnsichtStatus->setText(text);
}

void ParallelNavigation::viewChanged() {
    LogTextView* view = w_->ActiveView();
    EndeFolgen1->setChecked(view && view->property("folgen").toBool());
    showStatus({});
}

bool ParallelNavigation::dateFilterInForce() const {
    return w_->Selektion1->isChecked() && !(w_->FSelVon.isZero() && w_->FSelBis.isZero());
}

void ParallelNavigation::textReplaced(LogTextView* view) {
    try {
        if (view == w_->memAnsicht)
            view->setEntryLayout(LayoutForFile(view->document().path()));
        if (view->property("folgen").toBool())
            startFollowing(view);
        if (view == w_->ActiveView())
            showStatus({});
    } catch (...) {
        RegisterCurrentException("TfrmParallel.textReplaced");
    }
}

void ParallelNavigation::startFollowing(LogTextView* view) {
    ViewFollower* f = follower(view);
    if (view != w_->memInfoWork) {
        f->followFile(view->document().path());
        return;
    }
    std::vector<std::string> files;
    for (int i = 0; i < w_->lbInfodateien->count(); ++i) {
        // The placeholder of an empty search carries no file.
        const QVariant real = w_->lbInfodateien->item(i)->data(Qt::UserRole);
        if (real.isValid())
            files.push_back(real.toString().toStdString());
    }
    if (files.empty()) {
        f->stop();
        return;
    }
    f->followLogs(files, dateFilterInForce(), w_->FSelVon, w_->FSelBis);
}

void ParallelNavigation::updateTimeline() {
    const EntryIndex* entries = w_->memInfoWork->entries();
    if (!entries)
        return; // read in the background; entriesChanged comes again
    const bool span = dateFilterInForce();
    if (!span || !ungefiltertDa_) {
        Zeitachse achse = BuildTimeline(*entries);
        if (!span) {
            ungefiltert_ = achse;
            ungefiltertDa_ = true;
        }
        tlsZeitachse->setTimeline(std::move(achse));
    } else {
        tlsZeitachse->setTimeline(ungefiltert_);
    }
    tlsZeitachse->setSpan(span, w_->FSelVon, w_->FSelBis);
}

void ParallelNavigation::GeheZuZeitpunkt1Click() {
    try {
        LogTextView* view = w_->ActiveView();
        if (!view)
            return;
        TDateTime zeit;
        bool ok = false;
        if (askZeitpunkt) {
            ok = askZeitpunkt(zeit);
        } else if (frmZeitpunkt->exec() == QDialog::Accepted) {
            zeit = frmZeitpunkt->Zeitpunkt;
            ok = true;
        }
        if (!ok)
            return;
        bool found;
        {
            Hourglass wait;
            found = view->goToTime(zeit);
        }
        if (!found) {
            QApplication::beep();
            return;
        }
        view->setFocus();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.GeheZuZeitpunkt1Click");
    }
}

void ParallelNavigation::NaechsterFehler1Click() {
    try {
        LogTextView* view = w_->ActiveView();
        if (!view)
            return;
        if (view->goToError(true))
            view->setFocus();
        else
            QApplication::beep();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.NaechsterFehler1Click");
    }
}

void ParallelNavigation::VorherigerFehler1Click() {
    try {
        LogTextView* view = w_->ActiveView();
        if (!view)
            return;
        if (view->goToError(false))
            view->setFocus();
        else
            QApplication::beep();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.VorherigerFehler1Click");
    }
}

void ParallelNavigation::EintraegeFiltern1Click() {
    try {
        LogTextView* view = w_->ActiveView();
        if (!view)
            return;
        EintragsBedingung bedingung;
        bool erweitern = false;
        bool ok = false;
        if (askEintragsFilter) {
            ok = askEintragsFilter(bedingung, erweitern);
        } else {
            frmEintragsFilter->setFilterInForce(view->isEntryFiltered());
            if (frmEintragsFilter->exec() == QDialog::Accepted) {
                bedingung = frmEintragsFilter->Bedingung();
                erweitern = frmEintragsFilter->Erweitern();
                ok = true;
            }
        }
        if (!ok)
            return;
        EintragsFilter filter;
        if (erweitern)
            filter = view->entryFilter();
        filter.bedingungen.push_back(bedingung);
        GuiProgress progress(w_->prgDialog);
        const QString caption = w_->prgDialog->caption();
        progress.Show("Einträge werden gefiltert ...");
        try {
            view->setEntryFilter(filter, &progress);
        } catch (...) {
            progress.Close();
            w_->prgDialog->setCaption(caption);
            throw;
        }
        progress.Close();
        w_->prgDialog->setCaption(caption);
        view->setFocus();
        const EntryIndex* entries = view->entries();
        showStatus(QStringLiteral("Eintragsfilter: %1 von %2 Einträgen")
                       .arg(view->shownEntryCount())
                       .arg(entries ? entries->count() : 0));
    } catch (...) {
        RegisterCurrentException("TfrmParallel.EintraegeFiltern1Click");
    }
}

void ParallelNavigation::EintragsfilterAufheben1Click() {
    try {
        LogTextView* view = w_->ActiveView();
        if (!view || !view->isEntryFiltered())
            return;
        view->clearEntryFilter();
        view->setFocus();
        showStatus({});
    } catch (...) {
        RegisterCurrentException("TfrmParallel.EintragsfilterAufheben1Click");
    }
}

void ParallelNavigation::FehlerHervorheben1Click() {
    try {
        const bool on = FehlerHervorheben1->isChecked();
        for (auto [view, follower] : followers_)
            view->setHighlighting(on);
        UserState::Instance().SetValue(kAnsicht, "FehlerHervorheben", on ? "1" : "0");
        UserState::Instance().Save();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.FehlerHervorheben1Click");
    }
}

void ParallelNavigation::EndeFolgen1Click() {
    try {
        LogTextView* view = w_->ActiveView();
        if (!view) {
            EndeFolgen1->setChecked(false);
            return;
        }
        const bool on = EndeFolgen1->isChecked();
        view->setProperty("folgen", on);
        UserState::Instance().SetValue(kAnsicht, stateKey(view), on ? "1" : "0");
        UserState::Instance().Save();
        if (!on) {
            follower(view)->stop();
            showStatus({});
            return;
        }
        view->moveCaretToEnd();
        startFollowing(view);
        showStatus(QStringLiteral("Ende folgen: ein"));
    } catch (...) {
        RegisterCurrentException("TfrmParallel.EndeFolgen1Click");
    }
}

} // namespace infemora
