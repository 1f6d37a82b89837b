// Search, save and print as a user drives them from the main window.
#include "support/window_fixture.h"

#include "host/messages.h"
#include "shell/status_bar.h"
#include "textview/log_text_view.h"
#include "textview/print_lines.h"
#include "textview/suchen_dialog.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

using namespace infemora;

namespace {

struct SearchSite {
    testenv::WindowSite site;
    std::unique_ptr<TfrmParallel> w;
    TfrmSuchen dialog;

    SearchSite() {
        site.writeLines(site.logFile("infoprot.tmp"), {"00001<< a", "00001## 20261208 100000 K P",
                                                       "  Fehler eins", "  kein FEHLER", "  ende"});
        site.writeLines(site.logFile("TRANSFER.LOG"), {"20261208 nichts", "20261208 fehler hier"});
        w = site.start({"-NOMORA"});
        w->AlleDateien1Click(w->AlleDateien1);
        w->frmSuchen = &dialog;
    }
    ~SearchSite() { w->frmSuchen = nullptr; }

    void search(const QString& text) {
        w->askSearchText = [this, text] {
            dialog.edtSuchen->setText(text);
            return true;
        };
        w->Suchen1->trigger();
    }
};

QString pdfText(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TextToolsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Info().clearRegistered(); }

    void searchForwardAndBackwardWithTheKeys() {
        SearchSite s;
        LogTextView* v = s.w->memInfoWork;
        v->moveCaretToStart();
        s.search("  fehler ");
        QCOMPARE(QString::fromStdString(s.w->FSelSuche), QStringLiteral("FEHLER"));
        std::int64_t first = v->document().lineStart(2) + 2;
        QCOMPARE(v->selectionStart(), first);
        QCOMPARE(v->selectionLength(), std::int64_t(6));
        s.w->Weitersuchen1->trigger();
        std::int64_t second = v->document().lineStart(3) + 7;
        QCOMPARE(v->selectionStart(), second);
        s.w->Weitersuchen1->trigger(); // no further hit: the selection stays
        QCOMPARE(v->selectionStart(), second);
        s.w->Weitersuchenrckwrts1->trigger();
        QCOMPARE(v->selectionStart(), first);
        s.w->Weitersuchenrckwrts1->trigger();
        QCOMPARE(v->selectionStart(), first);
    }

    void theKeysReachTheSearchFromTheWindow() {
        SearchSite s;
        s.w->show();
        QApplication::setActiveWindow(s.w.get());
        QVERIFY(QTest::qWaitForWindowActive(s.w.get()));
        LogTextView* v = s.w->memInfoWork;
        v->moveCaretToEnd();
        s.w->FSelSuche = "FEHLER";
        QTest::keyClick(s.w.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(v->selectionStart(), v->document().lineStart(3) + 7);
        QTest::keyClick(s.w.get(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(v->selectionStart(), v->document().lineStart(2) + 2);
        QTest::keyClick(s.w.get(), Qt::Key_F3);
        QCOMPARE(v->selectionStart(), v->document().lineStart(3) + 7);
    }

    void aHitStandsInTheMiddleAndAMissIsNamedInTheStatusLine() {
        testenv::WindowSite site;
        Lines lines;
        for (int i = 0; i < 3000; ++i)
            lines.push_back("Zeile " + std::to_string(i));
        site.writeLines(site.path("lang.txt"), lines);
        auto w = site.start({"-NOMORA"});
        w->resize(800, 600);
        w->show();
        w->pgcDateien->setCurrentWidget(w->tshAnsicht);
        w->pickSingleFile = [&] { return QString::fromStdString(site.path("lang.txt")); };
        w->spbOpenFileClick();
        LogTextView* v = w->memAnsicht;
        v->moveCaretToStart();
        w->FSelSuche = "ZEILE 2000";
        w->Weitersuchen1->trigger();
        QCOMPARE(v->document().lineColumn(v->selectionStart()).line, 2000);
        const std::int64_t mitte = v->firstVisibleLine() + v->visibleRowCount() / 2;
        QVERIFY2(std::abs(mitte - 2000) <= 1, qPrintable(QString::number(v->firstVisibleLine())));

        w->FSelSuche = "GIBT ES NICHT";
        w->Weitersuchen1->trigger();
        QCOMPARE(w->stbStatus->currentMessage(), QStringLiteral("„GIBT ES NICHT“ nicht gefunden"));
        QCOMPARE(v->document().lineColumn(v->selectionStart()).line, 2000); // the hit stays
    }

    void searchTextIsKeptAcrossTabsAndBlanksOnlyDoNothing() {
        SearchSite s;
        s.search("fehler");
        s.w->pgcDateien->setCurrentWidget(s.w->tshTransfer);
        s.w->memTransfer->moveCaretToStart();
        s.w->Weitersuchen1->trigger();
        QCOMPARE(s.w->memTransfer->selectionStart(), s.w->memTransfer->document().lineStart(1) + 9);
        s.search("   ");
        QVERIFY(s.w->FSelSuche.empty());
        std::int64_t before = s.w->memTransfer->selectionStart();
        s.w->Weitersuchen1->trigger();
        s.w->Weitersuchenrckwrts1->trigger();
        QCOMPARE(s.w->memTransfer->selectionStart(), before);
    }

    void bookingTabHasNoViewToSearchSaveOrPrint() {
        SearchSite s;
        s.w->pgcDateien->setCurrentWidget(s.w->tshPkpfFile);
        QVERIFY(s.w->ActiveView() == nullptr);
        s.search("fehler"); // the text is still stored
        QCOMPARE(QString::fromStdString(s.w->FSelSuche), QStringLiteral("FEHLER"));
        bool asked = false;
        s.w->pickSaveFile = [&] {
            asked = true;
            return QString();
        };
        s.w->Speichern1->trigger();
        s.w->choosePrinter = [&](QPrinter&, bool&) { return asked = true; };
        s.w->Drucken1->trigger();
        QVERIFY(!asked);
    }

    void saveAddsTxtOnlyWithoutExtensionAndWritesTheFilteredView() {
        SearchSite s;
        std::string target = s.site.path("report");
        s.w->pickSaveFile = [&] { return QString::fromStdString(target); };
        s.w->Speichern1->trigger();
        QCOMPARE(
            QString::fromStdString(s.site.readFile(target + ".txt")),
            QStringLiteral(
                "00001<< a\r\n00001## 20261208 100000 K P\r\n  Fehler eins\r\n  kein FEHLER\r\n  ende\r\n"));
        target = s.site.path("report.log");
        s.w->Speichern1->trigger();
        QVERIFY(!s.site.readFile(target).empty());
        target = s.site.path("name.");
        s.w->Speichern1->trigger();
        QVERIFY(!s.site.readFile(target).empty());
        QVERIFY(Info().registered().empty());
        target = s.site.path("fehlt/datei.txt"); // a folder that does not exist: registered, nothing written
        s.w->Speichern1->trigger();
        QCOMPARE(Info().registered().size(), size_t(1));
        QCOMPARE(QString::fromStdString(Info().registered()[0].context),
                 QStringLiteral("TfrmParallel.Speichern1Click"));
    }

    void printAsksOnlyAboveEightyLinesAndPrintsTheSelection() {
        testenv::WindowSite site;
        Lines lines;
        for (int i = 1; i <= 81; ++i)
            lines.push_back("Zeile " + std::to_string(i) +
                            " Gr\xFC\xDF"
                            "e");
        site.writeLines(site.path("lang.txt"), lines);
        lines.pop_back();
        site.writeLines(site.path("achtzig.txt"), lines);
        site.writeLines(site.logFile("infoprot.tmp"), {"00001<< a", "00001## 20261208 100000 K P"});
        auto w = site.start({"-NOMORA"});
        w->AlleDateien1Click(w->AlleDateien1); // printing is offered once a merge showed something
        w->pgcDateien->setCurrentWidget(w->tshAnsicht);
        QString pdf = QString::fromStdString(site.path("druck.pdf"));
        bool selection = false;
        w->choosePrinter = [&](QPrinter& printer, bool& selectionOnly) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            selectionOnly = selection;
            return true;
        };
        int questions = 0;
        bool answer = false;
        w->askPrintManyLines = [&] {
            ++questions;
            return answer;
        };

        w->pickSingleFile = [&] { return QString::fromStdString(site.path("achtzig.txt")); };
        w->spbOpenFileClick();
        w->Drucken1->trigger();
        QCOMPARE(questions, 0);
        QString text = pdfText(pdf);
        QVERIFY(text.contains("Zeile 1 Grüße"));
        QVERIFY(text.contains("Zeile 80 Grüße"));

        QFile::remove(pdf);
        w->pickSingleFile = [&] { return QString::fromStdString(site.path("lang.txt")); };
        w->spbOpenFileClick();
        w->Drucken1->trigger(); // 81 lines: asked, answered No
        QCOMPARE(questions, 1);
        QVERIFY(!QFile::exists(pdf));
        answer = true;
        w->Drucken1->trigger();
        QCOMPARE(questions, 2);
        QVERIFY(pdfText(pdf).contains("Zeile 81 Grüße"));

        // Three selected lines print without a question, and only they.
        selection = true;
        const LogDocument& d = w->memAnsicht->document();
        w->memAnsicht->setSelection(d.lineStart(9), d.lineStart(12) - 1 - d.lineStart(9));
        w->Drucken1->trigger();
        QCOMPARE(questions, 2);
        text = pdfText(pdf);
        QVERIFY(text.contains("Zeile 10 Grüße") && text.contains("Zeile 12 Grüße"));
        QVERIFY(!text.contains("Zeile 9 ") && !text.contains("Zeile 13 "));
    }

    void printHonoursThePageRangeAndCountsItsLines() {
        testenv::WindowSite site;
        Lines lines;
        for (int i = 1; i <= 1000; ++i)
            lines.push_back("Zeile " + std::to_string(i) + " ende");
        site.writeLines(site.path("lang.txt"), lines);
        auto w = site.start({"-NOMORA"});
        w->pgcDateien->setCurrentWidget(w->tshAnsicht);
        w->pickSingleFile = [&] { return QString::fromStdString(site.path("lang.txt")); };
        w->spbOpenFileClick();
        const QString pdf = QString::fromStdString(site.path("seiten.pdf"));
        std::int64_t jeSeite = 0;
        w->choosePrinter = [&](QPrinter& printer, bool&) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(2, 3);
            jeSeite = ZeilenJeSeite(printer);
            return true;
        };
        int fragen = 0;
        w->askPrintManyLines = [&] {
            ++fragen;
            return true;
        };
        w->Drucken1Click(); // the menu entry is enabled only after a merge
        QVERIFY2(jeSeite > 40 && jeSeite < 1000, qPrintable(QString::number(jeSeite)));
        QCOMPARE(fragen, 2 * jeSeite > 80 ? 1 : 0); // the two pages' lines count, not the file's
        const QString text = pdfText(pdf);
        QVERIFY(text.contains(QStringLiteral("Zeile %1 ende").arg(jeSeite + 1)));
        QVERIFY(text.contains(QStringLiteral("Zeile %1 ende").arg(3 * jeSeite)));
        QVERIFY(!text.contains(QStringLiteral("Zeile %1 ende").arg(jeSeite)));
        QVERIFY(!text.contains(QStringLiteral("Zeile %1 ende").arg(3 * jeSeite + 1)));
        QProcess info;
        info.start("pdfinfo", {pdf});
        info.waitForFinished(30000);
        QVERIFY(
            QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+2\\n")));
    }
};

QTEST_MAIN(TextToolsWindowTest)
#include "text_tools_window_test.moc"
