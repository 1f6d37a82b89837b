#pragma once
// TfrmKuerzen: how many days merge-and-shorten keeps. Created once and reused.
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace infemora {

class TfrmKuerzen : public QDialog {
    Q_OBJECT
public:
    explicit TfrmKuerzen(QWidget* parent = nullptr);

    QLineEdit* edtKuerzen;
    QPushButton* btnOK;
    QPushButton* btnAbbruch;

    void OKClick();

protected:
    void showEvent(QShowEvent* event) override;
};

// The edit text as a decimal integer, 0 when it is no integer.
int KuerzTageAusText(const QString& text);

} // namespace infemora
