#include "shell/password_dialog.h"

#include "host/password.h"
#include "host/settings.h"

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace infemora {

namespace {

int g_wrongTries = 0;
QElapsedTimer g_lockedSince;
constexpr int kTriesBeforeLock = 3;
constexpr qint64 kLockMs = 60'000;

} // namespace

void ResetPasswortSperre() {
    g_wrongTries = 0;
    g_lockedSince.invalidate();
}

TPasswortDialog::TPasswortDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmPasswort");
    setWindowTitle(QStringLiteral("Passwort"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Bitte das Passwort eingeben:"), this));
    edtPasswort = new QLineEdit(this);
    edtPasswort->setObjectName("edtPasswort");
    edtPasswort->setEchoMode(QLineEdit::Password);
    layout->addWidget(edtPasswort);
    lblHinweis = new QLabel(this);
    lblHinweis->setObjectName("lblHinweis");
    layout->addWidget(lblHinweis);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbruch"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool Execute_Passwort(QWidget* parent) {
    const Settings& s = GetSettings();
    if (s.passwortHash.empty()) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Protokolle auswerten"),
                        QStringLiteral("Es ist kein Passwort für die Auswertung eingerichtet.\n"
                                       "Bitte zuerst mit \"infemora-cli passwort\" ein Passwort setzen."),
                        QMessageBox::Ok, parent);
        box.setObjectName("msgKeinPasswort");
        box.exec();
        return false;
    }
    if (g_lockedSince.isValid() && g_lockedSince.elapsed() < kLockMs) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Protokolle auswerten"),
                        QStringLiteral("Zu viele falsche Eingaben. Bitte eine Minute warten."), QMessageBox::Ok,
                        parent);
        box.setObjectName("msgGesperrt");
        box.exec();
        return false;
    }
    TPasswortDialog dialog(parent);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (CheckPasswordHash(dialog.edtPasswort->text().toStdString(), s.passwortHash)) {
            ResetPasswortSperre();
            return true;
        }
        if (++g_wrongTries >= kTriesBeforeLock) {
            g_lockedSince.start();
            g_wrongTries = 0;
            return false;
        }
        dialog.edtPasswort->clear();
        dialog.lblHinweis->setText(QStringLiteral("Das Passwort ist falsch."));
    }
}

} // namespace infemora
