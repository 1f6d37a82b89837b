// The booking tab on the offscreen platform: set-up, loading, sorting, colours, search, export.
#include "booking/pkpf_tab_widget.h"
#include "booking/pkpf_writer.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/settings.h"
#include "support/test_env.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace infemora;

namespace {

TDateTime Tag(int y, int m, int d) {
    return EncodeDate(y, m, d);
}
TDateTime Uhr(int h, int mi, int s) {
    return EncodeTime(h, mi, s, 0);
}

TPKPF_Buchung Buchung(TIntPair nr, TDateTime datum, TDateTime zeit, std::int32_t saetze = 2) {
    TPKPF_Buchung b;
    b.BuchungsNr = nr;
    b.BuchDatum = datum;
    b.BuchZeit = zeit;
    b.Programm = "KASSE";
    b.Vorfall = "VK";
    b.SatzAnzahl = saetze;
    b.GesLaenge = 100 - saetze;
    b.ProzessId = 77;
    b.StartDatum = datum;
    b.StartZeit = zeit;
    b.EndeDatum = datum;
    b.EndeZeit = zeit;
    b.Terminal = "KASSE1";
    b.BenutzerName = "M\xFCller";
    b.Version = "7.1";
    b.VersionDatum = Tag(2023, 6, 1);
    b.Saetze = {{"S1", "RW", "Artikel"}, {"S2", "DE", "Detail"}, {"S3", "ZA", "Zahlung"}};
    return b;
}

} // namespace

class PkpfTabTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<testenv::TempSite> site;
    std::unique_ptr<TPKPFTab> tab;

    void schreiben(const std::vector<TPKPF_Buchung>& buchungen) {
        BookingWriter w(GetSettings().buchungsDatei);
        w.begin();
        for (const auto& b : buchungen)
            w.insert(b);
        w.commit();
    }
    QString zelle(int row, int col) const { return tab->kopfModel->index(row, col).data().toString(); }
    QStringList spalte(int col) const {
        QStringList out;
        for (int r = 0; r < tab->kopfModel->rowCount(); ++r)
            out << zelle(r, col);
        return out;
    }
    void zeigenUndLaden() {
        tab->tshPkpfFileShow();
        QTest::mouseClick(tab->btnAktualisieren, Qt::LeftButton);
    }
    // On the indicator: a radio button takes clicks only on its indicator and caption.
    static void klick(QRadioButton* rb) {
        QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(6, rb->height() / 2));
    }
    void headerKlick(int col) {
        QHeaderView* h = tab->trvPKPFKopf->horizontalHeader();
        const int x = h->sectionViewportPosition(col) + h->sectionSize(col) / 2;
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
    }

private slots:
    void init() {
        site = std::make_unique<testenv::TempSite>();
        SetClockForTesting(Tag(2024, 5, 10) + Uhr(14, 3, 7));
        tab = std::make_unique<TPKPFTab>();
        tab->resize(900, 600);
        tab->show();
    }
    void cleanup() {
        tab.reset();
        site.reset();
    }

    void modeClickBeforeSetUpChangesTheModeOnly() {
        schreiben({Buchung({1, 1}, Tag(2024, 5, 10), Uhr(9, 0, 0))});
        klick(tab->rbVonBis);
        QVERIFY(tab->rbVonBis->isChecked());
        QVERIFY(tab->edtVon->isEnabled());
        QVERIFY(!tab->edtLastDays->isEnabled());
        QCOMPARE(tab->FBuchungsNrIdx, -1);
        QVERIFY(!tab->protokoll().FPKPFFile); // nothing was loaded
    }

    void firstShowingSetsUpWithoutLoading() {
        schreiben({Buchung({1, 1}, Tag(2024, 5, 10), Uhr(9, 0, 0))});
        tab->tshPkpfFileShow();
        QVERIFY(tab->rbLastDays->isChecked());
        QCOMPARE(tab->edtLastDays->text(), QStringLiteral("30"));
        QCOMPARE(tab->edtVon->displayText(), QStringLiteral("10.04.24"));
        QCOMPARE(tab->edtBis->displayText(), QStringLiteral("10.05.24"));
        QVERIFY(!tab->edtVon->isEnabled());
        QCOMPARE(tab->FBuchungsNrIdx, 0);
        QCOMPARE(tab->FWRDONIdx, 1);
        QVERIFY(tab->trvPKPFKopf->isColumnHidden(2));
        QVERIFY(tab->trvPKPFKopf->isColumnHidden(7));
        QVERIFY(tab->trvPKPFKopf->isColumnHidden(9));
        QCOMPARE(tab->trvPKPFSaetze->horizontalHeader()->sectionSize(2), 640 - 140);
        QCOMPARE(tab->kopfModel->rowCount(), 0);
        QVERIFY(!tab->protokoll().FPKPFFile);

        // A second showing keeps what the user set.
        tab->edtLastDays->setText("5");
        tab->tshPkpfFileShow();
        QCOMPARE(tab->edtLastDays->text(), QStringLiteral("5"));
    }

    void loadFocusesTheFirstRowAndShowsItsDetails() {
        schreiben({Buchung({1, 2}, Tag(2024, 5, 10), Uhr(9, 0, 0)),
                   Buchung({1, 1}, Tag(2024, 5, 9), Uhr(9, 0, 0))});
        zeigenUndLaden();
        QCOMPARE(spalte(0), (QStringList{"1-1", "1-2"}));
        QCOMPARE(tab->focusedRow(), 0);
        QCOMPARE(zelle(0, 1), QStringLiteral("09.05.2024, 09:00:00"));
        QCOMPARE(zelle(0, 5), QStringLiteral("Müller"));
        QCOMPARE(tab->lblProzess->text(), QStringLiteral("77"));
        QCOMPARE(tab->lblVersion->text(), QStringLiteral("7.1 (01.06.2023)"));
        QCOMPARE(tab->saetzeModel->rowCount(), 3);

        // Record lines RW and DE are coloured, others not.
        QCOMPARE(tab->saetzeModel->index(0, 0).data(Qt::BackgroundRole).value<QColor>(),
                 QColor(180, 180, 255));
        QCOMPARE(tab->saetzeModel->index(1, 2).data(Qt::BackgroundRole).value<QColor>(),
                 QColor(255, 180, 180));
        QVERIFY(!tab->saetzeModel->index(2, 1).data(Qt::BackgroundRole).isValid());

        tab->trvPKPFKopf->setCurrentIndex(tab->kopfModel->index(1, 0));
        QCOMPARE(tab->lblTerminal->text(), QStringLiteral("KASSE1"));
        QCOMPARE(tab->saetzeModel->saetze().size(), size_t(3));
    }

    void headerClicksAlternateTheDirectionAndMarkOneColumn() {
        schreiben({Buchung({1, 1}, Tag(2024, 5, 10), Uhr(9, 0, 0), 10),
                   Buchung({1, 2}, Tag(2024, 5, 10), Uhr(8, 0, 0), 9),
                   Buchung({1, 3}, Tag(2024, 5, 9), Uhr(23, 0, 0), 100)});
        zeigenUndLaden();
        QCOMPARE(spalte(0), (QStringList{"1-3", "1-2", "1-1"}));

        headerKlick(6); // "Satzanzahl": numbers, 9 before 10
        QVERIFY(tab->FSortDirection == TPKPFSortRichtung::Aufsteigend);
        QCOMPARE(tab->kopfModel->sortMarker(6), 0);
        QCOMPARE(spalte(6), (QStringList{"9", "10", "100"}));

        headerKlick(1); // another column goes on alternating: descending, by date and time
        QVERIFY(tab->FSortDirection == TPKPFSortRichtung::Absteigend);
        QCOMPARE(tab->kopfModel->sortMarker(6), -1);
        QCOMPARE(tab->kopfModel->sortMarker(1), 1);
        QVERIFY(!tab->kopfModel->headerData(1, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(spalte(0), (QStringList{"1-1", "1-2", "1-3"}));

        headerKlick(1);
        QCOMPARE(spalte(0), (QStringList{"1-3", "1-2", "1-1"}));

        // Stripes stay on the first, third ... row from the top.
        QCOMPARE(tab->kopfModel->index(0, 3).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 191));
        QVERIFY(!tab->kopfModel->index(1, 3).data(Qt::BackgroundRole).isValid());
        QCOMPARE(tab->kopfModel->index(2, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 191));

        // A load removes the markers but keeps the direction.
        QTest::mouseClick(tab->btnAktualisieren, Qt::LeftButton);
        QCOMPARE(tab->kopfModel->sortMarker(1), -1);
        QVERIFY(tab->FSortDirection == TPKPFSortRichtung::Aufsteigend);
    }

    void sortingKeepsTheFocusedBooking() {
        schreiben({Buchung({1, 1}, Tag(2024, 5, 8), Uhr(9, 0, 0)),
                   Buchung({1, 2}, Tag(2024, 5, 9), Uhr(9, 0, 0)),
                   Buchung({1, 3}, Tag(2024, 5, 10), Uhr(9, 0, 0))});
        zeigenUndLaden();
        tab->trvPKPFKopf->setCurrentIndex(tab->kopfModel->index(0, 0)); // 1-1
        headerKlick(1);                                                 // ascending
        headerKlick(1);                                                 // descending
        QCOMPARE(spalte(0), (QStringList{"1-3", "1-2", "1-1"}));
        QCOMPARE(tab->focusedRow(), 2);
    }

    void damagedBookingShowsDefektWithoutColour() {
        TPKPF_Buchung b = Buchung({1, 1}, Tag(2024, 5, 10), Uhr(9, 0, 0));
        b.Blob = "kaputt";
        schreiben({b});
        zeigenUndLaden();
        QCOMPARE(tab->saetzeModel->rowCount(), 1);
        QCOMPARE(tab->saetzeModel->index(0, 0).data().toString(), QStringLiteral("defekt"));
        QVERIFY(!tab->saetzeModel->index(0, 0).data(Qt::BackgroundRole).isValid());
        QVERIFY(Info().registered().empty());
    }

    void searchFocusesTheBookingOrEmptiesTheDetails() {
        std::vector<TPKPF_Buchung> viele;
        for (int i = 1; i <= 200; ++i)
            viele.push_back(Buchung({2, i}, Tag(2024, 5, 10), TDateTime(i * 1000LL)));
        schreiben(viele);
        zeigenUndLaden();

        tab->edtRNrSuche->setText("2");
        tab->edtLNrSuche->setText("150");
        QTest::mouseClick(tab->btnBuchungSuchen, Qt::LeftButton);
        QCOMPARE(tab->focusedRow(), 149);
        QCOMPARE(tab->lblProzess->text(), QStringLiteral("77"));
        QVERIFY(tab->trvPKPFKopf->selectionModel()->isRowSelected(149, {}));

        // Not in the list: details emptied, focus stays.
        tab->edtLNrSuche->setText("999");
        QTest::mouseClick(tab->btnBuchungSuchen, Qt::LeftButton);
        QCOMPARE(tab->focusedRow(), 149);
        QVERIFY(tab->lblProzess->text().isEmpty());
        QCOMPARE(tab->saetzeModel->rowCount(), 0);

        // An empty field: nothing happens.
        tab->trvPKPFKopf->setCurrentIndex(tab->kopfModel->index(3, 0));
        tab->edtLNrSuche->clear();
        QTest::mouseClick(tab->btnBuchungSuchen, Qt::LeftButton);
        QCOMPARE(tab->focusedRow(), 3);
        QCOMPARE(tab->saetzeModel->rowCount(), 3);
    }

    void numberModeWithAnEmptyFieldKeepsTheList() {
        schreiben({Buchung({3, 1}, Tag(2024, 5, 10), Uhr(9, 0, 0)),
                   Buchung({3, 2}, Tag(2024, 5, 10), Uhr(9, 0, 1))});
        zeigenUndLaden();
        QCOMPARE(tab->kopfModel->rowCount(), 2);
        klick(tab->rbBuchungsnummer); // loads: first part empty, nothing happens
        QCOMPARE(tab->kopfModel->rowCount(), 2);
        tab->edtRNrLaden->setText("3");
        tab->edtLNrVonLaden->setText("2");
        QTest::mouseClick(tab->btnAktualisieren, Qt::LeftButton);
        QCOMPARE(spalte(0), (QStringList{"3-2"}));
        QCOMPARE(tab->protokoll().FPKPFBuchungsNrVon, (TIntPair{3, 2}));
    }

    void focusOnABookingThatWasRemovedLeavesTheDetailsEmpty() {
        schreiben({Buchung({1, 1}, Tag(2024, 5, 10), Uhr(9, 0, 0)),
                   Buchung({1, 2}, Tag(2024, 5, 10), Uhr(9, 0, 1))});
        zeigenUndLaden();
        {
            SqliteDb db = SqliteDb::Open(GetSettings().buchungsDatei, false, false, 1000);
            db.exec("DELETE FROM pkpf WHERE lnr = 2");
        }
        tab->trvPKPFKopf->setCurrentIndex(tab->kopfModel->index(1, 0));
        QVERIFY(tab->lblProzess->text().isEmpty());
        QCOMPARE(tab->saetzeModel->rowCount(), 0);
    }

    void exportWritesTheShownBookingsInTheirCurrentOrder() {
        schreiben({Buchung({1, 1}, Tag(2024, 5, 9), Uhr(9, 0, 0)),
                   Buchung({1, 2}, Tag(2024, 5, 10), Uhr(9, 0, 0))});
        zeigenUndLaden();
        headerKlick(0);
        headerKlick(0); // descending by number
        QString start;
        tab->chooseExportDir = [&](const QString& s) {
            start = s;
            return QString::fromStdString(site->statemp());
        };
        QTest::mouseClick(tab->btnPkpfSaveFile, Qt::LeftButton);
        QCOMPARE(start.toStdString(), site->statemp());
        const std::string datei = site->statemp() + "/PkpfFileExport_0_240410-240510_240510140307.csv";
        QVERIFY(FileExists(datei));
        const Lines lines = SplitLines(site->readFile(datei));
        QCOMPARE(lines.size(), size_t(1 + 2 * 4));
        QVERIFY(lines[1].starts_with("0001-000000002 ;"));
        QVERIFY(lines[5].starts_with("0001-000000001 ;"));
        QCOMPARE(Info().meldungCount(1001), 1);

        // Cancelled: nothing written, no message.
        Ensure_DeleteFile(datei);
        tab->chooseExportDir = [](const QString&) { return QString(); };
        QTest::mouseClick(tab->btnPkpfSaveFile, Qt::LeftButton);
        QVERIFY(!FileExists(datei));
        QCOMPARE(Info().meldungCount(1001), 1);
    }
};

QTEST_MAIN(PkpfTabTest)
#include "pkpf_tab_test.moc"
