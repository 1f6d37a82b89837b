#include "shell/password_dialog.h"

#include "host/password.h"
#include "host/settings.h"
#include "host/system_error_text.h"

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

namespace {

QLineEdit* PasswortFeld(QDialog* dialog, QVBoxLayout* layout, const char* name) {
    auto* feld = new QLineEdit(dialog);
    feld->setObjectName(name);
    feld->setEchoMode(QLineEdit::Password);
    layout->addWidget(feld);
    return feld;
}

// The line for what was wrong with the last entry, and "OK" / "Abbruch" below it.
QLabel* HinweisUndKnoepfe(QDialog* dialog, QVBoxLayout* layout) {
    auto* hinweis = new QLabel(dialog);
    hinweis->setObjectName("lblHinweis");
    layout->addWidget(hinweis);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbruch"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return hinweis;
}

} // namespace

TPasswortDialog::TPasswortDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmPasswort");
    setWindowTitle(QStringLiteral("Passwort"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Bitte das Passwort eingeben:"), this));
    edtPasswort = PasswortFeld(this, layout, "edtPasswort");
    lblHinweis = HinweisUndKnoepfe(this, layout);
}

TPasswortNeuDialog::TPasswortNeuDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmPasswortNeu");
    setWindowTitle(QStringLiteral("Passwort festlegen"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Für „Protokolle auswerten“ ist noch kein Passwort eingerichtet.\n"
                                           "Bitte ein Passwort festlegen; es gilt sofort. In der "
                                           "Einstellungsdatei steht nur ein Prüfwert, nie das Passwort."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addWidget(new QLabel(QStringLiteral("Neues Passwort:"), this));
    edtPasswort = PasswortFeld(this, layout, "edtPasswort");
    layout->addWidget(new QLabel(QStringLiteral("Passwort wiederholen:"), this));
    edtWiederholung = PasswortFeld(this, layout, "edtWiederholung");
    lblHinweis = HinweisUndKnoepfe(this, layout);
}

namespace {

// The first password: asked until two equal, non-empty entries are stored or the user cancels.
bool PasswortEinrichten(QWidget* parent) {
    TPasswortNeuDialog dialog(parent);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const QString eins = dialog.edtPasswort->text();
        const QString zwei = dialog.edtWiederholung->text();
        if (eins.isEmpty()) {
            dialog.lblHinweis->setText(QStringLiteral("Ein leeres Passwort ist nicht erlaubt."));
        } else if (eins != zwei) {
            dialog.lblHinweis->setText(QStringLiteral("Die beiden Eingaben stimmen nicht überein."));
        } else {
            try {
                SetPasswordHash(MakePasswordHash(eins.toStdString()));
                return true;
            } catch (const std::exception& e) {
                dialog.lblHinweis->setText(QStringLiteral("Das Passwort kann nicht gespeichert werden: ") +
                                           QString::fromStdString(NoticeFuerMenschen({}, e.what()).meldung));
            }
        }
        dialog.edtPasswort->clear();
        dialog.edtWiederholung->clear();
        dialog.edtPasswort->setFocus();
    }
}

} // namespace

bool Execute_Passwort(QWidget* parent) {
    const std::string hash = CurrentPasswordHash();
    if (hash.empty())
        return PasswortEinrichten(parent);
    if (g_lockedSince.isValid() && g_lockedSince.elapsed() < kLockMs) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Protokolle auswerten"),
                        QStringLiteral("Zu viele falsche Eingaben. Bitte eine Minute warten."),
                        QMessageBox::Ok, parent);
        box.setObjectName("msgGesperrt");
        box.exec();
        return false;
    }
    TPasswortDialog dialog(parent);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (CheckPasswordHash(dialog.edtPasswort->text().toStdString(), hash)) {
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
