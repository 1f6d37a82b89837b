// The booking tab on the offscreen platform: set-up, loading, sorting, colours, search, export.
#include "booking/pkpf_tab_widget.h"
#include "booking/pkpf_writer.h"
#include "host/fileutil.h"
#include "host/messages.h"
#include "host/settings.h"
#include "support/test_env.h"

#include <QApplication>
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
        tab->tshPkpfFileShow(); // the first showing loads
    }
    // On the indicator: a radio button takes clicks only on its indicator and caption.
    static void klick(QRadioButton* rb) {
        QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(6, rb->height() / 2));
    }
    // The details emptied while the focus stays, as after a booking that vanished meanwhile.
    void TrvDetailsLeeren() {
        tab->TrvPKPFSaetzeEinstellen(-1);
        QVERIFY(tab->lblProzess->text().isEmpty());
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

    void firstShowingSetsUpAndLoads() {
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
        // Both grids are equally wide; each caption has room beside it for the sort image.
        int kopfBreite = 0;
        for (int c = 0; c < tab->kopfModel->columnCount(); ++c) {
            QHeaderView* h = tab->trvPKPFKopf->horizontalHeader();
            if (tab->trvPKPFKopf->isColumnHidden(c))
                continue;
            kopfBreite += h->sectionSize(c);
            QVERIFY(h->sectionSize(c) >= PKPFKopfSpaltenDef(c).width);
            QVERIFY(h->sectionSize(c) >=
                    h->fontMetrics().horizontalAdvance(QString::fromUtf8(PKPFKopfSpaltenDef(c).caption)) +
                        16);
        }
        QCOMPARE(tab->trvPKPFSaetze->horizontalHeader()->sectionSize(2), kopfBreite - 140);
        QCOMPARE(tab->kopfModel->rowCount(), 1);
        QCOMPARE(tab->lblAnzahlBuchungen->text(), QStringLiteral("1 Buchung angezeigt"));

        // A second showing keeps what the user set and the list.
        schreiben({Buchung({1, 2}, Tag(2024, 5, 10), Uhr(9, 30, 0))});
        tab->edtLastDays->setText("5");
        tab->tshPkpfFileShow();
        QCOMPARE(tab->edtLastDays->text(), QStringLiteral("5"));
        QCOMPARE(tab->kopfModel->rowCount(), 1);
    }

    void loadFocusesTheNewestBookingAndShowsItsDetails() {
        schreiben({Buchung({1, 2}, Tag(2024, 5, 10), Uhr(9, 0, 0)),
                   Buchung({1, 1}, Tag(2024, 5, 9), Uhr(9, 0, 0))});
        zeigenUndLaden();
        QCOMPARE(spalte(0), (QStringList{"1-1", "1-2"}));
        QCOMPARE(tab->focusedRow(), 1);
        QCOMPARE(tab->lblAnzahlBuchungen->text(), QStringLiteral("2 Buchungen angezeigt"));
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

        tab->trvPKPFKopf->setCurrentIndex(tab->kopfModel->index(0, 0));
        QCOMPARE(tab->lblTerminal->text(), QStringLiteral("KASSE1"));
        QCOMPARE(tab->saetzeModel->saetze().size(), size_t(3));
    }

    void theNewestBookingIsInViewAfterLoading() {
        std::vector<TPKPF_Buchung> viele;
        for (int i = 1; i <= 300; ++i)
            viele.push_back(Buchung({2, i}, Tag(2024, 5, 10), TDateTime(i * 1000LL)));
        schreiben(viele);
        zeigenUndLaden();
        QCOMPARE(tab->focusedRow(), 299);
        const QRect sichtbar = tab->trvPKPFKopf->viewport()->rect();
        QVERIFY(sichtbar.intersects(tab->trvPKPFKopf->visualRect(tab->kopfModel->index(299, 0))));
        QCOMPARE(tab->lblAnzahlBuchungen->text(), QStringLiteral("300 Buchungen angezeigt"));
    }

    void theListTakesTheHeightOfTheWindow() {
        zeigenUndLaden();
        tab->resize(1200, 1000);
        QApplication::processEvents();
        const int zeile = tab->trvPKPFKopf->verticalHeader()->defaultSectionSize();
        QVERIFY2(tab->trvPKPFKopf->height() > 20 * zeile,
                 qPrintable(QString::number(tab->trvPKPFKopf->height())));
    }

    void enterLoadsInTheSelectionAndSearchesInTheNumberFields() {
        schreiben({Buchung({3, 1}, Tag(2024, 5, 10), Uhr(9, 0, 0)),
                   Buchung({3, 2}, Tag(2024, 5, 10), Uhr(9, 0, 1)),
                   Buchung({4, 1}, Tag(2024, 5, 10), Uhr(9, 0, 2))});
        zeigenUndLaden();
        klick(tab->rbBuchungsnummer);
        tab->edtRNrLaden->setText("3");
        tab->edtLNrVonLaden->setText("1");
        tab->edtLNrVonLaden->setFocus();
        QTest::keyClick(tab->edtLNrVonLaden, Qt::Key_Return);
        QCOMPARE(spalte(0), (QStringList{"3-1"}));
        tab->edtLNrBisLaden->setText("2");
        QTest::keyClick(tab->edtLNrBisLaden, Qt::Key_Enter);
        QCOMPARE(spalte(0), (QStringList{"3-1", "3-2"}));

        tab->edtRNrSuche->setText("3");
        tab->edtLNrSuche->setText("1");
        QTest::keyClick(tab->edtLNrSuche, Qt::Key_Return);
        QCOMPARE(tab->focusedRow(), 0);
    }

    void textColumnsSortAsAGermanReaderExpects() {
        const char* namen[] = {"Zander", "\xD6zt\xFCrk", "meier", "Mueller", "Oswald", "Adler"};
        std::vector<TPKPF_Buchung> buchungen;
        int i = 0;
        for (const char* n : namen) {
            TPKPF_Buchung b = Buchung({5, ++i}, Tag(2024, 5, 10), Uhr(9, 0, i));
            b.BenutzerName = n;
            buchungen.push_back(b);
        }
        schreiben(buchungen);
        zeigenUndLaden();
        headerKlick(5); // "Benutzer", ascending
        QCOMPARE(spalte(5), (QStringList{"Adler", "meier", "Mueller", "Oswald", "Öztürk", "Zander"}));
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

        // Not in the list: it says so, no row stays marked, the details are empty.
        tab->edtLNrSuche->setText("999");
        QTest::mouseClick(tab->btnBuchungSuchen, Qt::LeftButton);
        QCOMPARE(tab->lblSuchErgebnis->text(), QStringLiteral("Buchung 2-999 ist nicht in der Liste."));
        QCOMPARE(tab->focusedRow(), -1);
        QVERIFY(!tab->trvPKPFKopf->selectionModel()->hasSelection());
        QVERIFY(tab->lblProzess->text().isEmpty());
        QCOMPARE(tab->saetzeModel->rowCount(), 0);

        // Finding the row that has the focus shows its details again.
        tab->edtLNrSuche->setText("150");
        QTest::mouseClick(tab->btnBuchungSuchen, Qt::LeftButton);
        QCOMPARE(tab->focusedRow(), 149);
        QVERIFY(tab->lblSuchErgebnis->text().isEmpty());
        TrvDetailsLeeren();
        QTest::mouseClick(tab->btnBuchungSuchen, Qt::LeftButton);
        QCOMPARE(tab->focusedRow(), 149);
        QCOMPARE(tab->lblProzess->text(), QStringLiteral("77"));

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
            db.exec("DELETE FROM pkpf WHERE lnr = 1");
        }
        tab->trvPKPFKopf->setCurrentIndex(tab->kopfModel->index(0, 0)); // the newest one had the focus
        QVERIFY(tab->lblProzess->text().isEmpty());
        QCOMPARE(tab->saetzeModel->rowCount(), 0);
    }

    void exportWritesTheShownBookingsInTheirCurrentOrder() {
        schreiben({Buchung({1, 1}, Tag(2024, 5, 9), Uhr(9, 0, 0)),
                   Buchung({1, 2}, Tag(2024, 5, 10), Uhr(9, 0, 0))});
        zeigenUndLaden();
        headerKlick(0);
        headerKlick(0); // descending by number
        QString meldung;
        Info().setMeldungSink([&](int, const std::string& text) { meldung = QString::fromStdString(text); });
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
        QVERIFY(meldung.endsWith(QString::fromStdString(datei))); // the message names the file

        // Cancelled: nothing written, no message.
        Ensure_DeleteFile(datei);
        tab->chooseExportDir = [](const QString&) { return QString(); };
        QTest::mouseClick(tab->btnPkpfSaveFile, Qt::LeftButton);
        QVERIFY(!FileExists(datei));
        QCOMPARE(Info().meldungCount(1001), 1);
        Info().setMeldungSink(nullptr);
    }
};

QTEST_MAIN(PkpfTabTest)
#include "pkpf_tab_test.moc"
