#pragma once
// TfrmSuchen: asks for the search text. Created once and reused, so it still holds the text of
// the previous search; its field is a drop-down of the last ten texts searched for, kept for
// the user between runs.
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace infemora {

class TfrmSuchen : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSuchen(QWidget* parent = nullptr);

    static constexpr int kGemerkteTexte = 10;

    QComboBox* cbxSuchen;
    QLineEdit* edtSuchen; // the drop-down's text field
    QPushButton* btnOK;
    QPushButton* btnAbbruch;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void remember();
};

} // namespace infemora
