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

// True when the user may open the evaluation window. With no hash configured the prompt refuses
// and says how to set a password.
bool Execute_Passwort(QWidget* parent = nullptr);

// For the tests: forget wrong tries.
void ResetPasswortSperre();

} // namespace infemora
