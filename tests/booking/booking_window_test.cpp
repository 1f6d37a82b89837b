// The booking tab inside the main window: made when first shown, loading there, and the file
// closed at the window's end.
#include "booking/pkpf_tab_widget.h"
#include "booking/pkpf_writer.h"
#include "host/messages.h"
#include "host/settings.h"
#include "shell/status_bar.h"
#include "support/window_fixture.h"

#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace infemora;

class BookingWindowTest : public QObject {
    Q_OBJECT
private slots:
    void tabIsMadeOnFirstShowingAndLoadsFromTheSettingsFile() {
        testenv::WindowSite site;
        Info().clearRegistered();
        {
            TPKPF_Buchung b;
            b.BuchungsNr = {4, 711};
            b.BuchDatum = Today();
            b.BuchZeit = EncodeTime(8, 15, 0, 0);
            b.Saetze = {{"S1", "RW", "Artikel"}};
            BookingWriter w(GetSettings().buchungsDatei);
            w.begin();
            w.insert(b);
            w.commit();
        }
        auto w = site.start({"-NOMORA"});
        QVERIFY(!w->findChild<QTableView*>("trvPKPFKopf"));
        w->pgcDateien->setCurrentWidget(w->tshPkpfFile);
        auto* tab = w->findChild<TPKPFTab*>("pnlPkpfTab");
        QVERIFY(tab);
        QVERIFY(w->findChild<QTableView*>("trvPKPFKopf"));
        QCOMPARE(tab->kopfModel->rowCount(), 1); // the first showing loads
        QCOMPARE(w->stbStatus->lblDateienZeilen->text(), QStringLiteral("1 Buchung"));
        QCOMPARE(tab->kopfModel->index(0, 0).data().toString(), QStringLiteral("4-711"));
        QCOMPARE(tab->saetzeModel->rowCount(), 1);
        QVERIFY(tab->protokoll().FPKPFFile && tab->protokoll().FPKPFFile->IsOpen());

        tab->trvPKPFKopf->setFocus();
        w.reset(); // teardown closes and frees the file
        QVERIFY(Info().registered().empty());
    }
};

QTEST_MAIN(BookingWindowTest)
#include "booking_window_test.moc"
