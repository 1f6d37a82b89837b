#include "host/password.h"
#include "host/settings.h"
#include "shell/password_dialog.h"
#include "support/test_env.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace infemora;

namespace {

// Answers the next modal dialog once it is up: types the text into the password field (if any)
// and presses Enter, or closes a message box.
void answerNextDialog(const QString& text) {
    QTimer::singleShot(50, [text] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return answerNextDialog(text);
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->setProperty("seen", true);
            box->accept();
            return;
        }
        if (auto* edit = modal->findChild<QLineEdit*>("edtPasswort"))
            edit->setText(text);
        QTest::keyClick(modal, Qt::Key_Return);
    });
}

} // namespace

class PasswordDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetPasswortSperre(); }

    void withoutPasswordTheWindowOffersToSetOne() {
        testenv::TempSite site;
        const std::string ini = site.path("infemora.ini");
        site.writeLines(ini, {"[Regional]", "KurzesDatum=dd.MM.yyyy"});
        qputenv("INFEMORA_CONFIG", QByteArray::fromStdString(ini));
        // Cancelled: nothing stored, not let in.
        QTimer::singleShot(50, [] {
            auto* d = qobject_cast<TPasswortNeuDialog*>(QApplication::activeModalWidget());
            if (d)
                d->reject();
        });
        QVERIFY(!Execute_Passwort());
        QCOMPARE(CurrentPasswordHash(), std::string());

        // Two different entries keep the dialog open and say why; two equal ones store the
        // password and let the user in at once.
        QString hinweis;
        auto eingeben = [](const QString& a, const QString& b) {
            auto* d = qobject_cast<TPasswortNeuDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->edtPasswort->setText(a);
            d->edtWiederholung->setText(b);
            QTest::keyClick(d, Qt::Key_Return);
        };
        QTimer::singleShot(50, [&] { eingeben("Kasse#1", "Kasse#2"); });
        QTimer::singleShot(300, [&] {
            hinweis =
                qobject_cast<TPasswortNeuDialog*>(QApplication::activeModalWidget())->lblHinweis->text();
            eingeben("Kasse#1", "Kasse#1");
        });
        QVERIFY(Execute_Passwort());
        QCOMPARE(hinweis, QStringLiteral("Die beiden Eingaben stimmen nicht überein."));
        QVERIFY(CheckPasswordHash("Kasse#1", CurrentPasswordHash()));
        QVERIFY(site.readFile(ini).find("[Passwort]") != std::string::npos);

        // From now on the prompt asks for it.
        answerNextDialog("Kasse#1");
        QVERIFY(Execute_Passwort());
        qunsetenv("INFEMORA_CONFIG");
    }

    void aPasswordSetFromATerminalCountsWithoutARestart() {
        testenv::TempSite site;
        const std::string ini = site.path("infemora.ini");
        site.writeLines(ini, {"[Regional]", "KurzesDatum=dd.MM.yyyy"});
        Settings s = site.settings();
        s.sourceFile = ini; // the window read this file at its start, without a password
        SetSettingsForTesting(s);
        qputenv("INFEMORA_CONFIG", QByteArray::fromStdString(ini));
        WriteSettingsKey("Passwort", "Hash", MakePasswordHash("vom Terminal", 1000));
        answerNextDialog("vom Terminal");
        QVERIFY(Execute_Passwort());
        qunsetenv("INFEMORA_CONFIG");
    }

    void rightPasswordOpensWrongOneDoesNot() {
        testenv::TempSite site;
        Settings s = site.settings();
        s.passwortHash = MakePasswordHash("Kasse#1", 1000);
        SetSettingsForTesting(s);
        answerNextDialog("Kasse#1");
        QVERIFY(Execute_Passwort());
        // A wrong try keeps the prompt open; the right one then still opens.
        answerNextDialog("falsch");
        QTimer::singleShot(400, [] { answerNextDialog("Kasse#1"); });
        QVERIFY(Execute_Passwort());
    }

    void threeWrongTriesLockThePrompt() {
        testenv::TempSite site;
        Settings s = site.settings();
        s.passwortHash = MakePasswordHash("geheim", 1000);
        SetSettingsForTesting(s);
        answerNextDialog("a");
        QTimer::singleShot(300, [] { answerNextDialog("b"); });
        QTimer::singleShot(600, [] { answerNextDialog("c"); });
        QVERIFY(!Execute_Passwort());
        answerNextDialog("geheim"); // the lock notice, not a prompt
        QVERIFY(!Execute_Passwort());
    }
};

QTEST_MAIN(PasswordDialogTest)
#include "password_dialog_test.moc"
