#include "host/password.h"
#include "shell/password_dialog.h"
#include "support/test_env.h"

#include <QApplication>
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

    void withoutHashThePromptRefuses() {
        testenv::TempSite site;
        answerNextDialog("");
        QVERIFY(!Execute_Passwort());
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
