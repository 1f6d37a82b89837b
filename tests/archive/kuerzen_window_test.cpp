// "Zusammenführen und Kürzen" in the main window, offscreen on a generated site.
// moc of this Qt version cannot parse the C++20 library headers behind these.
#ifndef Q_MOC_RUN
#include "archive/kuerzen_dialog.h"
#include "host/datetime.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "kuerzen_fixture.h"
#include "shell/parallel_window.h"
#include "shell/progress_window.h"
#include "support/test_env.h"
#include "support/window_fixture.h"
#include "textview/log_text_view.h"
#endif

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace infemora;
using kuerzentest::Concat;
using kuerzentest::Eintrag;
using kuerzentest::Namen;
using kuerzentest::Zeilen;

namespace {

struct Site : testenv::TempSite {
    std::unique_ptr<TfrmParallel> start(const std::vector<std::string>& args) {
        SetSettingsForTesting(settings());
        return std::make_unique<TfrmParallel>(args);
    }
    void log(const std::string& name, const Lines& lines) { writeLines(logFile(name), lines); }
};

const Lines kAlt = Concat({Eintrag("20261101", "080000", "alt a"), Eintrag("20261127", "120000", "alt b")});
const Lines kNeu = Concat({Eintrag("20261128", "080000", "neu a"), Eintrag("20261208", "080000", "neu b")});

} // namespace

class KuerzenWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Info().clearRegistered();
        SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(11, 0, 0, 0));
    }
    void cleanup() { SetClockForTesting(TDateTime()); }

    void theMenuEntryShortensAndShowsWhatIsLeft() {
        Site site;
        site.log("INFOPROT.001", Concat({kAlt, kNeu}));
        site.log("TRANSFER.LOG", {"20261101 t1", "20261128 t2", "20261208 t3"});
        site.log("MENU.LOG", {"27.11.2026\xF8m1"});
        auto w = site.start({});
        QCOMPARE(w->memInfoWork->lineCount(), 12);
        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        QCOMPARE(w->memTransfer->lineCount(), 3);
        // The log grows after its tab was shown; the line must not get lost.
        site.log("TRANSFER.LOG", {"20261101 t1", "20261128 t2", "20261208 t3", "20261208 t4"});

        // What a user sees whenever the run lets window messages through.
        bool shortenShownWhileBusy = false, enabledWhileRunning = false;
        QTimer look;
        look.setInterval(0);
        connect(&look, &QTimer::timeout, [&] {
            enabledWhileRunning = enabledWhileRunning || w->isEnabled();
            if (w->prgDialog->isVisible() &&
                w->prgDialog->caption() == QStringLiteral("Daten werden gekürzt ..."))
                shortenShownWhileBusy = true;
        });
        look.start();
        w->askKuerzen = [](const QString&) { return true; }; // "Ja" to the question before
        w->ZusammenfhrenundKrzen1->trigger();
        look.stop();

        QVERIFY(shortenShownWhileBusy);
        QVERIFY(!enabledWhileRunning);
        QVERIFY(w->isEnabled());
        QVERIFY(!w->prgDialog->isVisible());
        QCOMPARE(w->prgDialog->caption(),
                 QStringLiteral("Daten werden gekürzt ...")); // kept for later merges
        QVERIFY(Info().registered().empty());

        QCOMPARE(Namen(site.logDir()),
                 std::vector<std::string>(
                     {"ALT-INFO.000", "ALT-MENU.000", "ALT-TRAN.000", "INFEMORA.000", "TRANSFER.LOG"}));
        QCOMPARE(Zeilen(site.logFile("ALT-INFO.000")), kAlt);
        QCOMPARE(Zeilen(site.logFile("INFEMORA.000")), kNeu);
        QCOMPARE(Zeilen(site.logFile("ALT-TRAN.000")), Lines({"20261101 t1"}));
        QCOMPARE(Zeilen(site.logFile("TRANSFER.LOG")), Lines({"20261128 t2", "20261208 t3", "20261208 t4"}));
        // The view is rebuilt from what is left.
        QCOMPARE(testenv::ListTexts(w->lbInfodateien),
                 QStringList({QString::fromStdString(site.logFile("INFEMORA.000")).toUpper()}));
        QCOMPARE(testenv::ViewLines(w->memInfoWork), kNeu);
        // The transfer view showed the log before the run; its next visit reads the file.
        QCOMPARE(w->memTransfer->lineCount(), 0);
        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        QCOMPARE(w->memTransfer->lineCount(), 3);
    }

    void aFailedRunLeavesTheBusyStateAndChangesNothing() {
        Site site;
        site.log("INFOPROT.001", Concat({kAlt, kNeu}));
        site.log("TRANSFER.LOG", {"20261101 t1"});
        auto w = site.start({});
        // The first part cannot be written, as on a full disk.
        SetFileFaultHookForTesting(
            [](FileStep step, const std::string&, int) { return step == FileStep::Sync ? ENOSPC : 0; });
        w->ZusammenfhrenundKrzen1Click(nullptr);
        SetFileFaultHookForTesting({});
        QVERIFY(w->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!w->prgDialog->isVisible());
        auto reg = Info().registered();
        QCOMPARE(reg.size(), size_t(1));
        QCOMPARE(QString::fromStdString(reg[0].context), QStringLiteral("CheckTransferDatum"));
        QCOMPARE(Namen(site.logDir()), std::vector<std::string>({"INFOPROT.001", "TRANSFER.LOG"}));
        QCOMPARE(Zeilen(site.logFile("INFOPROT.001")), Concat({kAlt, kNeu}));
        QCOMPARE(w->memInfoWork->lineCount(), 12);
    }

    void theStartArgumentRunsWithItsDaysAndEnds() {
        Site site;
        site.log("infoprot.tmp", Concat({kAlt, kNeu}));
        // Three days keep from 05.12.2026 on.
        auto w = site.start({"-a=3"});
        QCOMPARE(w->FKuerzTage, 3);
        QVERIFY(w->terminateRequested());
        QVERIFY(Info().registered().empty());
        QCOMPARE(Zeilen(site.logFile("ALT-INFO.000")),
                 Concat({kAlt, Eintrag("20261128", "080000", "neu a")}));
        QCOMPARE(Zeilen(site.logFile("INFEMORA.000")), Eintrag("20261208", "080000", "neu b"));
        QVERIFY(!kuerzentest::Vorhanden(site.logFile("infoprot.tmp")));
    }

    void theSettingsDialogSetsTheDaysOfTheNextRun() {
        Site site;
        site.log("infoprot.tmp", Concat({kAlt, kNeu}));
        auto w = site.start({"/nomora"});
        TfrmKuerzen dialog(w.get());
        w->frmKuerzen = &dialog;
        QString shown;
        QTimer::singleShot(0, &dialog, [&] {
            shown = dialog.edtKuerzen->text();
            dialog.edtKuerzen->setText("7");
            QTest::keyClick(dialog.edtKuerzen, Qt::Key_Return);
        });
        w->Autofilter1Click();
        QCOMPARE(shown, QStringLiteral("10"));
        QCOMPARE(w->FKuerzTage, 7);

        // Escape after a change keeps the days.
        QTimer::singleShot(0, &dialog, [&] {
            shown = dialog.edtKuerzen->text();
            dialog.edtKuerzen->setText("3");
            QTest::keyClick(dialog.edtKuerzen, Qt::Key_Escape);
        });
        w->Autofilter1Click();
        QCOMPARE(shown, QStringLiteral("7"));
        QCOMPARE(w->FKuerzTage, 7);

        // Seven days on 08.12.2026 keep from 01.12.2026 on.
        w->ZusammenfhrenundKrzen1Click(nullptr);
        QCOMPARE(Zeilen(site.logFile("ALT-INFO.000")),
                 Concat({kAlt, Eintrag("20261128", "080000", "neu a")}));
        QCOMPARE(Zeilen(site.logFile("INFEMORA.000")), Eintrag("20261208", "080000", "neu b"));
        w->frmKuerzen = nullptr;
    }

    // Another window reads the folder: the start's merge, which would consolidate, merges without
    // consolidating; merge and shorten waits, says so in the progress window, gives up with a
    // message, changes nothing and leaves the window usable.
    void aFolderHeldByAnotherRunIsWaitedForThenLeftAlone() {
        Site site;
        Lines viele;
        for (int i = 0; i < 6100; ++i) // more than a merge keeps whole
            viele = Concat({viele, Eintrag("20261207", "080000", "e" + std::to_string(i))});
        site.log("infoprot.tmp", viele);
        site.log("TRANSFER.LOG", {"20261101 t1"});
        ::setenv("INFEMORA_LOCK_WAIT_MS", "600", 1);
        {
            testenv::FileHolder other(site.logFile(".infemora.lock"), testenv::FileHolder::Mode::SharedLock);
            auto w = site.start({});
            QCOMPARE(w->memInfoWork->lineCount(), 18300);
            QCOMPARE(Namen(site.logDir()), std::vector<std::string>({"TRANSFER.LOG", "infoprot.tmp"}));
            QVERIFY(w->isEnabled());
            QVERIFY(Info().registered().empty());

            QString note;
            QTimer look;
            look.setInterval(0);
            connect(&look, &QTimer::timeout, [&] {
                if (note.isEmpty() && w->prgDialog->isVisible())
                    note = w->prgDialog->note();
            });
            look.start();
            w->ZusammenfhrenundKrzen1Click(nullptr);
            look.stop();
            QVERIFY2(note.contains(QStringLiteral("anderer Lauf")), qPrintable(note));
            QVERIFY(w->isEnabled());
            QVERIFY(!w->prgDialog->isVisible());
            QVERIFY(!w->FKuerzenVollstaendig);
            auto reg = Info().registered();
            QCOMPARE(reg.size(), size_t(1));
            QVERIFY2(QString::fromStdString(reg[0].message).contains(QStringLiteral("anderen Lauf")),
                     reg[0].message.c_str());
            QCOMPARE(Namen(site.logDir()), std::vector<std::string>({"TRANSFER.LOG", "infoprot.tmp"}));
        }
        ::unsetenv("INFEMORA_LOCK_WAIT_MS");
    }
};

QTEST_MAIN(KuerzenWindowTest)
#include "kuerzen_window_test.moc"
