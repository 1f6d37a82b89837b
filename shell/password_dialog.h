#pragma once
// The password prompt in front of the evaluation window. The settings hold only a salted hash;
// three wrong tries lock the prompt for a while.
#include <QDialog>

class QLabel;
class QLineEdit;

namespace infemora {

class TPasswortDialog : public QDialog {
    Q_OBJECT
public:
    explicit TPasswortDialog(QWidget* parent = nullptr);
    QLineEdit* edtPasswort;
    QLabel* lblHinweis;
};

// Sets the first password: typed twice, effective at once.
class TPasswortNeuDialog : public QDialog {
    Q_OBJECT
public:
    explicit TPasswortNeuDialog(QWidget* parent = nullptr);
    QLineEdit* edtPasswort;
    QLineEdit* edtWiederholung;
    QLabel* lblHinweis;
};

// True when the user may open the evaluation window. With no password set yet, it offers to set
// one (typed twice); once stored, the user is let in. The password is looked up in the settings
// file each time, so that one set from a terminal counts at once.
bool Execute_Passwort(QWidget* parent = nullptr);

// For the tests: forget wrong tries.
void ResetPasswortSperre();

} // namespace infemora
