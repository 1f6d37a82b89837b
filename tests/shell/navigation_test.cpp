// The menu "Ansicht" of the main window, offscreen: keys, going to a time, the entry filter, the
// timeline, following growing logs, and what the window remembers.
#include "support/window_fixture.h"

#include "../textview/appending_process.h"
#include "bench/gensite.h"
#include "host/messages.h"
#include "host/user_state.h"
#include "merge/selektion_dialog.h"
#include "shell/parallel_navigation.h"
#include "textview/eintragsfilter_dialog.h"
#include "textview/log_text_view.h"
#include "textview/suchen_dialog.h"
#include "textview/timeline_strip.h"
#include "textview/view_follower.h"
#include "textview/zeitpunkt_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <cstdio>
#include <filesystem>

using namespace infemora;

namespace {

Lines entry(const std::string& hhmmss, const std::string& kind, const std::string& text) {
    return {"00001<<=====", "00001## 20261208 " + hhmmss + " KASSE1 PRG " + kind, "     " + text};
}

std::string bytesOf(const Lines& lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A site of two logs: errors at 10:15 and 11:30, plain entries at 10:00 and 12:00.
void writeSite(testenv::WindowSite& site) {
    site.writeLines(
        site.logFile("INFOPROT.001"),
        concat({entry("100000", "Info", "eins"), entry("113000", "NONE-Meldung: KASSE.20", "Karte")}));
    site.writeLines(site.logFile("infoprot.tmp"),
                    concat({entry("101500", "Fehler-Meldung: DB.17", "Datei kaputt"),
                            entry("120000", "Info", "Lieferschein")}));
}

std::int64_t caretLine(const LogTextView* view) {
    return view->document().lineColumn(view->cursorPosition()).line;
}

QString status(TfrmParallel* w) {
    return w->Navigation->lblAnsichtStatus->text();
}

} // namespace

class NavigationTest : public QObject {
    Q_OBJECT
private slots:
    // Every test starts from the toggles' defaults, whatever an earlier run left in the state.
    void init() {
        Info().clearRegistered();
        UserState& state = UserState::Instance();
        for (const char* view : {"memInfoWork", "memTransfer", "memMenu", "memAnsicht"})
            state.SetValue("Ansicht", std::string("Folgen.") + view, "0");
        state.SetValue("Ansicht", "FehlerHervorheben", "1");
        state.Save();
    }

    void menuAnsichtWithItsKeys() {
        testenv::WindowSite site;
        writeSite(site);
        auto w = site.start({});
        ParallelNavigation* n = w->Navigation;
        QCOMPARE(n->GeheZuZeitpunkt1->text(), QStringLiteral("Gehe zu Zeitpunkt ..."));
        QCOMPARE(n->GeheZuZeitpunkt1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
        QCOMPARE(n->NaechsterFehler1->shortcut(), QKeySequence(Qt::Key_F8));
        QCOMPARE(n->VorherigerFehler1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F8));
        QCOMPARE(n->EintraegeFiltern1->text(), QStringLiteral("Einträge filtern ..."));
        QCOMPARE(n->EintraegeFiltern1->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
        QVERIFY(n->FehlerHervorheben1->isCheckable() && n->FehlerHervorheben1->isChecked());
        QVERIFY(n->EndeFolgen1->isCheckable() && !n->EndeFolgen1->isChecked());

        // The caret stands at the end: F8 has nowhere to go, Shift+F8 goes back.
        n->NaechsterFehler1->trigger();
        QCOMPARE(status(w.get()), QString());
        n->VorherigerFehler1->trigger();
        QCOMPARE(status(w.get()), QStringLiteral("Fehler 2 von 2"));
        QCOMPARE(QString::fromStdString(w->memInfoWork->line(caretLine(w->memInfoWork) + 2)),
                 QStringLiteral("     Karte"));
        n->VorherigerFehler1->trigger();
        QCOMPARE(status(w.get()), QStringLiteral("Fehler 1 von 2"));
        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        // another tab, another view
        QCOMPARE(status(w.get()), QString());
    }

    void goToATimeAskedForInItsDialog() {
        TfrmZeitpunkt dialog;
        dialog.edtDatum->setText("08.12.26");
        dialog.edtZeit->setText("11:00");
        dialog.OKClick();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Zeitpunkt, EncodeDate(2026, 12, 8) + EncodeTime(11, 0, 0, 0));
        TfrmZeitpunkt bad;
        bad.edtDatum->setText("08.12.26");
        bad.edtZeit->setText("25:00");
        bad.OKClick();
        QCOMPARE(bad.result(), int(QDialog::Rejected));
        // the unreadable field is emptied
        QCOMPARE(bad.edtZeit->text(), QString());
        bad.edtDatum->setText("kein Datum");
        bad.OKClick();
        QCOMPARE(bad.edtDatum->text(), QString());

        testenv::WindowSite site;
        writeSite(site);
        auto w = site.start({});
        w->Navigation->askZeitpunkt = [&](TDateTime& t) {
            t = dialog.Zeitpunkt;
            return true;
        };
        w->Navigation->GeheZuZeitpunkt1->trigger();
        QCOMPARE(QString::fromStdString(w->memInfoWork->line(caretLine(w->memInfoWork) + 2)),
                 QStringLiteral("     Karte"));
    }

    void entryFilterAskedForAndClearedInTheWindow() {
        TfrmEintragsFilter dialog;
        QVERIFY(!dialog.chkErweitern->isEnabled());
        dialog.edtText->setText("   ");
        dialog.OKClick();
        // no text, no filter
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        dialog.edtText->setText("Gr\u00F6\u00DFe");
        dialog.rbnOhne->setChecked(true);
        dialog.setFilterInForce(true);
        dialog.chkErweitern->setChecked(true);
        dialog.OKClick();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Bedingung(), (EintragsBedingung{"Gr\xF6\xDF"
                                                        "e",
                                                        false}));
        QVERIFY(dialog.Erweitern());

        testenv::WindowSite site;
        writeSite(site);
        auto w = site.start({});
        ParallelNavigation* n = w->Navigation;
        std::vector<std::pair<EintragsBedingung, bool>> answers = {{{"meldung", true}, false},
                                                                   {{"karte", false}, true}};
        n->askEintragsFilter = [&](EintragsBedingung& b, bool& erweitern) {
            std::tie(b, erweitern) = answers.front();
            answers.erase(answers.begin());
            return true;
        };
        n->EintraegeFiltern1->trigger();
        QCOMPARE(status(w.get()), QStringLiteral("Eintragsfilter: 2 von 4 Einträgen"));
        QCOMPARE(w->memInfoWork->lineCount(), 6);
        n->EintraegeFiltern1->trigger(); // narrows the filter in force
        QCOMPARE(status(w.get()), QStringLiteral("Eintragsfilter: 1 von 4 Einträgen"));
        QCOMPARE(testenv::ViewLines(w->memInfoWork),
                 entry("101500", "Fehler-Meldung: DB.17", "Datei kaputt"));
        n->EintragsfilterAufheben1->trigger();
        QCOMPARE(w->memInfoWork->lineCount(), 12);
        QVERIFY(!w->memInfoWork->isEntryFiltered());
    }

    // The same bytes as the command line prints for the same texts.
    void theFilteredViewIsSavedAsMergeGrepPrintsIt() {
        testenv::WindowSite site;
        writeSite(site);
        auto w = site.start({});
        w->Navigation->askEintragsFilter = [](EintragsBedingung& b, bool& erweitern) {
            b = {"KASSE.20", false};
            erweitern = false;
            return true;
        };
        w->Navigation->EintraegeFiltern1->trigger();
        const std::string saved = site.path("gefiltert.txt");
        w->pickSaveFile = [&] { return QString::fromStdString(saved); };
        w->Speichern1Click();
        gensite::WriteSettingsFile(site.path("infemora.ini"), site.root());
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("INFEMORA_CONFIG", QString::fromStdString(site.path("infemora.ini")));
        cli.setProcessEnvironment(env);
        cli.start(QString::fromStdString(testenv::BinaryDir() + "/app/infemora-cli/infemora-cli"),
                  {"merge", "--grep-not", "KASSE.20"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const QByteArray printed = cli.readAllStandardOutput();
        QCOMPARE(printed, QByteArray::fromStdString(site.readFile(saved)));
        QCOMPARE(printed.count("<<"), 3);
    }

    void timelineOfTheMergeWithTheDateFilterAsSpan() {
        testenv::WindowSite site;
        writeSite(site);
        SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(18, 0, 0, 0));
        auto w = site.start({});
        TimelineStrip* strip = w->Navigation->tlsZeitachse;
        QVERIFY(strip->isVisible());
        QCOMPARE(strip->timeline().balken.size(), std::size_t(3)); // 10, 11 and 12 o'clock
        QCOMPARE(strip->timeline().balken[0].fehler, 1);
        QVERIFY(!strip->hasSpan());
        const auto [first, end] = strip->barsAt(strip->width() / 2);
        QCOMPARE(strip->describe(first, end),
                 QStringLiteral("08.12.2026 11:00:00: 1 Einträge, 0 Fehler-Meldung, 1 NONE-Meldung"));
        QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() / 2, 10));
        QCOMPARE(QString::fromStdString(w->memInfoWork->line(caretLine(w->memInfoWork) + 2)),
                 QStringLiteral("     Karte"));

        TfrmSelektion dialog;
        w->frmSelektion = &dialog;
        w->askSelektion = [&] {
            dialog.edtVonDatum->setText("08.12.26");
            dialog.edtVonZeit->setText("11:00:00");
            dialog.OKClick();
            return dialog.result() == QDialog::Accepted;
        };
        w->Selektion1Click();
        QCOMPARE(w->memInfoWork->lineCount(), 6);
        QVERIFY(strip->hasSpan());
        // the whole site stays in sight
        QCOMPARE(strip->timeline().balken.size(), std::size_t(3));
        // A bar before the span goes to the first entry shown after it.
        QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(2, 10));
        QCOMPARE(caretLine(w->memInfoWork), 0);
        w->AlleDatenAnzeigen1Click();
        QVERIFY(!strip->hasSpan());
        w->frmSelektion = nullptr;
    }

    void followingTheMergedViewTakesWholeLinesAndNotesOldEntries() {
        testenv::WindowSite site;
        writeSite(site);
        auto w = site.start({});
        ParallelNavigation* n = w->Navigation;
        n->EndeFolgen1->trigger();
        QVERIFY(n->follower(w->memInfoWork)->isFollowing());
        const std::string neu = bytesOf(entry("130000", "Fehler-Meldung: NEU", "neu"));
        testenv::AppendingProcess writer(
            site.logFile("infoprot.tmp"),
            {neu.substr(0, 30), neu.substr(30), bytesOf(entry("110000", "Info", "alt"))});
        const std::int64_t before = w->memInfoWork->lineCount();
        writer.appendNext();
        QTRY_COMPARE_WITH_TIMEOUT(w->memInfoWork->lineCount(), before + 1, 1500);
        QTest::qWait(700);
        QCOMPARE(w->memInfoWork->lineCount(), before + 1); // the stamp line is not whole yet
        writer.appendNext();
        QTRY_COMPARE_WITH_TIMEOUT(
            QString::fromStdString(w->memInfoWork->line(w->memInfoWork->lineCount() - 1)),
            QStringLiteral("     neu"), 1500);
        QVERIFY(w->memInfoWork->showsLastLine());
        QCOMPARE(w->memInfoWork->shownErrors().size(), std::size_t(3));
        writer.appendNext();
        QTRY_VERIFY_WITH_TIMEOUT(status(w.get()).contains(QStringLiteral("älter")), 1500);
        QCOMPARE(QString::fromStdString(w->memInfoWork->line(w->memInfoWork->lineCount() - 1)),
                 QStringLiteral("     alt"));
        n->EndeFolgen1->trigger();
        QVERIFY(!n->follower(w->memInfoWork)->isFollowing());
    }

    // A filter that shows nothing yet: the entries appended that pass it are shown.
    void followingAFilteredMergedView() {
        testenv::WindowSite site;
        writeSite(site);
        auto w = site.start({});
        w->memInfoWork->setEntryFilter({{{"gesucht", true}}});
        QCOMPARE(w->memInfoWork->lineCount(), 0);
        w->Navigation->EndeFolgen1->trigger();
        testenv::AppendingProcess writer(
            site.logFile("INFOPROT.001"),
            {bytesOf(concat({entry("130000", "Info", "anderes"), entry("130100", "Info", "gesucht")}))});
        writer.appendNext();
        QTRY_COMPARE_WITH_TIMEOUT(testenv::ViewLines(w->memInfoWork), entry("130100", "Info", "gesucht"),
                                  1500);
    }

    void followingASingleFileReloadsItWhenReplaced() {
        testenv::WindowSite site;
        const std::string path = site.path("einzeln.log");
        site.writeFile(path, "erste\r\n");
        auto w = site.start({"-NOMORA"});
        w->pickSingleFile = [&] { return QString::fromStdString(path); };
        w->spbOpenFileClick();
        w->pgcDateien->setCurrentWidget(w->tshAnsicht);
        ParallelNavigation* n = w->Navigation;
        n->EndeFolgen1->trigger();
        testenv::AppendingProcess writer(path, {"zwei", "te\r\n"});
        writer.appendNext();
        QTRY_COMPARE_WITH_TIMEOUT(w->memAnsicht->lineCount(), 2, 1500);
        QCOMPARE(w->memAnsicht->line(1), std::string("zwei")); // shown as far as it goes
        writer.appendNext();
        QTRY_COMPARE_WITH_TIMEOUT(w->memAnsicht->line(1), std::string("zweite"), 1500);
        QCOMPARE(w->memAnsicht->lineCount(), 2);

        site.writeFile(site.path("neu.log"), "frisch\r\n");
        QCOMPARE(std::rename(site.path("neu.log").c_str(), path.c_str()), 0);
        QTRY_COMPARE_WITH_TIMEOUT(testenv::ViewLines(w->memAnsicht), Lines{"frisch"}, 1500);
        QVERIFY(status(w.get()).contains(QStringLiteral("neu geladen")));
        QVERIFY(n->follower(w->memAnsicht)->isFollowing());
        // each view follows on its own
        QVERIFY(!n->follower(w->memInfoWork)->isFollowing());
    }

    // Shortening archives the whole logs, also those shown through a filter.
    void shorteningTakesTheWholeLogsAlsoWhenTheyAreFiltered() {
        testenv::WindowSite site;
        writeSite(site);
        site.writeLines(site.logFile("TRANSFER.LOG"),
                        {"20261101 alt Fehler", "20261205 neu", "20261208 neu Fehler"});
        SetClockForTesting(EncodeDate(2026, 12, 8) + EncodeTime(18, 0, 0, 0));
        auto w = site.start({});
        w->pgcDateien->setCurrentWidget(w->tshTransfer);
        w->memTransfer->setEntryFilter({{{"fehler", true}}});
        QCOMPARE(w->memTransfer->lineCount(), 2);
        w->memInfoWork->setEntryFilter({{{"karte", true}}});
        w->ZusammenfhrenundKrzen1Click(nullptr);
        QCOMPARE(testenv::ViewLines(w->memInfoWork).size(), std::size_t(12));
        std::string all;
        for (const char* name : {"ALT-TRAN.000", "TRANSFER.LOG"})
            all += site.readFile(site.logFile(name));
        QCOMPARE(all, std::string("20261101 alt Fehler\r\n20261205 neu\r\n20261208 neu Fehler\r\n"));
        QCOMPARE(site.readFile(site.logFile("INFEMORA.000")).size() +
                     site.readFile(site.logFile("ALT-INFO.000")).size(),
                 bytesOf(concat({entry("100000", "Info", "eins"),
                                 entry("101500", "Fehler-Meldung: DB.17", "Datei kaputt"),
                                 entry("113000", "NONE-Meldung: KASSE.20", "Karte"),
                                 entry("120000", "Info", "Lieferschein")}))
                     .size());
    }

    void searchTextsTogglesAndGeometryAreRemembered() {
        const std::filesystem::path dir =
            std::filesystem::path(qgetenv("XDG_CONFIG_HOME").toStdString()) / "infemora";
        QVERIFY(!dir.parent_path().empty());
        std::filesystem::create_directories(dir);
        UserState& state = UserState::Instance();
        QVERIFY(std::filesystem::path(state.path()).parent_path() == dir);
        state.SetList("Suchen", "Text", {});
        state.SetValue("Ansicht", "FehlerHervorheben", "1");
        state.SetValue("Ansicht", "Folgen.memInfoWork", "0");
        state.Save();

        TfrmSuchen suchen;
        for (int i = 0; i < 11; ++i) {
            suchen.show();
            suchen.edtSuchen->setText(QStringLiteral("Text %1").arg(i));
            suchen.btnOK->click();
        }
        suchen.show();
        QCOMPARE(suchen.cbxSuchen->count(), 10);
        QCOMPARE(suchen.cbxSuchen->itemText(0), QStringLiteral("Text 10"));
        QCOMPARE(suchen.cbxSuchen->itemText(9), QStringLiteral("Text 1"));
        // the field keeps the last text
        QCOMPARE(suchen.edtSuchen->text(), QStringLiteral("Text 10"));
        suchen.hide();

        testenv::WindowSite site;
        writeSite(site);
        {
            auto w = site.start({});
            w->resize(820, 610);
            w->Navigation->FehlerHervorheben1->trigger();
            QVERIFY(!w->memInfoWork->highlighting());
            w->Navigation->EndeFolgen1->trigger();
            w->close();
        }
        const std::string file = site.readFile(state.path());
        QVERIFY(file.find("FehlerHervorheben=0") != std::string::npos);
        QVERIFY(file.find("Geometrie=") != std::string::npos);
        auto again = site.start({});
        QVERIFY(!again->Navigation->FehlerHervorheben1->isChecked());
        QVERIFY(!again->memInfoWork->highlighting());
        QVERIFY(again->Navigation->follower(again->memInfoWork)->isFollowing());
        QCOMPARE(again->size(), QSize(820, 610));
        again->Navigation->EndeFolgen1->trigger();
        again->Navigation->FehlerHervorheben1->trigger();
    }
};

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
