#pragma once
// TfrmSuchen: asks for the search text. Created once and reused, so it still holds the text of
// the previous search.
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace infemora {

class TfrmSuchen : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSuchen(QWidget* parent = nullptr);

    QLineEdit* edtSuchen;
    QPushButton* btnOK;
    QPushButton* btnAbbruch;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace infemora
