#include "support/window_fixture.h"

#include "bench/gensite.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "merge/selektion_dialog.h"
#include "textview/log_text_view.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace infemora;
using testenv::Entry;

namespace {

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

class ParallelWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Info().clearRegistered(); }

    void nomoraStartsIdleWithTabsAndMenus() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("infoprot.tmp"), Entry("20261208", "100000", "a"));
        auto w = site.start({"/nomora"});
        QVERIFY(w->isEnabled());
        QCOMPARE(w->lbInfodateien->count(), 0);
        QCOMPARE(w->memInfoWork->lineCount(), 0);
        QCOMPARE(w->windowTitle(), QStringLiteral("Infoprotokolle zusammenführen"));
        QStringList tabs;
        for (int i = 0; i < w->pgcDateien->count(); ++i)
            tabs << w->pgcDateien->tabText(i);
        QCOMPARE(tabs, QStringList({"Infoprotokolle", "Transferprotokoll", "Menüprotokoll",
                                    "Ansicht einzelner Datei", "Buchungsprotokoll"}));
        QCOMPARE(w->menuBar()->actions().size(), 3);
        QCOMPARE(w->menuBar()->actions()[0]->text(), QStringLiteral("&Datei"));
        QCOMPARE(w->menuBar()->actions()[1]->text(), QStringLiteral("&Bearbeiten"));
        QCOMPARE(w->menuBar()->actions()[2]->text(), QStringLiteral("&Ansicht"));
        QCOMPARE(w->Speichern1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(w->Drucken1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
        QCOMPARE(w->Beenden1->shortcut(), QKeySequence(Qt::Key_Escape));
        QCOMPARE(w->Suchen1->shortcut(), QKeySequence(Qt::Key_F2));
        QCOMPARE(w->Weitersuchen1->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(w->Weitersuchenrckwrts1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));
        QVERIFY(!w->Autofilter1->isVisible() && !w->Autofilter1->isEnabled());
        QVERIFY(!w->N5->isVisible() && w->N5->isSeparator());
        for (QAction* a : {w->Selektion1, w->AlleDatenAnzeigen1, w->Speichern1, w->Drucken1})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QCOMPARE(QString::fromStdString(GetCurrentDir()), QString::fromStdString(site.logDir()));
    }

    void defaultStartMergesEveryLogWithTheCaretAtTheEnd() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("INFOPROT.001"),
                        concat({Entry("20261208", "100000", "a1"), Entry("20261208", "120000", "a2")}));
        site.writeLines(site.logFile("infoprot.tmp"), Entry("20261208", "110000", "b1"));
        site.writeFile(site.logFile("TRANSFER.LOG"), "x\r\n");
        auto w = site.start({});
        QVERIFY(w->isEnabled());
        QVERIFY(w->isVisible());
        QStringList listed = testenv::ListTexts(w->lbInfodateien);
        QCOMPARE(listed.size(), 2);
        QVERIFY(listed.contains(QString::fromStdString(site.logFile("infoprot.tmp")).toUpper()));
        auto lines = testenv::ViewLines(w->memInfoWork);
        QCOMPARE(lines.size(), size_t(9));
        QCOMPARE(QString::fromStdString(lines[2]), QStringLiteral("     a1"));
        QCOMPARE(QString::fromStdString(lines[5]), QStringLiteral("     b1"));
        QCOMPARE(QString::fromStdString(lines[8]), QStringLiteral("     a2"));
        QCOMPARE(w->memInfoWork->cursorPosition(), w->memInfoWork->document().textLength());
        for (QAction* a : {w->Selektion1, w->AlleDatenAnzeigen1, w->Speichern1, w->Drucken1})
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    }

    void headlessMergeGivesTheTextOfTheView() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("INFOPROT.001"), concat({Entry("20261207", "100000",
                                                                    "Gr\xFC\xDF"
                                                                    "e"),
                                                              Entry("20261208", "120000", "a2")}));
        site.writeFile(site.logFile("infoprot.tmp"),
                       "00002<< x\n00002## 20261208 110000 K P\n  \xF8 LF-Zeile\n");
        auto w = site.start({});
        std::string view;
        for (std::int64_t i = 0; i < w->memInfoWork->lineCount(); ++i)
            view += w->memInfoWork->line(i) + "\r\n";
        gensite::WriteSettingsFile(site.path("infemora.ini"), site.root());
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("INFEMORA_CONFIG", QString::fromStdString(site.path("infemora.ini")));
        cli.setProcessEnvironment(env);
        cli.start(QString::fromStdString(testenv::BinaryDir() + "/app/infemora-cli/infemora-cli"), {"merge"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(cli.readAllStandardOutput(), QByteArray::fromStdString(view));
    }

    void emptyLogDirectoryShowsThePlaceholder() {
        testenv::WindowSite site;
        auto w = site.start({});
        QCOMPARE(testenv::ListTexts(w->lbInfodateien), QStringList({"Keine Dateien gefunden"}));
        QCOMPARE(w->memInfoWork->lineCount(), 0);
        QVERIFY(!w->Speichern1->isEnabled());
    }

    void singleLineResultLeavesTheMenuEntriesDisabled() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("info.txt"), {"nur eine Zeile"});
        auto w = site.start({});
        QCOMPARE(w->memInfoWork->lineCount(), 1);
        QVERIFY(!w->Selektion1->isEnabled());
        QVERIFY(!w->Drucken1->isEnabled());
    }

    void unknownSingleArgumentStaysIdleAndSaysSo() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("infoprot.tmp"), Entry("20261208", "100000", "a"));
        auto w = site.start({"irgendwas"});
        QVERIFY(w->isEnabled());
        QCOMPARE(w->memInfoWork->lineCount(), 0);
        auto reg = Info().registered();
        QCOMPARE(reg.size(), size_t(1));
        QVERIFY(reg[0].message.find("irgendwas") != std::string::npos);
    }

    void transferAndMenuLogsLoadLazilyAndOnlyOnce() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("TRANSFER.LOG"), {"20261208 a", "20261208 b", "20261208 c"});
        site.writeLines(site.logFile("MENU.LOG"), {"08.12.2026\xF8Kasse"});
        auto w = site.start({"-NOMORA"});
        QCOMPARE(w->memTransfer->lineCount(), 0);
        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        QCOMPARE(w->memTransfer->lineCount(), 3);
        site.writeLines(site.logFile("TRANSFER.LOG"), {"1", "2", "3", "4"});
        w->pgcDateien->setCurrentWidget(w->tshInfoprotokolle);
        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        QCOMPARE(w->memTransfer->lineCount(), 3); // shown once: not read again

        w->pgcDateien->setCurrentWidget(w->tshMenu);
        QCOMPARE(w->memMenu->lineCount(), 1);
        site.writeLines(site.logFile("MENU.LOG"), {"a", "b"});
        w->pgcDateien->setCurrentWidget(w->tshInfoprotokolle);
        w->pgcDateien->setCurrentWidget(w->tshMenu);
        QCOMPARE(w->memMenu->lineCount(), 2); // one line only: read again
        QCOMPARE(QString::fromStdString(w->memMenu->line(0)), QStringLiteral("a"));
    }

    void singleFileViewShowsThePickedFile() {
        testenv::WindowSite site;
        std::string path = site.path("Einzeln.log");
        site.writeLines(path, {"Gr\xFC\xDF"
                               "e",
                               "zwei"});
        auto w = site.start({"-NOMORA"});
        w->pickSingleFile = [&] { return QString::fromStdString(path); };
        w->spbOpenFileClick();
        QCOMPARE(w->lblAnsichtDateiName->text(), QString::fromStdString(path).toUpper());
        QCOMPARE(w->memAnsicht->lineCount(), 2);
        QCOMPARE(LogTextView::decode(w->memAnsicht->line(0)), QStringLiteral("Grüße"));

        w->pickSingleFile = [] { return QString(); }; // cancelled: nothing changes
        w->spbOpenFileClick();
        QCOMPARE(w->memAnsicht->lineCount(), 2);
    }

    void singleFileBeingWrittenByAnotherProcessClearsTheView() {
        testenv::WindowSite site;
        std::string path = site.path("belegt.log");
        site.writeLines(path, {"x", "y"});
        auto w = site.start({"-NOMORA"});
        w->pickSingleFile = [&] { return QString::fromStdString(path); };
        {
            testenv::FileHolder reader(path); // only reading: shown all the same
            w->spbOpenFileClick();
            QCOMPARE(w->memAnsicht->lineCount(), 2);
        }
        pid_t child = fork();
        if (child == 0) {
            int fd = open(path.c_str(), O_WRONLY | O_APPEND);
            (void)fd;
            sleep(30);
            _exit(0);
        }
        QTest::qWait(300);
        w->spbOpenFileClick();
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        QCOMPARE(w->memAnsicht->lineCount(), 0);
        QVERIFY(w->lblAnsichtDateiName->text().isEmpty());
    }

    void pickerListsInReverseOrderAndAddsAfterAPickerSelection() {
        testenv::WindowSite site;
        for (const char* n : {"infa.txt", "infb.txt", "infc.txt"})
            site.writeLines(site.logFile(n), Entry("20261208", "100000", n));
        auto w = site.start({});
        QVERIFY(w->FAlleDateien);
        auto up = [&](const char* n) { return QString::fromStdString(site.logFile(n)).toUpper(); };
        w->pickInfoFiles = [&] {
            return QStringList({QString::fromStdString(site.logFile("infa.txt")),
                                QString::fromStdString(site.logFile("infb.txt")),
                                QString::fromStdString(site.logFile("infc.txt"))});
        };
        w->Dateienoeffnen1Click(nullptr); // after the all-files search: replaces the list
        QCOMPARE(testenv::ListTexts(w->lbInfodateien),
                 QStringList({up("infc.txt"), up("infb.txt"), up("infa.txt")}));
        QVERIFY(!w->FAlleDateien);
        w->pickInfoFiles = [&] { return QStringList({QString::fromStdString(site.logFile("infa.txt"))}); };
        w->Dateienoeffnen1Click(nullptr); // after a picker selection: adds, the same file twice
        QCOMPARE(testenv::ListTexts(w->lbInfodateien),
                 QStringList({up("infc.txt"), up("infb.txt"), up("infa.txt"), up("infa.txt")}));
        QCOMPARE(w->memInfoWork->lineCount(), 12);
    }

    void filterRestrictsTheViewAndUnfilterShowsAllAgain() {
        testenv::WindowSite site;
        site.writeLines(site.logFile("infoprot.tmp"), concat({Entry("20261206", "100000", "alt"),
                                                              Entry("20261208", "100000", "neu"),
                                                              {"00001<< ohne Stempel", "     frei"}}));
        SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(12, 0, 0, 0));
        auto w = site.start({});
        TfrmSelektion dialog;
        w->frmSelektion = &dialog;
        w->askSelektion = [&] {
            dialog.edtVonDatum->setText("07.12.26");
            dialog.OKClick();
            return dialog.result() == QDialog::Accepted;
        };
        w->Selektion1Click();
        QVERIFY(w->Selektion1->isChecked());
        QCOMPARE(w->FSelVon, EncodeDate(2026, 12, 7));
        QCOMPARE(w->FSelBis, EncodeDate(2026, 12, 8) + EncodeTime(23, 59, 59, 99));
        auto lines = testenv::ViewLines(w->memInfoWork);
        QCOMPARE(lines.size(), size_t(5)); // the recent entry and the one without a stamp
        QCOMPARE(QString::fromStdString(lines[2]), QStringLiteral("     neu"));
        w->AlleDatenAnzeigen1Click();
        QVERIFY(!w->Selektion1->isChecked());
        QCOMPARE(w->memInfoWork->lineCount(), 8);
        QCOMPARE(w->FSelVon, TDateTime());
        w->frmSelektion = nullptr;
    }

    void terminateMessageEndsTheEventLoopAlsoWhenIdle() {
        testenv::WindowSite site;
        auto w = site.start({"-NOMORA"});
        QVERIFY(!w->terminateRequested());
        QCoreApplication::postEvent(qApp, new QEvent(w->FTerminateAppMessage));
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); }); // a guard, not the expected path
        int rc = QCoreApplication::exec();
        QCOMPARE(rc, 0);
        QVERIFY(w->terminateRequested());
    }

    void escapeQuitsThroughTheMenu() {
        testenv::WindowSite site;
        auto w = site.start({"-NOMORA"});
        w->Beenden1->trigger();
        QVERIFY(w->terminateRequested());
    }
};

QTEST_MAIN(ParallelWindowTest)
#include "parallel_window_test.moc"
