// Notices belong to the window the user is looking at; Qt's own texts are German; file dialogs
// remember their folder.
#include "host/messages.h"
#include "host/user_state.h"
#include "shell/dialog_folders.h"
#include "shell/german_ui.h"
#include "shell/notice_display.h"
#include "support/test_env.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <filesystem>

using namespace infemora;

namespace {

// The notice of that name, the one on the screen when an old one still waits to be deleted.
QMessageBox* notice(const char* name) {
    QMessageBox* found = nullptr;
    for (QWidget* w : QApplication::allWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->objectName() == QLatin1String(name))
            if (!found || box->isVisible())
                found = box;
    return found;
}

} // namespace

class NoticeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallGuiNotices(nullptr); }
    void cleanupTestCase() { RemoveGuiNotices(); }

    void aNoticeBelongsToTheModalWindowInFrontAndIsModalToIt() {
        testenv::TempSite site;
        QMainWindow main;
        main.setObjectName("frmParallel");
        main.show();
        QDialog auswertung(&main);
        auswertung.setObjectName("VKT_InfoProtParser");
        auswertung.setModal(true);
        auswertung.show();
        QTRY_COMPARE(QApplication::activeModalWidget(), &auswertung);

        Info().RegisterMessage("TVKT_InfoProtParser.btncsvExportzClick",
                               std::string("Datei /x/INFOPROT.CSV kann nicht angelegt werden: ") +
                                   std::strerror(EACCES));
        QTRY_VERIFY(notice("msgFehler") && notice("msgFehler")->isVisible());
        QMessageBox* box = notice("msgFehler");
        QCOMPARE(box->parentWidget(), &auswertung);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        // The first line in German, what to do below it, the routine and the system's words in
        // the details.
        QCOMPARE(box->text(),
                 QStringLiteral("Datei /x/INFOPROT.CSV kann nicht angelegt werden: keine Berechtigung"));
        QVERIFY(box->informativeText().contains(QStringLiteral("Zugriffsrechte")));
        QVERIFY(box->detailedText().startsWith(QStringLiteral("TVKT_InfoProtParser.btncsvExportzClick: ")));
        QVERIFY(box->detailedText().contains(QString::fromLocal8Bit(std::strerror(EACCES))));
        QVERIFY(!box->text().contains(QStringLiteral("TVKT_InfoProtParser")));

        // A second failure while it is open joins it.
        Info().RegisterMessage("X.Y", "zweiter Fehler");
        QTRY_COMPARE(box->text(), QStringLiteral("zweiter Fehler"));
        QCOMPARE(box->detailedText().count(QLatin1Char('\n')), 1);
        box->accept();

        // With the modal window closed, the next notice belongs to the main window.
        auswertung.hide();
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        Info().RegisterMessage("TfrmParallel.Speichern1Click", "dritter Fehler");
        QTRY_VERIFY(notice("msgFehler") && notice("msgFehler")->isVisible());
        QCOMPARE(notice("msgFehler")->parentWidget(), &main);
        QCOMPARE(notice("msgFehler")->detailedText(),
                 QStringLiteral("TfrmParallel.Speichern1Click: dritter Fehler"));
        notice("msgFehler")->accept();
        Info().clearRegistered();
    }

    void catalogueMessagesShowOnTopToo() {
        testenv::TempSite site;
        QMainWindow main;
        main.show();
        Info().ShowMeldung("INFEMORA", 1001, "Datei: /x/y.csv");
        QTRY_VERIFY(notice("msgMeldung") && notice("msgMeldung")->isVisible());
        QCOMPARE(notice("msgMeldung")->parentWidget(), &main);
        QVERIFY(notice("msgMeldung")->text().endsWith(QStringLiteral("\nDatei: /x/y.csv")));
        notice("msgMeldung")->accept();
    }

    void qtsOwnTextsAreGerman() {
        QVERIFY(DeutscheOberflaeche(*qApp));
        QMessageBox frage(QMessageBox::Question, "t", "f", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(frage.button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
        QCOMPARE(frage.button(QMessageBox::No)->text(), QStringLiteral("&Nein"));
        QDialogButtonBox knoepfe(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
        QCOMPARE(knoepfe.button(QDialogButtonBox::Cancel)->text().remove('&'), QStringLiteral("Abbrechen"));
        QCOMPARE(knoepfe.button(QDialogButtonBox::Open)->text().remove('&'), QStringLiteral("Öffnen"));
        QCOMPARE(QLocale().dayName(1), QStringLiteral("Montag"));
        QCOMPARE(QLocale().toString(QDate(2026, 12, 8), QLocale::ShortFormat), QStringLiteral("08.12.26"));
    }

    void fileDialogsStartInTheFolderLastUsed() {
        testenv::TempSite site;
        UserState state(site.path("zustand.state"));
        const QString fallback = QString::fromStdString(site.statemp());
        QCOMPARE(DialogOrdner(state, kOrdnerSpeichern, fallback), fallback);
        std::filesystem::create_directories(site.path("dokumente/berichte"));
        DialogOrdnerMerken(state, kOrdnerSpeichern,
                           QString::fromStdString(site.path("dokumente/berichte/a.txt")));
        DialogOrdnerMerken(state, kOrdnerExport, QString::fromStdString(site.path("dokumente")));
        UserState gelesen(site.path("zustand.state")); // kept between runs
        QCOMPARE(DialogOrdner(gelesen, kOrdnerSpeichern, fallback),
                 QString::fromStdString(site.path("dokumente/berichte")));
        QCOMPARE(DialogOrdner(gelesen, kOrdnerExport, fallback),
                 QString::fromStdString(site.path("dokumente")));
        // Each kind of dialog has its own; a folder that is gone gives the fallback.
        QCOMPARE(DialogOrdner(gelesen, kOrdnerEinzeldatei, fallback), fallback);
        std::filesystem::remove_all(site.path("dokumente/berichte"));
        QCOMPARE(DialogOrdner(gelesen, kOrdnerSpeichern, fallback), fallback);
        QVERIFY(!DokumenteOrdner().isEmpty());
    }
};

QTEST_MAIN(NoticeTest)
#include "notice_test.moc"
