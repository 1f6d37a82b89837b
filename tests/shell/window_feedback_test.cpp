// The main window as a user at the desktop meets it: the keyboard in the view after each busy
// state, the filter mark, the file list after a consolidation, the status line, log tabs that
// say why they are empty, and merge and shorten that asks and reports.
#include "support/window_fixture.h"

#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/selektion_dialog.h"
#include "shell/status_bar.h"
#include "shell/view_hint.h"
#include "textview/log_text_view.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace infemora;
using testenv::Entry;

namespace {

Lines viele(int eintraege, const std::string& tag) {
    Lines all;
    for (int i = 0; i < eintraege; ++i) {
        char zeit[16];
        std::snprintf(zeit, sizeof zeit, "%02d%02d%02d", (i / 3600) % 24, (i / 60) % 60, i % 60);
        Lines e = Entry(tag, zeit, "Eintrag " + std::to_string(i));
        all.insert(all.end(), e.begin(), e.end());
    }
    return all;
}

QMessageBox* box(QWidget* w, const char* name) {
    return w->findChild<QMessageBox*>(name);
}

QString statusText(const TfrmParallel& w) {
    return w.stbStatus->lblDateienZeilen->text() + " | " + w.stbStatus->lblFilter->text() + " | " +
           w.stbStatus->lblCursor->text();
}

} // namespace

class WindowFeedbackTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Info().clearRegistered();
        SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(12, 0, 0, 0));
    }
    void cleanup() { SetClockForTesting(TDateTime()); }

    void theViewHasTheKeyboardAfterEveryBusyState() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("infoprot.tmp"), Entry("20261208", "100000", "a"));
        auto w = site.start({});
        QCOMPARE(w->focusWidget(), static_cast<QWidget*>(w->memInfoWork)); // after start-up

        w->lbInfodateien->setFocus();
        w->AlleDatenAnzeigen1->trigger(); // "Filter Infoprotokolle aufheben"
        QCOMPARE(w->focusWidget(), static_cast<QWidget*>(w->memInfoWork));

        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        w->pgcDateien->setFocus();
        w->SetStatus(true);
        w->SetStatus(false);
        QCOMPARE(w->focusWidget(), static_cast<QWidget*>(w->memTransfer)); // the active tab's view

        w->pgcDateien->setCurrentWidget(w->tshPkpfFile);
        w->SetStatus(true);
        w->SetStatus(false);
        QCOMPARE(w->focusWidget()->objectName(), QStringLiteral("trvPKPFKopf"));
    }

    void aCancelledFilterDialogLeavesTheMarkAsItWas() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("infoprot.tmp"), Entry("20261208", "100000", "a"));
        auto w = site.start({});
        bool confirm = false;
        TfrmSelektion dialog;
        w->frmSelektion = &dialog;
        w->askSelektion = [&] { return confirm; };
        w->Selektion1->trigger(); // the menu toggles a checkable entry by itself
        QVERIFY(!w->Selektion1->isChecked());
        confirm = true;
        w->Selektion1->trigger();
        QVERIFY(w->Selektion1->isChecked());
        confirm = false;
        w->Selektion1->trigger();
        QVERIFY(w->Selektion1->isChecked()); // still filtered
        w->frmSelektion = nullptr;
    }

    void theFirstFilterAfterAConsolidationReadsWhatIsLeft() {
        testenv::WindowSite site;
        // Large enough for archive parts: the sources are deleted, INFEMORA.000 keeps the rest.
        site.writeLines(site.logFile("INFOPROT.001"), viele(4000, "20261207"));
        site.writeLines(site.logFile("infoprot.tmp"), viele(3000, "20261208"));
        auto w = site.start({});
        QVERIFY(!FileExists(site.logFile("INFOPROT.001")));
        QCOMPARE(testenv::ListTexts(w->lbInfodateien),
                 QStringList({QString::fromStdString(site.logFile("INFEMORA.000")).toUpper()}));

        TfrmSelektion dialog;
        w->frmSelektion = &dialog;
        w->askSelektion = [&] {
            dialog.edtVonDatum->setText("08.12.26");
            dialog.OKClick();
            return dialog.result() == QDialog::Accepted;
        };
        w->Selektion1->trigger();
        QVERIFY2(Info().registered().empty(),
                 Info().registered().empty() ? "" : Info().registered()[0].message.c_str());
        QVERIFY(w->memInfoWork->lineCount() > 0);
        QVERIFY(LogTextView::decode(w->memInfoWork->line(1)).contains(QStringLiteral("20261208")));
        w->frmSelektion = nullptr;
    }

    void theStatusLineTellsWhatIsShown() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("INFOPROT.001"), Entry("20261208", "100000", "a"));
        site.writeLines(site.logFile("infoprot.tmp"), Entry("20261208", "110000", "b"));
        auto w = site.start({});
        QCOMPARE(
            statusText(*w),
            QStringLiteral(
                "2 Dateien, 6 Zeilen | alle Einträge | Zeile 6 von 6 · Eintrag vom 08.12.2026 11:00:00"));
        w->memInfoWork->setSelection(w->memInfoWork->document().lineStart(1), 0);
        QCOMPARE(w->stbStatus->lblCursor->text(),
                 QStringLiteral("Zeile 2 von 6 · Eintrag vom 08.12.2026 10:00:00"));

        // A period without an entry: the status line and the empty view say so.
        TfrmSelektion dialog;
        w->frmSelektion = &dialog;
        w->askSelektion = [&] {
            dialog.edtVonDatum->setText("01.12.26");
            dialog.edtBisDatum->setText("02.12.26");
            dialog.OKClick();
            return dialog.result() == QDialog::Accepted;
        };
        w->Selektion1->trigger();
        QCOMPARE(w->memInfoWork->lineCount(), 0);
        const QString leer =
            QStringLiteral("Kein Eintrag liegt im Zeitraum 01.12.2026 00:00:00 – 02.12.2026 23:59:59.");
        QCOMPARE(w->stbStatus->currentMessage(), leer);
        QCOMPARE(ViewHint(w->memInfoWork), leer);
        QCOMPARE(w->stbStatus->lblFilter->text(),
                 QStringLiteral("Zeitraum 01.12.2026 00:00:00 – 02.12.2026 23:59:59"));
        w->AlleDatenAnzeigen1->trigger();
        QCOMPARE(ViewHint(w->memInfoWork), QString());
        QCOMPARE(w->stbStatus->lblFilter->text(), QStringLiteral("alle Einträge"));
        w->frmSelektion = nullptr;
    }

    void aLogTabThatCannotBeShownSaysWhy() {
        testenv::WindowSite site;
        auto w = site.start({"-NOMORA"});
        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        QVERIFY(
            ViewHint(w->memTransfer).contains(QStringLiteral("TRANSFER.LOG ist im Protokollverzeichnis")));
        QCOMPARE(w->stbStatus->lblDateienZeilen->text(), QStringLiteral("keine Datei"));

        // Being written by another program: not shown, and the view says why.
        site.writeLines(site.logFile("MENU.LOG"), {"08.12.2026\xF8m1", "08.12.2026\xF8m2"});
        {
            testenv::FileHolder reader(site.logFile("MENU.LOG")); // reading only does not count
            w->pgcDateien->setCurrentWidget(w->tshMenu);
            QCOMPARE(w->memMenu->lineCount(), 2);
        }
        w->memMenu->clear();
        w->pgcDateien->setCurrentWidget(w->tshInfoprotokolle);
        const int writer = ::fork();
        if (writer == 0) {
            ::open(site.logFile("MENU.LOG").c_str(), O_WRONLY | O_APPEND);
            ::pause();
            ::_exit(0);
        }
        QTest::qWait(300);
        w->pgcDateien->setCurrentWidget(w->tshMenu);
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        QCOMPARE(w->memMenu->lineCount(), 0);
        QVERIFY(ViewHint(w->memMenu).contains(QStringLiteral("von einem anderen Programm geschrieben")));
    }

    void theTransferLogIsFoundWhateverItsLetterCase() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("transfer.log"), {"20261208 a", "20261208 b"});
        auto w = site.start({"-NOMORA"});
        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        QCOMPARE(w->memTransfer->lineCount(), 2);
        QCOMPARE(w->stbStatus->lblDateienZeilen->text(), QStringLiteral("1 Datei, 2 Zeilen"));
    }

    void mergeAndShortenFromTheMenuAsksFirstAndReportsAfter() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("INFOPROT.001"), {"00001<< a", "00001## 20261101 100000 K P", "  alt",
                                                       "00001<< b", "00001## 20261207 100000 K P", "  neu"});
        auto w = site.start({});
        QString frage;
        w->askKuerzen = [&](const QString& text) {
            frage = text;
            return false;
        };
        w->ZusammenfhrenundKrzen1->trigger();
        QVERIFY(frage.contains(QString::fromStdString(site.logDir())));
        QVERIFY(frage.contains(QStringLiteral("die letzten 10 Tage")));
        QVERIFY(FileExists(site.logFile("INFOPROT.001"))); // "Nein": nothing happened
        QVERIFY(!box(w.get(), "msgKuerzenBericht"));

        w->askKuerzen = [](const QString&) { return true; };
        w->ZusammenfhrenundKrzen1->trigger();
        QVERIFY(FileExists(site.logFile("ALT-INFO.000")));
        QMessageBox* bericht = box(w.get(), "msgKuerzenBericht");
        QVERIFY(bericht && bericht->isVisible());
        QVERIFY(bericht->text().contains(QStringLiteral("Archivdateien geschrieben: ALT-INFO.000")));
        QVERIFY(bericht->text().contains(QStringLiteral("Ersetzt: INFEMORA.000 (aus 1 Infoprotokoll)")));
        bericht->close();
    }

    void theUnattendedShortenAsksNothingAndReportsNothing() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("INFOPROT.001"), Entry("20261101", "100000", "alt"));
        auto w = site.start({"-NOMORA"});
        bool asked = false;
        w->askKuerzen = [&](const QString&) { return asked = true; };
        w->ZusammenfhrenundKrzen1Click(nullptr); // as "-A=" runs it
        QVERIFY(!asked);
        QVERIFY(FileExists(site.logFile("ALT-INFO.000")));
        QVERIFY(!box(w.get(), "msgKuerzenBericht"));
    }

    void aSaveIntoTheLogDirectoryUnderALogNameIsRefused() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("infoprot.tmp"), Entry("20261208", "100000", "a"));
        auto w = site.start({});
        w->pickSaveFile = [&] { return QString::fromStdString(site.logFile("Infoprotokolle_Auszug")); };
        w->Speichern1->trigger();
        QVERIFY(!FileExists(site.logFile("Infoprotokolle_Auszug.txt")));
        QMessageBox* abgelehnt = box(w.get(), "msgSpeichernAbgelehnt");
        QVERIFY(abgelehnt && abgelehnt->isVisible());
        QVERIFY(abgelehnt->text().contains(QStringLiteral("Infoprotokolle_Auszug.txt")));
        abgelehnt->close();

        w->pickSaveFile = [&] { return QString::fromStdString(site.path("Infoprotokolle_Auszug")); };
        w->Speichern1->trigger();
        QVERIFY(FileExists(site.path("Infoprotokolle_Auszug.txt")));
    }
};

QTEST_MAIN(WindowFeedbackTest)
#include "window_feedback_test.moc"
