// The evaluation window from the menu, its fields, buttons and output, and the unattended run
// of the main window, which must never show a window.
// moc of this Qt version cannot parse the C++20 library headers behind these.
#ifndef Q_MOC_RUN
#include "bench/gensite.h"
#include "evaluation/infoprot_parser.h"
#include "evaluation/infoprot_parser_window.h"
#include "evaluation/upload.h"
#include "host/datetime.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/password.h"
#include "host/program.h"
#include "https_test_server.h"
#include "shell/parallel_window.h"
#include "shell/password_dialog.h"
#include "support/test_env.h"
#include "support/window_fixture.h"
#endif

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

using namespace infemora;

namespace {

// Records every window that is shown.
class ShowWatcher : public QObject {
public:
    ShowWatcher() { qApp->installEventFilter(this); }
    ~ShowWatcher() override { qApp->removeEventFilter(this); }
    QStringList shown;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && w->isWindow())
                shown << QString::fromLatin1(w->metaObject()->className()) + "/" + w->objectName();
        }
        return false;
    }
};

QStringList MemoZeilen(const TVKT_InfoProtParser& f) {
    return f.memoOutput->toPlainText().split('\n');
}

const QStringList kHilfe = {
    "1. Das Verzeichnis ggf. anpassen.",
    "2. Den Zeitraum, in welchem die Daten ausgewertet werden sollen, ggf. anpassen.  ",
    "3. CSV-Export: Speichert INFOPROT.CSV im Statemp-Verzeichnis. ",
    "    Diese kann mit Excel dann ausgewertet werden.",
    "4. Fehler-Auswertung: Es wird automatisch im Statemp-Verzeichnis  eine txt-Datei",
    "     (INFOPROT_Fehlerauswertung.txt) mit einer fertigen Auswertung erstellt. Diese",
    "     enthält das Datum, das Programm, den Fehlercode, den Callstack sowie die",
    "     entsprechenden Häufigkeiten der Fehler (Für Informationen wie Benutzer, Uhrzeit, ",
    "    Zusatzinfo, usw. kann in der CSV-Datei (siehe 5.) explizit nachgeschaut werden). ",
    "5 .Differenz Start - Ende: Es wird automatisch die Anzahl der Protokollstarts eines ",
    "    Programms sowie die der Protokollenden ermittelt und im Statemp-Verzeichnis  in ",
    "    einer txt-Datei (INFOPROT_Differenz_Start_Ende.txt) ausgegeben. Dabei erfolgt ",
    "    eine Sortierung nach Datum und Programm. Zudem wird auch der jeweilige ",
    "    Benutzer angegeben.",
};

QDate D(int y, int m, int d) {
    return QDate(y, m, d);
}

// Runs `check` on the modal window once it is up and closes it afterwards.
void WhenModal(std::function<bool(QWidget*)> check) {
    QTimer::singleShot(50, [check] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !check(modal))
            WhenModal(check);
    });
}

} // namespace

class AuswertenWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Info().setNoticeSink([this](const std::string& c, const std::string& m) {
            notices << QString::fromStdString(c + ": " + m);
        });
        Info().setMeldungSink([this](int n, const std::string&) { notices << QString::number(n); });
        notices.clear();
        setenv("no_proxy", "127.0.0.1", 1);
        setenv("NO_PROXY", "127.0.0.1", 1);
    }
    void cleanup() {
        Info().setNoticeSink(nullptr);
        Info().setMeldungSink(nullptr);
        SetClockForTesting(TDateTime());
        QVERIFY2(notices.isEmpty(), qPrintable(notices.join('\n')));
    }

    void controlsDefaultsAndHelpLines() {
        testenv::TempSite site;
        SetClockForTesting(EncodeDate(2026, 12, 11) + EncodeTime(0, 30, 0, 0));
        TVKT_InfoProtParser f;
        QCOMPARE(f.windowTitle(), QString("Protokolle auswerten"));
        QCOMPARE(f.pnlTop->text(), QString("Auswertungen von Infoprotokollen"));
        QCOMPARE(f.lblPfad->text(), QString("Infoprotverzeichnis:"));
        QCOMPARE(f.lbl_Zeiteingrenzung->text(), QString("Zeitliche Eingrenzung:"));
        QCOMPARE(f.lblCSV_Von->text(), QString("Auswerten der Daten vom "));
        QCOMPARE(f.lblCSV_bis->text(), QString("bis zum"));
        QCOMPARE(f.btnStartEnde->text(), QString("Differenz Start - Ende"));
        QCOMPARE(f.btncsvExportz->text(), QString("CSV-Export"));
        QCOMPARE(f.btnFehlerAuswertung->text(), QString("Fehler-Auswertung"));

        QCOMPARE(f.edtPfad->text().toStdString(), site.logDir());
        QCOMPARE(f.edtPfad->maxLength(), 255);
        QCOMPARE(f.edtDatumCSV_Von->date(), D(2026, 12, 1));
        QCOMPARE(f.edtDatumCSV_Bis->date(), D(2026, 12, 11));
        QCOMPARE(f.edtDatumCSV_Von->text(), QString("01.12.2026"));
        QCOMPARE(f.edtDatumCSV_Bis->text(), QString("11.12.2026"));
        QCOMPARE(MemoZeilen(f), kHilfe);
        QVERIFY(f.Parser().FFehlerList.Count() == 0);
        QVERIFY(f.Parser().FListeNichtGelesen.empty());
    }

    // The start/end report does not clear the memo: its lines come below the help.
    void startEndeAppendsBelowTheHelpLines() {
        testenv::TempSite site;
        SetClockForTesting(EncodeDate(2026, 12, 11) + EncodeTime(12, 0, 0, 0));
        site.writeLines(site.logFile("INFOPROT.001"),
                        {"0000000## 20261208 101500 BEDIENER1 KASSE Protokollstart",
                         "0000000## 20261208 101600 BEDIENER1 KASSE Protokollende"});
        TVKT_InfoProtParser f;
        QTest::mouseClick(f.btnStartEnde, Qt::LeftButton);
        const QStringList erwartet =
            kHilfe + QStringList{QString::fromStdString(site.logFile("INFOPROT.001")), "", "",
                                 "Die Auswertung der Protokollstarts und Protokollenden war erfolgreich.",
                                 QString::fromStdString("Die Datei liegt unter " + site.statemp() +
                                                        "/INFOPROT_Differenz_Start_Ende.txt")};
        QCOMPARE(MemoZeilen(f), erwartet);
        QCOMPARE(QString::fromStdString(site.readFile(site.statemp() + "/INFOPROT_Differenz_Start_Ende.txt")),
                 QString("20261208: KASSE (Benutzer: BEDIENER1) Protokollende: 1\r\n"
                         "20261208: KASSE (Benutzer: BEDIENER1) Protokollstart: 1\r\n"));
        QVERIFY(f.btnStartEnde->isEnabled());
        QVERIFY(f.edtPfad->isEnabled());
    }

    // The buttons take the directory and the period from the fields as they stand.
    void reportAndCsvUseTheFieldsAsEdited() {
        testenv::TempSite site;
        // The files are read only when they changed since the first day: real days here.
        const TDateTime heute = Today();
        gensite::GenParams p;
        p.today = heute;
        const std::string andere = site.path("andere");
        gensite::WriteDemoSite(andere, p);
        TVKT_InfoProtParser f;
        f.edtPfad->setText(QString::fromStdString(andere + "/infoprot"));
        TVKT_InfoProtParser::SetAsDate(f.edtDatumCSV_Von, heute.addDays(-2));
        TVKT_InfoProtParser::SetAsDate(f.edtDatumCSV_Bis, heute.addDays(-1));

        QTest::mouseClick(f.btnFehlerAuswertung, Qt::LeftButton);
        const std::string bericht = site.readFile(site.statemp() + "/INFOPROT_Fehlerauswertung.txt");
        QVERIFY(bericht.find("Datum: " + DateToStr(heute.addDays(-2)) + "\r\n") != std::string::npos);
        QVERIFY(bericht.find("Datum: " + DateToStr(heute.addDays(-1)) + "\r\n") != std::string::npos);
        QVERIFY(bericht.find("Datum: " + DateToStr(heute.addDays(-3))) == std::string::npos);
        QVERIFY(bericht.find("Datum: " + DateToStr(heute)) == std::string::npos);
        QStringList zeilen = MemoZeilen(f);
        // The collection clears the help away and lists every file it read.
        QVERIFY(!zeilen.contains(kHilfe[0]));
        QVERIFY(zeilen.contains(QString::fromStdString(andere + "/infoprot/INF_KASSE1.LOG")));
        QVERIFY(zeilen.contains("Die Fehler-Auswertung war erfolgreich."));
        // The evaluation's own texts are Windows-1252, the paths UTF-8: both read right.
        QCOMPARE(zeilen.filter(QStringLiteral("Menü geschlossen --> Programm beendet ")).size(), 1);
        QVERIFY(f.Parser().FFehlerList.Count() > 0);

        QTest::mouseClick(f.btncsvExportz, Qt::LeftButton);
        zeilen = MemoZeilen(f);
        QVERIFY(zeilen.contains("Der CSV-Export war erfolgreich."));
        QVERIFY(!zeilen.contains("Die Fehler-Auswertung war erfolgreich."));
        QVERIFY(FileExists(site.statemp() + "/INFOPROT.CSV"));
    }

    // A folder that is not there or a period that runs backwards: the window says why, and the
    // last CSV file stays as it was.
    void failedEvaluationShowsTheReasonAndKeepsTheLastFile() {
        testenv::TempSite site;
        site.writeFile(site.statemp() + "/INFOPROT.CSV", "letzter Export");
        TVKT_InfoProtParser f;
        const std::string fehlt = site.path("nicht-eingehängt/infoprot");
        f.edtPfad->setText(QString::fromStdString(fehlt));
        QTest::mouseClick(f.btncsvExportz, Qt::LeftButton);
        QStringList zeilen = MemoZeilen(f);
        QCOMPARE(zeilen.last(), QString::fromStdString("Die Auswertung wurde nicht ausgeführt: Das "
                                                       "Infoprotverzeichnis " +
                                                       fehlt + " ist nicht vorhanden"));
        QVERIFY(zeilen.filter("erfolgreich").isEmpty());
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices[0].startsWith("TVKT_InfoProtParser.Auswerten: "));
        notices.clear();
        QCOMPARE(QString::fromStdString(site.readFile(site.statemp() + "/INFOPROT.CSV")),
                 QString("letzter Export"));
        QVERIFY(!DirectoryExists(fehlt));

        f.edtPfad->setText(QString::fromStdString(site.logDir()));
        f.edtDatumCSV_Von->setDate(D(2026, 12, 9));
        f.edtDatumCSV_Bis->setDate(D(2026, 12, 1));
        QTest::mouseClick(f.btncsvExportz, Qt::LeftButton);
        QCOMPARE(notices, QStringList{"1002"});
        notices.clear();
        QCOMPARE(MemoZeilen(f), zeilen);
        QCOMPARE(QString::fromStdString(site.readFile(site.statemp() + "/INFOPROT.CSV")),
                 QString("letzter Export"));
    }

    void menuOpensTheWindowBehindThePassword() {
        testenv::WindowSite site;
        SetClockForTesting(EncodeDate(2026, 12, 11) + EncodeTime(8, 0, 0, 0));
        auto frm = site.start({"-NOMORA"});
        Settings s = site.settings();
        s.passwortHash = MakePasswordHash("Kasse#1", 1000);
        SetSettingsForTesting(s);
        ResetPasswortSperre();
        frm->show();

        QPointer<TVKT_InfoProtParser> gesehen;
        bool sichtbar = false;
        QStringList memo;
        WhenModal([&](QWidget* modal) {
            if (auto* edit = modal->findChild<QLineEdit*>("edtPasswort")) {
                edit->setText("Kasse#1");
                QTest::keyClick(modal, Qt::Key_Return);
                return false; // wait for the evaluation window
            }
            auto* f = qobject_cast<TVKT_InfoProtParser*>(modal);
            if (!f)
                return false;
            gesehen = f;
            sichtbar = f->isVisible() && f->isModal();
            memo = MemoZeilen(*f);
            QTest::keyClick(f, Qt::Key_Escape);
            return true;
        });
        frm->Auswerten1->trigger();
        QVERIFY(gesehen.isNull()); // freed when it closed
        QVERIFY(sichtbar);
        QCOMPARE(memo, kHilfe);
    }

    void refusedPasswordLeavesNoWindow() {
        testenv::WindowSite site;
        auto frm = site.start({"-NOMORA"});
        Settings s = site.settings();
        s.passwortHash = MakePasswordHash("Kasse#1", 1000);
        SetSettingsForTesting(s);
        ResetPasswortSperre();
        ShowWatcher watcher;
        WhenModal([](QWidget* modal) {
            if (!modal->findChild<QLineEdit*>("edtPasswort"))
                return false;
            QTest::keyClick(modal, Qt::Key_Escape);
            return true;
        });
        frm->Auswerten1->trigger();
        QVERIFY2(watcher.shown.filter("TVKT_InfoProtParser").isEmpty(), qPrintable(watcher.shown.join(' ')));
        QVERIFY(frm->findChildren<TVKT_InfoProtParser*>().isEmpty());

        // The same through the seam the other tests use.
        frm->askPassword = [] { return false; };
        frm->Auswerten1->trigger();
        QVERIFY(watcher.shown.filter("TVKT_InfoProtParser").isEmpty());
    }

    void autoSendUploadsWithoutShowingAnything() {
        testenv::TempSite zertOrt;
        testenv::TestZertifikate zert(zertOrt.root());
        testenv::TestHttpsServer server(zert.serverCert, zert.serverKey);
        testenv::WindowSite site;
        gensite::GenParams p;
        p.today = EncodeDate(2026, 12, 11);
        gensite::WriteDemoSite(site.root(), p);
        SetClockForTesting(EncodeDate(2026, 12, 11) + EncodeTime(6, 0, 0, 0));
        Settings s = site.settings();
        s.uploadUrl = server.url();
        s.konstante1 = 3;
        s.konstante2 = 7;
        s.konstante3 = 11;
        s.caFile = zert.caCert;
        Programm().autoRun = false;

        ShowWatcher watcher;
        SetSettingsForTesting(s);
        auto frm = std::make_unique<TfrmParallel>(
            std::vector<std::string>{"-AUTOSEND", "-VON=7", "-BIS=1", "-KUND=abc", "-EMPF=xyz"});
        QVERIFY2(watcher.shown.isEmpty(), qPrintable(watcher.shown.join(' ')));
        QVERIFY(!frm->isVisible());
        QVERIFY(frm->terminateRequested());
        QVERIFY(Programm().autoRun);
        QVERIFY(frm->findChildren<TVKT_InfoProtParser*>().isEmpty());
        QVERIFY(Info().registered().empty());

        const auto anfragen = server.anfragen();
        QCOMPARE(anfragen.size(), std::size_t(2));
        const auto& t = anfragen[1].teile;
        QCOMPARE(t.size(), std::size_t(7));
        QCOMPARE(t[1].inhalt, std::string("517"));
        QCOMPARE(t[2].inhalt, std::string("ABC"));
        QCOMPARE(t[3].inhalt, std::string("04.12.2026"));
        QCOMPARE(t[4].inhalt, std::string("10.12.2026"));
        QCOMPARE(t[5].inhalt, std::string("XYZ"));
        QCOMPARE(t[6].inhalt, site.readFile(site.statemp() + "/INFOPROT_Fehlerauswertung.txt"));
        Programm().autoRun = false;
    }

    void autoSendWithReversedPeriodDoesNothing() {
        testenv::TempSite zertOrt;
        testenv::TestZertifikate zert(zertOrt.root());
        testenv::TestHttpsServer server(zert.serverCert, zert.serverKey);
        testenv::WindowSite site;
        gensite::GenParams p;
        p.today = Today();
        gensite::WriteDemoSite(site.root(), p);
        Settings s = site.settings();
        s.uploadUrl = server.url();
        s.caFile = zert.caCert;
        for (const auto& args :
             {std::vector<std::string>{"-AUTOSEND", "-VON=1", "-BIS=3", "-KUND=a", "-EMPF=b"},
              std::vector<std::string>{"-AUTOSEND", "-EMPF=b"},
              std::vector<std::string>{"-AUTOSEND", "-KUND=a"}}) {
            ShowWatcher watcher;
            SetSettingsForTesting(s);
            TfrmParallel frm(args);
            QVERIFY(watcher.shown.isEmpty());
            QVERIFY(frm.terminateRequested());
        }
        QVERIFY(server.anfragen().empty());
        QVERIFY(!FileExists(site.statemp() + "/INFOPROT_Fehlerauswertung.txt"));
        QVERIFY(Info().registered().empty());
        Programm().autoRun = false;
    }

private:
    QStringList notices;
};

QTEST_MAIN(AuswertenWindowTest)
#include "auswerten_window_test.moc"
