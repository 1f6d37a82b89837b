#include "archive/kuerzen_dialog.h"
#include "merge/selektion_dialog.h"
#include "merge/selektion_rules.h"
#include "support/test_env.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace infemora;

namespace {

TDateTime at(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return EncodeDate(y, m, d) + EncodeTime(h, mi, s, ms);
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { SetClockForTesting(at(2026, 12, 8, 9, 30)); }
    void cleanup() { SetClockForTesting(TDateTime()); }

    void emptyFilterMeansEverythingUpToTheEndOfToday() {
        SelektionErgebnis r = SelektionPruefen({"", "", "", ""});
        QVERIFY(r.ok);
        QCOMPARE(r.von, TDateTime());
        QCOMPARE(r.bis, at(2026, 12, 8, 23, 59, 59, 99));
    }

    void filterRulesInTheirOrder() {
        struct Case {
            SelektionTexte t;
            bool ok;
            SelektionFeld leeren;
        } cases[] = {
            {{"08.12.26", "12:00:00", "08.12.26", "11:00:00"}, false, SelektionFeld::BisZeit},
            {{"09.12.26", "", "08.12.26", ""}, false, SelektionFeld::BisDatum},
            {{"08.12.26", "12:00:00", "08.12.26", "12:00:00"}, true, SelektionFeld::Keines},
            {{"31.02.26", "", "", ""}, false, SelektionFeld::VonDatum},
            {{"01.12.26", "25:00", "", ""}, false, SelektionFeld::VonZeit},
            {{"01.12.26", "", "xx", ""}, false, SelektionFeld::BisDatum},
            {{"01.12.26", "", "", "ab"}, false, SelektionFeld::BisZeit},
            {{"  ", "10:00:00", "", ""}, true, SelektionFeld::Keines}, // time without date still counts
        };
        for (const auto& c : cases) {
            SelektionErgebnis r = SelektionPruefen(c.t);
            QCOMPARE(r.ok, c.ok);
            QCOMPARE(int(r.leeren), int(c.leeren));
        }
        QCOMPARE(SelektionPruefen({"  ", "10:00:00", "", ""}).von, at(1899, 12, 30, 10));
    }

    void selektionDialogEnablesTimeFieldsByTheirDate() {
        TfrmSelektion d;
        QVERIFY(!d.edtVonZeit->isEnabled());
        QVERIFY(!d.edtBisZeit->isEnabled());
        QCOMPARE(d.edtVonZeit->maxLength(), 8);
        d.edtVonDatum->setText("  ");
        QVERIFY(!d.edtVonZeit->isEnabled());
        d.edtVonDatum->setText("08.12.26");
        QVERIFY(d.edtVonZeit->isEnabled());
        QVERIFY(!d.edtBisZeit->isEnabled());
        QCOMPARE(d.edtVonZeit->palette().color(QPalette::Base), d.palette().color(QPalette::Base));
        QCOMPARE(d.edtBisZeit->palette().color(QPalette::Base), d.palette().color(QPalette::Button));
    }

    void selektionDialogKeepsItOpenAndEmptiesTheFaultyField() {
        TfrmSelektion d;
        d.show();
        d.edtVonDatum->setText("08.12.26");
        d.edtVonZeit->setText("12:00:00");
        d.edtBisDatum->setText("08.12.26");
        d.edtBisZeit->setText("11:00:00");
        d.OKClick();
        QVERIFY(d.isVisible());
        QVERIFY(d.edtBisZeit->text().isEmpty());
        QCOMPARE(d.edtBisDatum->text(), QStringLiteral("08.12.26"));
        d.edtBisZeit->setText("13:00:00");
        d.OKClick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.Von, at(2026, 12, 8, 12));
        QCOMPARE(d.Bis, at(2026, 12, 8, 13));
    }

    void selektionDialogKeysAndButtons() {
        TfrmSelektion d;
        d.show();
        QTest::keyClick(&d, Qt::Key_Return);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        d.show();
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(d.btnAbbruch->text(), QStringLiteral("Abbruch"));
    }

    void kuerzenDialogTakesOnlyPositiveDays() {
        TfrmKuerzen d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Einstellungen zum Kürzen"));
        d.show();
        for (const char* bad : {"0", "-3", "abc", ""}) {
            d.edtKuerzen->setText(bad);
            d.OKClick();
            QVERIFY2(d.isVisible(), bad);
            QVERIFY(d.edtKuerzen->text().isEmpty());
        }
        d.edtKuerzen->setText("7");
        d.OKClick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(KuerzTageAusText(d.edtKuerzen->text()), 7);
        d.show();
        d.edtKuerzen->setText("12");
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
